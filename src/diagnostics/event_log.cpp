// The Event Log's writer. Without the source's registration (the key "KLV launcher" below
// HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application, which the application's installer
// writes) Windows still stores each event with its strings; Event Viewer then shows them without
// their text.
#include "event_log.h"

#include "log.h"
#include "platform/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

const wchar_t* const eventSource = L"KLV launcher";

using EventSource = std::unique_ptr<std::remove_pointer_t<HANDLE>, decltype(&DeregisterEventSource)>;

WORD typeOf(EventType type)
{
    switch (type) {
    case EventType::error:
        return EVENTLOG_ERROR_TYPE;
    case EventType::warning:
        return EVENTLOG_WARNING_TYPE;
    case EventType::information:
        break;
    }
    return EVENTLOG_INFORMATION_TYPE;
}

} // namespace

void reportEvent(const LauncherEvent& event)
{
    std::vector<std::wstring> wide(event.strings.size());
    std::transform(event.strings.begin(), event.strings.end(), wide.begin(),
                   [](const std::string& text) { return widen(text); });
    std::vector<const wchar_t*> strings(wide.size());
    std::transform(wide.begin(), wide.end(), strings.begin(),
                   [](const std::wstring& text) { return text.c_str(); });
    const EventSource source(RegisterEventSourceW(nullptr, eventSource), &DeregisterEventSource);
    const bool written = source
                         && ReportEventW(source.get(), typeOf(event.type), 0, event.id, nullptr,
                                         static_cast<WORD>(strings.size()), 0, strings.data(), nullptr)
                                != FALSE;
    logEvent("event", {{"id", std::to_string(event.id)}, {"written", written ? "yes" : "no"}});
}
