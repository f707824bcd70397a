// The texts of the launcher's five message boxes in German, US English, Spanish, French and
// Dutch. No Windows header is needed, so the selection is tested on its own.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

// The texts of one language, passed unchanged to MessageBoxW.
struct PromptSet {
    const char* language;  // for the log: "de", "en-US", "es", "fr", "nl"
    const wchar_t* noJava; // question: no runtime installed
    const wchar_t* noJavaTitel;
    const wchar_t* noRunJava; // message: the first installation was declined
    const wchar_t* noRunJavaTitel;
    const wchar_t* newJava; // question: another runtime version is available
    const wchar_t* newJavaTitel;
    const wchar_t* errorJava; // message: the installation failed
    const wchar_t* errorJavaTitel;
    const wchar_t* noApp; // message: the application's installation was not found
    const wchar_t* noAppTitel;
    // The progress window of the download; {version}, {received} and {total} (megabytes) are
    // filled in.
    const wchar_t* downloadTitel;
    const wchar_t* downloadText;
    const wchar_t* downloadProgress; // received of total, when the total is known
    const wchar_t* downloadReceived; // received, while it is not
    const wchar_t* downloadRetrying; // the connection was lost; the download goes on shortly
    const wchar_t* installerBusy;    // another installation runs; the launcher waits for it
};

// User-interface language identifiers, primary language and sublanguage together.
constexpr std::uint16_t LANGID_GERMAN = 0x0407;
constexpr std::uint16_t LANGID_US_ENGLISH = 0x0409;
constexpr std::uint16_t LANGID_SPANISH = 0x040A;
constexpr std::uint16_t LANGID_FRENCH = 0x040C;
constexpr std::uint16_t LANGID_DUTCH = 0x0413;

// The texts for the language that GetUserDefaultUILanguage reports. Other countries' variants
// of the five languages get their language's texts; every other language gets US English.
const PromptSet& promptsForLanguage(std::uint16_t langId);

// text with each {name} of values replaced by its value; other text is kept as it is.
std::wstring withValues(const wchar_t* text,
                        std::initializer_list<std::pair<const wchar_t*, std::wstring>> values);
