// The installation as a whole: where the package goes, the checks it must pass before Windows
// Installer sees it, and what is remembered of a failure.
#include "installer.h"

#include "diagnostics/log.h"
#include "package_trust.h"
#include "registry/install_failures.h"
#include "registry/registry.h"
#include "trusted_publisher.h"
#include "versions/versions.h"
#include "windows_installer.h"

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

// Where the package for version is saved: the user's Downloads folder, or where that is
// redirected or deleted, the temporary folder, which always exists. Empty when neither is known.
std::string packagePathFor(const std::string& version)
{
    const char* userProfile = std::getenv("USERPROFILE");
    if (userProfile == nullptr || *userProfile == '\0') {
        return {};
    }
    const std::string downloads = installerDownloadPath(userProfile, version);
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
    return isLetterVersion(letterVersion) && !productVersion.empty() && productVersion == letToDot(letterVersion);
}

int callJavaAPI(std::string& version, const std::string& apiUrl, const DownloadObserver& observer,
                const std::vector<std::string>& publishers)
{
    // The caller passes the probed version, so the file is named after the installer it holds.
    std::string packagePath = packagePathFor(version);
    bool cancelled = false;
    FileHandle package =
        packagePath.empty() ? FileHandle(nullptr, &closeFile) : downloadInstaller(apiUrl, packagePath, observer, cancelled);
    InstallerRun run;
    if (package && packageAccepted(package.get(), packagePath, version, publishers)) {
        run = runInstaller(packagePath, version, observer);
    } else if (observer.ended != nullptr) {
        observer.ended(observer.context);
    }
    if (package) {
        package.reset();
        // The package is not kept: it is deleted once nothing holds it open any more.
        (void)DeleteFileA(packagePath.c_str());
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
