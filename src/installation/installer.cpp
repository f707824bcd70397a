// The installation as a whole: where the package goes, the checks it must pass before Windows
// Installer sees it, what is kept of Windows Installer's log, and what is remembered of the
// outcome. The user's Cancel is looked at between every two steps.
#include "installer.h"

#include "diagnostics/event_log.h"
#include "diagnostics/log.h"
#include "installation_events.h"
#include "installer_codes.h"
#include "installer_log.h"
#include "package_trust.h"
#include "platform/files.h"
#include "platform/hex_text.h"
#include "platform/process_clock.h"
#include "platform/wide_text.h"
#include "protected_folder.h"
#include "refusal_policy.h"
#include "registry/check_record.h"
#include "registry/install_failures.h"
#include "registry/registry.h"
#include "registry/runtime_records.h"
#include "trusted_publisher.h"
#include "update/part_file.h"
#include "versions/versions.h"
#include "windows_installer.h"

#include <cstdlib>
#include <optional>

namespace {

constexpr int statusDigits = 8;

// Where the package for version is saved: the user's Downloads folder, or where that is
// redirected or deleted, the temporary folder, which always exists. Empty when neither is known.
std::string packagePathFor(const std::string& version)
{
    const char* userProfile = std::getenv("USERPROFILE");
    if (userProfile == nullptr || *userProfile == '\0') {
        return {};
    }
    std::string downloads = installerDownloadPath(userProfile, version);
    if (isFolder(downloads.substr(0, downloads.rfind('\\')))) {
        return downloads;
    }
    const std::string temporary = temporaryFolder();
    return temporary.empty() ? std::string() : temporary + installerFileName(version);
}

bool userGoesOn(const DownloadObserver& observer)
{
    return observer.goOn == nullptr || observer.goOn(observer.context);
}

UpdateResult ended(UpdateOutcome outcome, const char* why)
{
    return {.outcome = outcome, .why = why};
}

// Only a package that its publisher signed, of the version that was offered, is run: a
// tampered service or mirror can neither slip in another signer's package nor an older one.
// Why the package is not run (refused, or the user cancelled meanwhile); nothing when it passes.
std::optional<UpdateResult> reasonNotToRun(HANDLE package, const std::string& packagePath,
                                           const std::string& version,
                                           const std::vector<std::string>& publishers,
                                           const DownloadObserver& observer)
{
    if (!userGoesOn(observer)) {
        return ended(UpdateOutcome::cancelled, "cancelled");
    }
    // A proxy's page or an error document is no package at all, whatever it would say of itself.
    // Read through the handle that holds the package, so that it is the file that is run.
    if (!isWindowsInstallerPackage(readFileStart(package, compoundFileSignatureBytes))) {
        logEvent("package", {{"verdict", "refused"}, {"why", "not-a-package"}});
        return ended(UpdateOutcome::refused, "not-a-package");
    }
    const PackageSignature signature = readPackageSignature(package, packagePath);
    auto signatureRefused = signatureRefusal(signature.verifies, signature.organisation,
                                             isTrustedPublisher(signature.organisation, publishers));
    logEvent("signature", {{"status", hexNumber(static_cast<unsigned long>(signature.status), statusDigits)},
                           {"signer", signature.organisation.empty() ? "none" : signature.organisation},
                           {"verdict", signatureRefused ? "refused" : "accepted"}});
    if (signatureRefused) {
        return signatureRefused;
    }
    if (!userGoesOn(observer)) {
        return ended(UpdateOutcome::cancelled, "cancelled");
    }
    bool readerLoaded = false;
    const std::string productVersion = packageProductVersion(packagePath, readerLoaded);
    auto versionRefused =
        packageVersionRefusal(productVersion, packageIsVersion(productVersion, version), readerLoaded);
    logEvent("package-version", {{"product-version", productVersion.empty() ? "unreadable" : productVersion},
                                 {"offered", version},
                                 {"verdict", versionRefused ? "refused" : "accepted"}});
    return versionRefused;
}

// Windows Installer's log after its run: deleted after a success; after a failure kept in the
// user's log folder, where an elevated launcher copies it from its own folder.
std::string keepInstallerLog(const UpdateResult& result, const std::string& written,
                             const InstallOptions& options, const std::string& version)
{
    if (written.empty()) {
        return {};
    }
    std::string kept;
    if (result.installerRan && result.outcome != UpdateOutcome::installed
        && GetFileAttributesA(written.c_str()) != INVALID_FILE_ATTRIBUTES) {
        kept = options.elevated ? copyInstallerLog(written, options.logFolder, version) : written;
    }
    if (kept != written) {
        (void)DeleteFileA(written.c_str());
    }
    if (!kept.empty()) {
        logEvent("installer-log", {{"kept", kept}});
    }
    keepNewestInstallerLogs(options.logFolder, keptInstallerLogs);
    return kept;
}

// Downloads, checks and runs the package at packagePath.
UpdateResult installPackage(std::string& packagePath, const std::string& apiUrl, const std::string& version,
                            const std::string& ownFolder, const DownloadObserver& observer,
                            const InstallOptions& options)
{
    DownloadEnd end = DownloadEnd::failed;
    FileHandle package = downloadInstaller(apiUrl, options.proxy, packagePath, observer, end);
    if (!package) {
        return end == DownloadEnd::cancelled  ? ended(UpdateOutcome::cancelled, "cancelled")
               : end == DownloadEnd::tooLarge ? ended(UpdateOutcome::failed, "larger than any installer")
                                              : ended(UpdateOutcome::failed, "download");
    }
    UpdateResult result;
    if (const auto refusal =
            reasonNotToRun(package.get(), packagePath, version, options.publishers, observer)) {
        result = *refusal;
    } else {
        const std::string installerLog =
            installerLogPath(options.elevated ? ownFolder : options.logFolder, version);
        result = runInstaller(packagePath, installerLog, observer, options.runtimeFolder, options.scope);
        result.installerLog = keepInstallerLog(result, installerLog, options, version);
    }
    package.reset();
    // The package is not kept: it is deleted once nothing holds it open any more.
    (void)DeleteFileA(packagePath.c_str());
    return result;
}

} // namespace

