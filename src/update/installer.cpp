// The installation as a whole: where the package goes, the checks it must pass before Windows
// Installer sees it, and what is remembered of a failure.
#include "installer.h"

#include "diagnostics/log.h"
#include "package_trust.h"
#include "part_file.h"
#include "registry/install_failures.h"
#include "registry/registry.h"
#include "trusted_publisher.h"
#include "versions/versions.h"
#include "wide_text.h"
#include "windows_installer.h"

#include <bcrypt.h>
#include <sddl.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool isDirectory(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The user's temporary folder, with its trailing backslash.
std::string temporaryFolder()
{
    char folder[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof(folder), folder);
    return length > 0 && length < sizeof(folder) ? std::string(folder, length) : std::string();
}

// SYSTEM and the Administrators full control, passed on to what is created inside; protected,
// so that nothing is inherited from %ProgramData%, where every user may create folders; and
// nobody else.
const wchar_t* const administratorsOnly = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr int mostFolderNames = 8;

// A folder of this run's own for an elevated download: created new, directly in %ProgramData%,
// under a name nobody could know in advance, and with its security given at creation. A user's
// program can neither have planted it nor redirect it (a junction, a link) before the launcher
// writes there. Empty when it cannot be made.
std::string createAdministratorsFolder()
{
    const char* programData = std::getenv("ProgramData");
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (programData == nullptr || *programData == '\0'
        || ConvertStringSecurityDescriptorToSecurityDescriptorW(administratorsOnly, SDDL_REVISION_1,
                                                                &descriptor, nullptr)
               == FALSE) {
        return {};
    }
    SECURITY_ATTRIBUTES security{sizeof(security), descriptor, FALSE};
    std::string created;
    for (int attempt = 0; attempt < mostFolderNames && created.empty(); ++attempt) {
        unsigned char random[16];
        if (!BCRYPT_SUCCESS(
                BCryptGenRandom(nullptr, random, sizeof(random), BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
            break;
        }
        std::string name = std::string(programData) + R"(\klv-)";
        for (const unsigned char byte : random) {
            char hex[3];
            (void)std::snprintf(hex, sizeof(hex), "%02x", byte);
            name += hex;
        }
        // A name that exists already was not made by this run: take another, never that one.
        if (CreateDirectoryW(widen(name).c_str(), &security) != FALSE) {
            created = name;
        } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    (void)LocalFree(descriptor);
    return created;
}

// Where the package for version is saved: the user's Downloads folder, or where that is
// redirected or deleted, the temporary folder, which always exists. Empty when neither is known.
std::string packagePathFor(const std::string& version)
{
    const char* userProfile = std::getenv("USERPROFILE");
    if (userProfile == nullptr || *userProfile == '\0') {
        return {};
    }
    std::string downloads = installerDownloadPath(userProfile, version);
    if (isDirectory(downloads.substr(0, downloads.rfind('\\')))) {
        return downloads;
    }
    const std::string temporary = temporaryFolder();
    return temporary.empty() ? std::string() : temporary + installerFileName(version);
}

std::string hex8(long value)
{
    char text[12];
    (void)std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

// Only a package that its publisher signed, of the version that was offered, is run: a
// tampered service or mirror can neither slip in another signer's package nor an older one.
bool packageAccepted(HANDLE package, const std::string& packagePath, const std::string& version,
                     const std::vector<std::string>& publishers)
{
    const PackageSignature signature = readPackageSignature(package, packagePath);
    const bool trusted = signature.verifies && isTrustedPublisher(signature.organisation, publishers);
    logEvent("signature", {{"status", hex8(signature.status)},
                           {"signer", signature.organisation.empty() ? "none" : signature.organisation},
                           {"verdict", trusted ? "accepted" : "refused"}});
    if (!trusted) {
        return false;
    }
    const std::string productVersion = packageProductVersion(packagePath);
    const bool expected = packageIsVersion(productVersion, version);
    logEvent("package-version", {{"product-version", productVersion.empty() ? "unreadable" : productVersion},
                                 {"offered", version},
                                 {"verdict", expected ? "accepted" : "refused"}});
    return expected;
}

} // namespace

bool packageIsVersion(const std::string& productVersion, const std::string& letterVersion)
{
    return isLetterVersion(letterVersion) && !productVersion.empty()
           && productVersion == letToDot(letterVersion);
}

int callJavaAPI(std::string& version, const std::string& apiUrl, const DownloadObserver& observer,
                const InstallOptions& options)
{
    // An elevated launcher that wrote into a folder of the user's could be turned, by a link
    // planted there, into a tool that truncates or deletes any file of the machine.
    const std::string ownFolder = options.elevated ? createAdministratorsFolder() : std::string();
    if (options.elevated) {
        logEvent("download-folder", {{"folder", ownFolder.empty() ? "none" : ownFolder}});
    }
    // The caller passes the probed version, so the file is named after the installer it holds.
    std::string packagePath =
        options.elevated ? (ownFolder.empty() ? std::string() : ownFolder + "\\" + installerFileName(version))
                         : packagePathFor(version);
    bool cancelled = false;
    FileHandle package = packagePath.empty() ? FileHandle(nullptr, &closeFile)
                                             : downloadInstaller(apiUrl, packagePath, observer, cancelled);
    InstallerRun run;
    if (package && packageAccepted(package.get(), packagePath, version, options.publishers)) {
        run = runInstaller(packagePath, version, observer);
    } else if (observer.ended != nullptr) {
        observer.ended(observer.context);
    }
    if (package) {
        package.reset();
        // The package is not kept: it is deleted once nothing holds it open any more.
        (void)DeleteFileA(packagePath.c_str());
    }
    if (!ownFolder.empty()) {
        (void)RemoveDirectoryW(widen(ownFolder).c_str());
    }
    if (cancelled || run.cancelled || (run.ran && run.exitCode == installerUserCancelled)) {
        return installationCancelled;
    }
    if (!run.ran || !installerSucceeded(run.exitCode)) {
        if (run.ran) {
            recordFailedInstallation(version, run.exitCode);
        }
        return 1;
    }
    clearFailedInstallations();
    version = findjavaVersionReg();
    return 0;
}
