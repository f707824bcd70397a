// The refusal policy: what counts against a version, and when it is no longer offered.
#include "refusal_policy.h"

namespace {

// An OLE compound file's signature, the first eight bytes of every .msi.
const char compoundFileSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr std::string::size_type signatureBytes = compoundFileSignatureBytes;
static_assert(sizeof(compoundFileSignature) - 1 == signatureBytes);

UpdateResult refused(const char* why, bool packageAtFault, const std::string& signer = {})
{
    return {
        .outcome = UpdateOutcome::refused, .why = why, .packageAtFault = packageAtFault, .signer = signer};
}

} // namespace

bool countsAsFailedInstallation(const UpdateResult& result)
{
    return (result.outcome == UpdateOutcome::failed && result.installerRan)
           || (result.outcome == UpdateOutcome::refused && result.packageAtFault);
}

bool failedWithoutThePackagesFault(const UpdateResult& result)
{
    return (result.outcome == UpdateOutcome::failed && !result.installerRan)
           || (result.outcome == UpdateOutcome::refused && !result.packageAtFault);
}

bool versionWithdrawn(const FailedInstallations& record, const std::string& version, bool runtimeUsable,
                      long long now)
{
    if (!runtimeUsable || version.empty() || record.version != version) {
        return false;
    }
    // A time ahead of now says the clock went back: the rest's start is unknown, and it is over.
    const bool resting = record.failedAttempts >= mostFailedAttempts && record.lastAttemptAt <= now
                         && now - record.lastAttemptAt < restAfterFailedAttemptsSeconds;
    return record.count >= mostFailedInstallations || resting;
}

bool isWindowsInstallerPackage(const std::string& firstBytes)
{
    return firstBytes.size() >= signatureBytes
           && firstBytes.compare(0, signatureBytes, compoundFileSignature, signatureBytes) == 0;
}

std::optional<UpdateResult> signatureRefusal(bool verifies, const std::string& signer, bool trusted)
{
    if (verifies && trusted) {
        return std::nullopt;
    }
    if (verifies && !signer.empty()) {
        return refused("publisher", true, signer);
    }
    return refused("signature", false);
}

std::optional<UpdateResult> packageVersionRefusal(const std::string& productVersion, bool offered,
                                                  bool readerLoaded)
{
    if (offered) {
        return std::nullopt;
    }
    return productVersion.empty() ? refused("package version unreadable", readerLoaded)
                                  : refused("package version", true);
}
