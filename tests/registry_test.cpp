// The registry readers against the real registry of a scratch Wine prefix. Each test writes
// the records it needs and removes the runtime records again.
#include "registry/check_record.h"
#include "registry/install_failures.h"
#include "registry/registry.h"
#include "registry/runtime_records.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char* const runtimeRecords = R"(SOFTWARE\WOW6432Node\Eclipse Adoptium\JRE)";
const char* const scratchKey = R"(SOFTWARE\WOW6432Node\KlvRegistryTest)";

void createKey(const std::string& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

void setValue(const std::string& path, const char* name, DWORD type, const std::string& data)
{
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// The string as REG_SZ data, with its terminating NUL.
std::string withNul(const std::string& text)
{
    return text + '\0';
}

// The value the next handle of this process gets. Closed handles free their slot for the next
// one, so this only grows while handles stay open. (GetProcessHandleCount is always 0 under
// Wine, so it cannot tell.)
HANDLE nextHandleValue()
{
    HANDLE probe = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_NE(probe, nullptr);
    CloseHandle(probe);
    return probe;
}

class RegistryReaders : public ::testing::Test {
  protected:
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        (void)RegDeleteTreeA(HKEY_LOCAL_MACHINE, runtimeRecords);
        (void)RegDeleteTreeA(HKEY_LOCAL_MACHINE, scratchKey);
    }
};

} // namespace

TEST_F(RegistryReaders, NoRuntimeRecordsMeansNoVersion)
{
    EXPECT_EQ(findjavaVersionReg(false), "");
    createKey(runtimeRecords);
    EXPECT_EQ(findjavaVersionReg(false), "");
    EXPECT_EQ(replacedRuntimeFolder(RuntimeScope::machine), "");
}

TEST_F(RegistryReaders, TheInstalledRuntimeIsReportedInLetterForm)
{
    createKey(std::string(runtimeRecords) + R"(\8.0.292.10\hotspot\MSI)");
    EXPECT_EQ(findjavaVersionReg(false), "8u292b10");
}

TEST_F(RegistryReaders, TheHighestJava8RuntimeWinsWhateverTheRegistryListsFirst)
{
    // The registry enumerates by name, so 11.0..., 17.0... and 8.0.422.5 come before 8.0.432.6.
    for (const char* name :
         {"8.0.432.6", "8.0.422.5", "11.0.25.9", "17.0.13.11", "latest", "8.0.432.6 beta", "8.0.99.1"}) {
        createKey(std::string(runtimeRecords) + "\\" + name + R"(\hotspot\MSI)");
    }
    // A long name that is no version is read past.
    createKey(std::string(runtimeRecords) + "\\" + std::string(200, '9'));
    EXPECT_EQ(findjavaVersionReg(false), "8u432b06");
    // An upgrade replaces the highest of the machine's runtimes.
    setValue(std::string(runtimeRecords) + R"(\8.0.432.6\hotspot\MSI)", "Path", REG_SZ,
             withNul(R"(C:\jre8\)"));
    EXPECT_EQ(replacedRuntimeFolder(RuntimeScope::machine), R"(C:\jre8\)");
    // An installation for the user alone replaces none of the machine's runtimes.
    EXPECT_EQ(replacedRuntimeFolder(RuntimeScope::user), "");
}

TEST_F(RegistryReaders, OnlyOtherMajorsOrNoVersionsMeanNoRuntime)
{
    for (const char* name : {"11.0.25.9", "17.0.13.11", "latest"}) {
        createKey(std::string(runtimeRecords) + "\\" + name);
    }
    EXPECT_EQ(findjavaVersionReg(false), "");
}

TEST_F(RegistryReaders, AStringValueIsReadUpToItsNul)
{
    setValue(scratchKey, "Path", REG_SZ,
             withNul(R"(C:\Program Files (x86)\Eclipse Adoptium\jre-8.0.432.6-hotspot\)"));
    EXPECT_EQ(queryRegistry(scratchKey, "Path", HKEY_LOCAL_MACHINE),
              R"(C:\Program Files (x86)\Eclipse Adoptium\jre-8.0.432.6-hotspot\)");
    setValue(scratchKey, "Two", REG_SZ, withNul(std::string("first") + '\0' + "second"));
    EXPECT_EQ(queryRegistry(scratchKey, "Two", HKEY_LOCAL_MACHINE), "first");
}

TEST_F(RegistryReaders, MissingKeysAndValuesGiveEmptyText)
{
    EXPECT_EQ(queryRegistry(R"(SOFTWARE\WOW6432Node\Marveth\NoSuchKey)", "Path", HKEY_LOCAL_MACHINE), "");
    createKey(scratchKey);
    EXPECT_EQ(queryRegistry(scratchKey, "Path", HKEY_LOCAL_MACHINE), "");
}

