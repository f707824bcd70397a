// The launcher's events, each made from its facts.
#include "event_catalog.h"

LauncherEvent runtimeInstalled(const std::string& version, bool forUser)
{
    return {runtimeInstalledEvent, EventType::information, {version, forUser ? "user" : "machine"}};
}

LauncherEvent packageRefused(const std::string& version, const std::string& why, const std::string& signer)
{
    return {packageRefusedEvent, EventType::warning, {version, why, signer.empty() ? "none" : signer}};
}

LauncherEvent installerFailed(const std::string& version, unsigned long exitCode, const std::string& keptLog)
{
    // The file's name: the folder is the user's own, and names the user.
    const std::string::size_type slash = keptLog.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? keptLog : keptLog.substr(slash + 1);
    return {installerFailedEvent,
            EventType::error,
            {version, std::to_string(exitCode), name.empty() ? "none" : name}};
}

LauncherEvent versionWithdrawn(const std::string& version, unsigned long count)
{
    return {versionWithdrawnEvent, EventType::warning, {version, std::to_string(count)}};
}

LauncherEvent applicationNotStarted(const std::string& reason)
{
    return {applicationNotStartedEvent, EventType::error, {reason}};
}

LauncherEvent serviceUnreachable(const std::string& host, const std::string& why)
{
    return {serviceUnreachableEvent, EventType::warning, {host, why}};
}
