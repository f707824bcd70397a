// The events that reach the Windows Event Log, where administrators' fleet tools collect them:
// each with its fixed ID and type, and its strings (the facts, in the log's own notation). Their
// texts, in the prompts' five languages, are the message table of resources/klv-events.mc, under
// the same IDs. No platform header: the events are rows in their tests.
#pragma once

#include <string>
#include <vector>

enum class EventType { information, warning, error };

struct LauncherEvent {
    unsigned long id = 0;
    EventType type = EventType::information;
    std::vector<std::string> strings;
};

constexpr unsigned long runtimeInstalledEvent = 1000;
constexpr unsigned long packageRefusedEvent = 1001;
constexpr unsigned long installerFailedEvent = 1002;
constexpr unsigned long versionWithdrawnEvent = 1003;
constexpr unsigned long applicationNotStartedEvent = 1004;
constexpr unsigned long serviceUnreachableEvent = 1005;

// version (letter form) was installed, for the machine or for this user alone.
LauncherEvent runtimeInstalled(const std::string& version, bool forUser);
// The package of version was not run: why ("signature", "publisher", "package version", ...),
// signed by signer (empty: none could be read).
LauncherEvent packageRefused(const std::string& version, const std::string& why, const std::string& signer);
// Windows Installer ended with exitCode on version; its log was kept as keptLog (a full path, of
// which the event names the file; empty: none kept).
LauncherEvent installerFailed(const std::string& version, unsigned long exitCode, const std::string& keptLog);
// version failed count times and is no longer offered.
LauncherEvent versionWithdrawn(const std::string& version, unsigned long count);
// The application was not started, for reason.
LauncherEvent applicationNotStarted(const std::string& reason);
// The service at host could not be reached; why is libcurl's result in words.
LauncherEvent serviceUnreachable(const std::string& host, const std::string& why);