TEST_F(RegistryReaders, ValuesNearTheBufferSize)
{
    const std::string longest(1023, 'a');
    setValue(scratchKey, "Longest", REG_SZ, withNul(longest));
    EXPECT_EQ(queryRegistry(scratchKey, "Longest", HKEY_LOCAL_MACHINE), longest);

    // 1024 bytes and no NUL: what is returned stops inside the buffer.
    setValue(scratchKey, "Full", REG_SZ, std::string(1024, 'b'));
    const std::string full = queryRegistry(scratchKey, "Full", HKEY_LOCAL_MACHINE);
    EXPECT_LE(full.size(), 1024U);
    EXPECT_EQ(full.find_first_not_of('b'), std::string::npos);

    for (std::size_t tooLong : {1024U, 5000U}) {
        setValue(scratchKey, "TooLong", REG_SZ, withNul(std::string(tooLong, 'c')));
        EXPECT_EQ(queryRegistry(scratchKey, "TooLong", HKEY_LOCAL_MACHINE), "") << tooLong;
    }
    // A larger buffer, as for the administrators' mirror URL, takes what fits it.
    EXPECT_EQ(queryRegistryText(scratchKey, "TooLong", HKEY_LOCAL_MACHINE, 5001), std::string(5000, 'c'));
}

TEST_F(RegistryReaders, ValuesOfAnotherTypeAreNotText)
{
    setValue(scratchKey, "Dword", REG_DWORD, std::string("\x01\0\0\0", 4));
    setValue(scratchKey, "List", REG_MULTI_SZ, withNul(withNul(R"(C:\jre\)")));
    setValue(scratchKey, "Binary", REG_BINARY, R"(C:\jre\)");
    setValue(scratchKey, "Empty", REG_SZ, "");
    for (const char* name : {"Dword", "List", "Binary", "Empty"}) {
        EXPECT_EQ(queryRegistry(scratchKey, name, HKEY_LOCAL_MACHINE), "") << name;
    }
    unsigned long number = 7;
    EXPECT_TRUE(queryRegistryNumber(scratchKey, "Dword", HKEY_LOCAL_MACHINE, number));
    EXPECT_EQ(number, 1UL);
    for (const char* name : {"List", "Binary", "Empty", "Missing"}) {
        number = 7;
        EXPECT_FALSE(queryRegistryNumber(scratchKey, name, HKEY_LOCAL_MACHINE, number)) << name;
        EXPECT_EQ(number, 7UL);
    }
    // Lists and bytes have readers of their own, which take nothing else.
    setValue(scratchKey, "Organisations", REG_MULTI_SZ,
             withNul(withNul("Mirror GmbH") + withNul("") + "Other"));
    const RegistryKey key = openKeyForReading(HKEY_LOCAL_MACHINE, scratchKey);
    EXPECT_EQ(readTextList(key.get(), "Organisations", 100),
              (std::vector<std::string>{"Mirror GmbH", "Other"}));
    EXPECT_EQ(readTextList(key.get(), "Organisations", 10), std::vector<std::string>{});
    EXPECT_EQ(readTextList(key.get(), "Binary", 100), std::vector<std::string>{});
    EXPECT_EQ(queryRegistryBytes(scratchKey, "Binary", HKEY_LOCAL_MACHINE, 100).size(), 7U);
    EXPECT_TRUE(queryRegistryBytes(scratchKey, "List", HKEY_LOCAL_MACHINE, 100).empty());
}

