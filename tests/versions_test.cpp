// Conversions between the letter form and the dotted form of runtime versions.
#include "platform/pe_machine.h"
#include "versions/runtime_choice.h"
#include "versions/runtime_line.h"
#include "versions/versions.h"
#include "versions_reference.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

TEST(Versions, WellFormedVersionsRoundTripWithOneAndTwoDigitBuilds)
{
    EXPECT_EQ(dotToLet("8.0.432.6"), "8u432b06");
    EXPECT_EQ(letToDot("8u432b06"), "8.0.432.6");
    EXPECT_EQ(dotToLet("8.0.292.10"), "8u292b10");
    EXPECT_EQ(letToDot("8u292b10"), "8.0.292.10");
    EXPECT_EQ(dotToLet("8.0.262.10"), "8u262b10");
    EXPECT_EQ(letToDot("8u392b10"), "8.0.392.10");
    for (const char* dotted : {"8.0.432.6", "8.0.292.10", "8.0.0.1", "11.0.21.100"}) {
        EXPECT_EQ(letToDot(dotToLet(dotted)), dotted);
    }
}

TEST(Versions, NumbersAreNormalised)
{
    EXPECT_EQ(dotToLet("8.0.432.06"), "8u432b06");
    EXPECT_EQ(letToDot("8u432b006"), "8.0.432.6");
    EXPECT_EQ(dotToLet("8.0.0.1"), "8u0b01");
}

TEST(Versions, EmptyMeansNoVersionInBothDirections)
{
    EXPECT_EQ(dotToLet(""), "");
    EXPECT_EQ(letToDot(""), "");
}

TEST(Versions, MalformedVersionsKeepTheTextualRules)
{
    EXPECT_EQ(letToDot("8u1u2"), "8.0.1u2");
    EXPECT_EQ(letToDot("8u432b06-ea"), "8.0.432.6-ea");
    EXPECT_EQ(dotToLet("8.0.432.6.1"), "8u432b06b01");
    EXPECT_EQ(dotToLet("17.0.9"), "17u9");
    EXPECT_EQ(dotToLet("8.1.2.3"), "8b01b02b03");
    EXPECT_EQ(letToDot("jre-hotspot"), "jre-hotspot");
    EXPECT_EQ(dotToLet("jre-hotspot"), "jre-hotspot");
}

TEST(Versions, NumbersTooLongForAnIntegerAreLeftToTheTextualRules)
{
    EXPECT_EQ(letToDot("8u12345678901b06"), "8.0.12345678901.6");
    EXPECT_EQ(dotToLet("8.0.1.12345678901"), "8u1b012345678901");
}

TEST(Versions, OnlyPlainShortLetterVersionsAreAccepted)
{
    EXPECT_TRUE(isLetterVersion("8u432b06"));
    EXPECT_TRUE(isLetterVersion("8u292b10"));
    EXPECT_TRUE(isLetterVersion("11u21b9"));
    for (const char* rejected :
         {"", "8u432", "8.0.432.6", "8U432B06", "8u432b06 ", " 8u432b06", "8u432b06\r\n", "..\\..\\evil",
          "8u432b06/../x", "8u432b06\\x", "1234u432b06", "8u12345b06", "8u432b12345", "u432b06", "8ub06",
          "8u432b", "8u432b06.msi"}) {
        EXPECT_FALSE(isLetterVersion(rejected)) << rejected;
    }
}

