// Reading the runtime's records in both places. The machine's are read in the 64-bit view, which
// holds the 32-bit one's below WOW6432Node, so that each line finds its own installer's records
// and not the other line's. The user's key is the same in both views, and holds the records of
// both lines side by side: there, only the executable itself tells the line.
#include "runtime_records.h"

#include "platform/files.h"
#include "platform/launch_paths.h"
#include "platform/pe_machine.h"
#include "registry.h"
#include "versions/runtime_line.h"
#include "versions/versions.h"

#include <algorithm>
#include <vector>

namespace {

const char* const userRuntimeRecords = R"(SOFTWARE\Eclipse Adoptium\JRE)";
const char* const runtimeKeySuffix = R"(\hotspot\MSI)";
const char* const pathValueName = "Path";
constexpr unsigned long registryPathBytes = 1024;

std::string recordKey(const char* records, const std::string& dotted)
{
    return records + std::string("\\") + dotted + runtimeKeySuffix;
}

std::vector<std::string> versionsBelow(HKEY hive, const char* records, REGSAM view)
{
    const RegistryKey key = openKeyForReading(hive, records, view);
    return key ? subkeyNames(key.get()) : std::vector<std::string>();
}

std::string machineFolder(const std::string& dotted)
{
    return queryRegistryText(recordKey(builtRuntimeLine().runtimeRecords, dotted), pathValueName,
                             HKEY_LOCAL_MACHINE, registryPathBytes, KEY_WOW64_64KEY);
}

std::string highestMachineRuntime()
{
    return highestJava8Version(
        versionsBelow(HKEY_LOCAL_MACHINE, builtRuntimeLine().runtimeRecords, KEY_WOW64_64KEY));
}

// The user's runtime folder of version dotted, when its javaw.exe is of the line's processor;
// empty otherwise (an unreadable or missing file included).
std::string userFolder(const std::string& dotted)
{
    const std::string folder = queryRegistryText(recordKey(userRuntimeRecords, dotted), pathValueName,
                                                 HKEY_CURRENT_USER, registryPathBytes);
    const std::string javaw = javawBelow(folder);
    const bool ofTheLine =
        !javaw.empty()
        && peMachine(readFileStart(javaw, peHeaderSearchBytes)) == builtRuntimeLine().executableMachine;
    return ofTheLine ? folder : std::string();
}

// The user's highest Java 8 runtime of the line; with lookAtFiles false, the highest record,
// whatever its files are (an elevated launcher reads nothing from the user's folders).
std::string highestUserRuntime(bool lookAtFiles)
{
    std::vector<std::string> names = versionsBelow(HKEY_CURRENT_USER, userRuntimeRecords, 0);
    for (std::string highest = highestJava8Version(names); !highest.empty();
         highest = highestJava8Version(names)) {
        if (!lookAtFiles || !userFolder(highest).empty()) {
            return highest;
        }
        names.erase(std::find(names.begin(), names.end(), highest));
    }
    return {};
}

} // namespace

InstalledRuntime findInstalledRuntime(bool elevated)
{
    // The registry lists names in text order, so the first name is neither the newest runtime
    // nor necessarily a Java 8 one: choose by number among the Java 8 records.
    const std::string machine = highestMachineRuntime();
    const std::string user = highestUserRuntime(!elevated);
    const RuntimeChoice choice = chooseInstalledRuntime(machine, user, elevated);
    return {dotToLet(choice.dotted), choice.scope, choice.userLeftOut ? user : std::string()};
}

std::string replacedRuntimeFolder(RuntimeScope scope)
{
    if (scope == RuntimeScope::user) {
        const std::string user = highestUserRuntime(true);
        return user.empty() ? std::string() : userFolder(user);
    }
    const std::string machine = highestMachineRuntime();
    return machine.empty() ? std::string() : machineFolder(machine);
}

std::string findjavaVersionReg(bool elevated)
{
    return findInstalledRuntime(elevated).version;
}

RuntimeFolder runtimeFolderOf(const std::string& dotted, bool elevated)
{
    if (dotted.empty()) {
        return {};
    }
    std::string folder = machineFolder(dotted);
    if (!folder.empty() || elevated) {
        return {folder, RuntimeScope::machine};
    }
    folder = userFolder(dotted);
    return {folder, folder.empty() ? RuntimeScope::machine : RuntimeScope::user};
}