TEST_F(RegistryReaders, TheRecordOfFailedInstallationsTrustsNothingOdd)
{
    const char* const record = R"(Software\Marveth\KLV\Launcher)";
    (void)RegDeleteTreeA(HKEY_CURRENT_USER, record);
    EXPECT_EQ(readFailedInstallations().count, 0UL);
    recordFailedInstallation("8u432b06", 1603);
    recordFailedInstallation("8u432b06", 1625);
    FailedInstallations read = readFailedInstallations();
    EXPECT_EQ(read.version, "8u432b06");
    EXPECT_EQ(read.count, 2UL);
    EXPECT_EQ(read.lastExitCode, 1625UL);
    recordFailedInstallation("8u442b06", 1603); // another version starts again
    EXPECT_EQ(readFailedInstallations().count, 1UL);
    // Attempts that failed without the package's fault are counted beside, with their time, and
    // keep the count of failed installations.
    EXPECT_EQ(recordFailedAttempt("8u442b06", 1796800000), 1UL);
    EXPECT_EQ(recordFailedAttempt("8u442b06", 1796800060), 2UL);
    read = readFailedInstallations();
    EXPECT_EQ(read.count, 1UL);
    EXPECT_EQ(read.failedAttempts, 2UL);
    EXPECT_EQ(read.lastAttemptAt, 1796800060LL);
    EXPECT_EQ(recordFailedAttempt("8u452b09", 1796800120), 1UL); // another version starts again
    EXPECT_EQ(readFailedInstallations().count, 0UL);
    EXPECT_EQ(recordFailedInstallation("8u452b09", 1603), 1UL);
    EXPECT_EQ(readFailedInstallations().failedAttempts, 1UL);
    recordFailedInstallation("8u462b09", 1603); // and its attempts with it
    EXPECT_EQ(readFailedInstallations().failedAttempts, 0UL);
    // Whose check was late is one value: the service itself.
    rememberLateCheck("https://api.adoptium.net/x86", true);
    EXPECT_EQ(readRememberedCheck().lateService, "https://api.adoptium.net/x86");
    rememberLateCheck("https://api.adoptium.net/x86", false);
    EXPECT_EQ(readRememberedCheck().lateService, "");
    const struct {
        const char* name;
        DWORD type;
        std::string data;
    } bad[] = {
        {"FailedCount", REG_SZ, withNul("2")},
        {"FailedCount", REG_DWORD, std::string("\xFF\xFF\xFF\xFF", 4)},
        {"FailedCount", REG_BINARY, std::string("\x02\0\0\0\0\0\0\0", 8)},
        {"FailedVersion", REG_SZ, withNul(std::string(5000, '8'))},
        {"FailedVersion", REG_SZ, withNul(R"(8u432b06\..\x)")},
        {"FailedVersion", REG_DWORD, std::string("\x02\0\0\0", 4)},
        {"FailedExitCode", REG_SZ, withNul("1603")},
        // An attempt's count or time of another kind counts no attempts, and leaves the rest.
        {"FailedAttempts", REG_SZ, withNul("3")},
        {"FailedAttemptTime", REG_DWORD, std::string("\x01\0\0\0", 4)},
    };
    for (const auto& row : bad) {
        recordFailedInstallation("8u432b06", 1603);
        recordFailedAttempt("8u432b06", 1796800000);
        HKEY key = nullptr;
        ASSERT_EQ(
            RegCreateKeyExA(HKEY_CURRENT_USER, record, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        RegSetValueExA(key, row.name, 0, row.type, reinterpret_cast<const BYTE*>(row.data.data()),
                       static_cast<DWORD>(row.data.size()));
        RegCloseKey(key);
        read = readFailedInstallations();
        EXPECT_EQ(read.count, std::string(row.name).starts_with("FailedAttempt") ? 1UL : 0UL) << row.name;
        EXPECT_EQ(read.failedAttempts, 0UL) << row.name << " " << row.type;
        clearFailedInstallations();
    }
    EXPECT_EQ(readFailedInstallations().count, 0UL);
    (void)RegDeleteTreeA(HKEY_CURRENT_USER, record);
}

TEST_F(RegistryReaders, AnExpandableStringIsReturnedUnexpanded)
{
    setValue(scratchKey, "Path", REG_EXPAND_SZ, withNul(R"(%ProgramFiles(x86)%\KLV\)"));
    EXPECT_EQ(queryRegistry(scratchKey, "Path", HKEY_LOCAL_MACHINE), R"(%ProgramFiles(x86)%\KLV\)");
}

TEST_F(RegistryReaders, EveryKeyThatIsOpenedIsClosedAgain)
{
    createKey(std::string(runtimeRecords) + R"(\8.0.432.6)");
    setValue(scratchKey, "Path", REG_SZ, withNul("x"));
    // Warm up once, so that lazily created handles of the platform are not counted.
    (void)findjavaVersionReg(false);
    (void)queryRegistry(scratchKey, "Path", HKEY_LOCAL_MACHINE);
    const HANDLE before = nextHandleValue();
    for (int i = 0; i < 50; ++i) {
        (void)findjavaVersionReg(false);
        (void)queryRegistry(scratchKey, "Path", HKEY_LOCAL_MACHINE);
        (void)queryRegistry(scratchKey, "Missing", HKEY_LOCAL_MACHINE);
        (void)queryRegistry(R"(SOFTWARE\NoSuchKey)", "Path", HKEY_LOCAL_MACHINE);
        unsigned long number = 0;
        (void)queryRegistryNumber(scratchKey, "Path", HKEY_LOCAL_MACHINE, number);
    }
    EXPECT_EQ(nextHandleValue(), before);
}