TEST(Versions, TheHighestJava8RuntimeIsChosenByNumber)
{
    const struct {
        std::vector<std::string> names;
        const char* highest;
    } cases[] = {
        {{}, ""},
        {{"8.0.422.5", "8.0.432.6"}, "8.0.432.6"},
        {{"8.0.432.6", "8.0.422.5"}, "8.0.432.6"},
        {{"8.0.432.10", "8.0.432.9"}, "8.0.432.10"},
        {{"8.0.432.6", "8.0.99.1"}, "8.0.432.6"},
        // Later majors of the same vendor record themselves beside Java 8 and sort before it.
        {{"11.0.25.9", "17.0.13.11", "8.0.422.5"}, "8.0.422.5"},
        {{"11.0.25.9", "17.0.13.11"}, ""},
        {{"latest", "8.0.432.6 beta", "", std::string(300, '8'), "8.0.432", "8.1.432.6", "8.0.432.6.1",
          "8.0.432.1234567890", " 8.0.432.6", "8.0.432.6\n", "8.0.-1.6", "8.0.432.6"},
         "8.0.432.6"},
        {{"latest", "8.0.432.6 beta"}, ""},
        {{"8.0.0.1", "08.0.0.2"}, "08.0.0.2"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(highestJava8Version(row.names), row.highest) << ::testing::PrintToString(row.names);
    }
}

TEST(Versions, OnlyAHigherVersionIsNewer)
{
    const struct {
        const char* offered;
        const char* installed;
        bool newer;
    } cases[] = {
        {"8u432b06", "8u422b05", true}, {"8u432b10", "8u432b9", true},   {"8u432b06", "", true},
        {"8u432b06", "junk", true},     {"8u422b05", "8u432b06", false}, {"8u432b06", "8u432b06", false},
        {"8u432b6", "8u432b06", false}, {"8u92b14", "8u432b06", false},  {"junk", "8u432b06", false},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(isNewerVersion(row.offered, row.installed), row.newer)
            << row.offered << " " << row.installed;
    }
}

TEST(Versions, TheHandWrittenConversionsMatchTheRegexStatementForEveryShortInput)
{
    // Every string of up to five characters over the characters that matter, and longer ones
    // around the digit limits.
    const std::string alphabet = "80.ub1x";
    std::vector<std::string> inputs = {"",         "8.0.123456789.1", "8.0.1234567890.1", "123u4567b8901",
                                       "1234u1b1", "8u1234567890b1",  "8.0.432.6\n",      "\xd9.0.1.1",
                                       "8u432b06 "};
    for (std::size_t length = 1; length <= 5; ++length) {
        std::string text(length, alphabet[0]);
        std::vector<std::size_t> digits(length, 0);
        while (true) {
            for (std::size_t i = 0; i < length; ++i) {
                text[i] = alphabet[digits[i]];
            }
            inputs.push_back(text);
            std::size_t i = 0;
            while (i < length && ++digits[i] == alphabet.size()) {
                digits[i++] = 0;
            }
            if (i == length) {
                break;
            }
        }
    }
    for (const std::string& input : inputs) {
        ASSERT_EQ(dotToLet(input), reference::dotToLet(input)) << input;
        ASSERT_EQ(letToDot(input), reference::letToDot(input)) << input;
        ASSERT_EQ(isLetterVersion(input), reference::isLetterVersion(input)) << input;
    }
}

TEST(RuntimeLine, EachLineHasItsServicePathPackageNameAndRecords)
{
    const char* const service = "https://api.adoptium.net/v3/installer/latest/8/ga/windows/";
    for (const auto& [arch, path, package, records] :
         std::initializer_list<std::tuple<const char*, const char*, const char*, const char*>>{
             {"x86", "x86/jre/hotspot/normal/eclipse", "OPENJDK8U-jre_x86-32_windows_hotspot_8u472b08.msi",
              R"(SOFTWARE\WOW6432Node\Eclipse Adoptium\JRE)"},
             {"x64", "x64/jre/hotspot/normal/eclipse", "OpenJDK8U-jre_x64_windows_hotspot_8u472b08.msi",
              R"(SOFTWARE\Eclipse Adoptium\JRE)"}}) {
        const RuntimeLine* line = runtimeLineFor(arch);
        ASSERT_NE(line, nullptr) << arch;
        EXPECT_EQ(serviceUrlFor(*line, ""), std::string(service) + path);
        EXPECT_EQ(packageFileName(*line, "8u472b08"), package);
        EXPECT_STREQ(line->runtimeRecords, records);
    }
    for (const char* unknown : {"", "x32", "X64", "arm64"}) {
        EXPECT_EQ(runtimeLineFor(unknown), nullptr) << unknown;
    }
}

namespace {

// The start of an executable: "MZ", the PE header's offset at 0x3C, "PE\0\0" and the machine there.
std::string executableStart(unsigned machine, unsigned long long offset = 0x80)
{
    std::string bytes(0x200, '\0');
    bytes.replace(0, 2, "MZ");
    for (unsigned i = 0; i < 4; ++i) {
        bytes[0x3C + i] = static_cast<char>((offset >> (8U * i)) & 0xFFU);
    }
    if (offset + 6 <= bytes.size()) {
        bytes.replace(offset, 6,
                      std::string("PE\0\0", 4) + static_cast<char>(machine & 0xFFU)
                          + static_cast<char>(machine >> 8U));
    }
    return bytes;
}

} // namespace

TEST(RuntimeLine, AUsersRuntimeIsTheLinesByItsExecutablesMachine)
{
    const std::string x64 = executableStart(0x8664);
    std::string noSignature = x64;
    noSignature[0x80] = 'X';
    for (const auto& [row, bytes, machine] :
         std::initializer_list<std::tuple<const char*, std::string, unsigned>>{
             {"x86", executableStart(0x014C), peMachineX86},
             {"x64", x64, peMachineX64},
             {"ARM64", executableStart(0xAA64), peMachineArm64},
             {"truncated within the PE header", x64.substr(0, 0x84), 0},
             {"no PE\\0\\0", noSignature, 0},
             {"an offset past the end", executableStart(0x8664, 0x1000), 0},
             {"an offset that wraps", executableStart(0x8664, 0xFFFFFFFF), 0}}) {
        EXPECT_EQ(peMachine(bytes), machine) << row;
    }
    EXPECT_EQ(runtimeLineFor("x86")->executableMachine, peMachineX86);
    EXPECT_EQ(runtimeLineFor("x64")->executableMachine, peMachineX64);
}

TEST(RuntimeChoice, TheHigherOfTheMachinesAndTheUsersTheMachinesAtTheSameVersion)
{
    const char* const newer = "8.0.472.8";
    const char* const older = "8.0.462.7";
    constexpr RuntimeScope machine = RuntimeScope::machine;
    // The machine's runtime, the user's, elevated; the one chosen, its place, the user's left out.
    for (const auto& [inMachine, inUser, elevated, chosen, scope, leftOut] :
         std::initializer_list<std::tuple<const char*, const char*, bool, const char*, RuntimeScope, bool>>{
             {newer, "", false, newer, machine, false},
             {"", newer, false, newer, RuntimeScope::user, false},
             {older, newer, false, newer, RuntimeScope::user, false},
             {newer, older, false, newer, machine, false},
             {newer, newer, false, newer, machine, false},
             {newer, "8.0.472.08", false, newer, machine, false},
             {older, newer, true, older, machine, true},
             {"", newer, true, "", machine, true}}) {
        const RuntimeChoice choice = chooseInstalledRuntime(inMachine, inUser, elevated);
        EXPECT_EQ(std::tie(choice.dotted, choice.scope, choice.userLeftOut),
                  std::make_tuple(std::string(chosen), scope, leftOut))
            << inMachine << " " << inUser << " " << elevated;
    }
}
