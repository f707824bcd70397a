// Selection of the prompt texts by user-interface language (this also runs natively), and on
// Windows what the progress window reports.
#include "prompts/prompt_texts.h"

#ifdef _WIN32
#include "prompts/download_progress.h"
#include "update/download.h"
#endif

#include <gtest/gtest.h>

#include <string>

TEST(PromptTexts, EachOfTheFiveLanguagesGetsItsOwnTexts)
{
    EXPECT_STREQ(promptsForLanguage(LANGID_GERMAN).newJavaTitel, L"Neue Version");
    EXPECT_STREQ(promptsForLanguage(LANGID_US_ENGLISH).newJavaTitel, L"New Version");
    EXPECT_STREQ(promptsForLanguage(LANGID_SPANISH).newJavaTitel, L"Nueva versión");
    EXPECT_STREQ(promptsForLanguage(LANGID_FRENCH).newJavaTitel, L"Nouvelle version");
    EXPECT_STREQ(promptsForLanguage(LANGID_DUTCH).newJavaTitel, L"Nieuwe versie");
}

TEST(PromptTexts, TheIdentifiersHaveTheirWindowsValues)
{
    EXPECT_EQ(LANGID_GERMAN, 1031);
    EXPECT_EQ(LANGID_US_ENGLISH, 1033);
    EXPECT_EQ(LANGID_SPANISH, 1034);
    EXPECT_EQ(LANGID_FRENCH, 1036);
    EXPECT_EQ(LANGID_DUTCH, 1043);
}

TEST(PromptTexts, OtherCountriesGetTheirLanguagesTexts)
{
    EXPECT_EQ(&promptsForLanguage(0x0C07), &promptsForLanguage(LANGID_GERMAN));     // Austria
    EXPECT_EQ(&promptsForLanguage(0x0807), &promptsForLanguage(LANGID_GERMAN));     // Switzerland
    EXPECT_EQ(&promptsForLanguage(0x0809), &promptsForLanguage(LANGID_US_ENGLISH)); // United Kingdom
    EXPECT_EQ(&promptsForLanguage(0x0C0A), &promptsForLanguage(LANGID_SPANISH));    // modern sort
    EXPECT_EQ(&promptsForLanguage(0x080A), &promptsForLanguage(LANGID_SPANISH));    // Mexico
    EXPECT_EQ(&promptsForLanguage(0x080C), &promptsForLanguage(LANGID_FRENCH));     // Belgium
    EXPECT_EQ(&promptsForLanguage(0x0C0C), &promptsForLanguage(LANGID_FRENCH));     // Canada
    EXPECT_EQ(&promptsForLanguage(0x0813), &promptsForLanguage(LANGID_DUTCH));      // Belgium
}

TEST(PromptTexts, AnyOtherLanguageGetsUsEnglish)
{
    const std::uint16_t others[] = {0x0410 /* Italian */,
                                    0x0411 /* Japanese */,
                                    0x0415 /* Polish */,
                                    0x0000,
                                    0x0400,
                                    0x0414 /* Norwegian */,
                                    0xFFFF};
    for (std::uint16_t other : others) {
        EXPECT_EQ(&promptsForLanguage(other), &promptsForLanguage(LANGID_US_ENGLISH)) << std::hex << other;
    }
}

TEST(PromptTexts, EveryBoxHasATextAndACaptionInEveryLanguage)
{
    for (std::uint16_t language : {LANGID_GERMAN, LANGID_US_ENGLISH, LANGID_SPANISH, LANGID_FRENCH,
                                   LANGID_DUTCH, std::uint16_t{0x0411}}) {
        const PromptSet& p = promptsForLanguage(language);
        for (const wchar_t* text : {p.noJava, p.noJavaTitel, p.noRunJava, p.noRunJavaTitel, p.newJava,
                                    p.newJavaTitel, p.errorJava, p.errorJavaTitel}) {
            ASSERT_NE(text, nullptr);
            EXPECT_GT(std::wstring(text).size(), 3U);
        }
        // The two error messages share their caption; the questions have their own.
        EXPECT_STREQ(p.noRunJavaTitel, p.errorJavaTitel);
        EXPECT_STRNE(p.noJavaTitel, p.newJavaTitel);
    }
}

#ifdef _WIN32
TEST(DownloadProgress, ACancelIsReportedAtOnceWithOrWithoutTheWindow)
{
    // Cancel was pressed, then the window stood aside for Windows Installer, which found no turn.
    DownloadProgress progress{{nullptr, [](IProgressDialog*) {}},
                              &promptsForLanguage(LANGID_US_ENGLISH),
                              L"8u472b08",
                              true,
                              0,
                              0,
                              0};
    EXPECT_FALSE(showDownloadWait(&progress, waitReasonInstallerBusy));
    EXPECT_FALSE(downloadNotCancelled(&progress));
}
#endif