bool packageIsVersion(const std::string& productVersion, const std::string& letterVersion)
{
    return isLetterVersion(letterVersion) && !productVersion.empty()
           && productVersion == letToDot(letterVersion);
}

UpdateResult callJavaAPI(std::string& version, const std::string& apiUrl, const DownloadObserver& observer,
                         const InstallOptions& options)
{
    // An elevated launcher that wrote into a folder of the user's could be turned, by a link
    // planted there, into a tool that truncates or deletes any file of the machine.
    const std::string ownFolder =
        options.elevated ? createProtectedFolder(options.administrator) : std::string();
    if (options.elevated) {
        logEvent("download-folder", {{"folder", ownFolder.empty() ? "none" : ownFolder}});
    }
    // The caller passes the probed version, so the file is named after the installer it holds.
    std::string packagePath =
        options.elevated ? (ownFolder.empty() ? std::string() : ownFolder + "\\" + installerFileName(version))
                         : packagePathFor(version);
    UpdateResult result = packagePath.empty()
                              ? ended(UpdateOutcome::failed, "no download folder")
                              : installPackage(packagePath, apiUrl, version, ownFolder, observer, options);
    if (!ownFolder.empty()) {
        (void)RemoveDirectoryW(widen(ownFolder).c_str());
    }
    InstallationFacts facts{result, version};
    facts.runtimeInstalled = options.runtimeUsable;
    if (countsAsFailedInstallation(result)) {
        facts.failures = recordFailedInstallation(version, result.exitCode);
        logEvent("failed-installation",
                 {{"version", version},
                  {"count", facts.failures > 0 ? std::to_string(facts.failures) : "not-stored"},
                  {"why", result.why}});
    } else if (failedWithoutThePackagesFault(result)) {
        // A failed attempt this time; the next start offers the version again, unless such
        // attempts keep failing.
        const unsigned long attempts = recordFailedAttempt(version, utcSecondsNow());
        logEvent(result.outcome == UpdateOutcome::refused ? "refusal-not-counted" : "failed-attempt",
                 {{"version", version},
                  {"why", result.why},
                  {"attempts", attempts > 0 ? std::to_string(attempts) : "not-stored"}});
    } else if (result.outcome == UpdateOutcome::installed) {
        clearFailedInstallations();
        const InstalledRuntime installed = findInstalledRuntime(options.elevated);
        version = installed.version;
        facts.installed = version;
        facts.installedForUser = installed.scope == RuntimeScope::user;
        rememberInstalledVersion(version);
    }
    for (const LauncherEvent& event : installationEvents(facts)) {
        reportEvent(event);
    }
    return result;
}
