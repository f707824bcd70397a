// Reads and answers the message boxes of other processes under the same wineserver (or
// desktop), for the end-to-end tests.
//   boxwatch wait <milliseconds>      waits for a message box and prints what it shows, with
//                                     the screen position of each button
//   boxwatch press <hwnd> <yes|no|ok> presses one of its buttons
//   boxwatch gone <hwnd> <milliseconds> waits until that box has closed
//   boxwatch progress <milliseconds>  waits for a progress window (a dialog with a progress bar)
//                                     and prints its title, texts, bar and Cancel button
//   boxwatch run <profile> <program>  runs program with USERPROFILE set to profile (given as
//                                     UTF-8 in hex, so no Linux locale can garble it) and ends
//                                     with its exit code; Wine replaces a USERPROFILE set on
//                                     the Linux side, but not one in CreateProcessW's block
// A message box is a top-level dialog of class #32770; its text is the static control with
// ID 0xFFFF and its buttons carry the IDs IDYES, IDNO and IDOK.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int messageTextId = 0xFFFF;
constexpr DWORD pollMilliseconds = 50;

std::string utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), result.data(), size, nullptr,
                        nullptr);
    return result;
}

std::wstring windowText(HWND window)
{
    wchar_t text[4096] = L"";
    GetWindowTextW(window, text, 4096);
    return text;
}

// One field a line; line breaks inside a text are written as \n.
std::string field(const char* name, const std::wstring& value)
{
    std::string text = utf8(value);
    for (std::size_t at = 0; (at = text.find_first_of("\r\n", at)) != std::string::npos;) {
        text.replace(at, 1, text[at] == '\n' ? "\\n" : "");
    }
    return std::string(name) + "=" + text + "\n";
}

HWND progressBar(HWND dialog)
{
    return FindWindowExW(dialog, nullptr, L"msctls_progress32", nullptr);
}

// Another process's visible dialog: a message box (it has the message's text control), or
// (wantProgress) a progress window (it has a progress bar). A dialog that is still being built
// or already being taken apart may have neither, and is neither.
struct Search {
    bool wantProgress;
    HWND found;
};

BOOL CALLBACK findDialog(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    wchar_t className[64] = L"";
    GetClassNameW(window, className, 64);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (std::wcscmp(className, L"#32770") == 0 && IsWindowVisible(window) && owner != GetCurrentProcessId()
        && (search->wantProgress
                ? progressBar(window) != nullptr
                : GetDlgItem(window, messageTextId) != nullptr && progressBar(window) == nullptr)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND visibleDialog(bool wantProgress)
{
    Search search{wantProgress, nullptr};
    EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND visibleMessageBox()
{
    return visibleDialog(false);
}

BOOL CALLBACK addStatic(HWND child, LPARAM sample)
{
    wchar_t className[64] = L"";
    GetClassNameW(child, className, 64);
    if (_wcsicmp(className, L"Static") == 0 && IsWindowVisible(child) && !windowText(child).empty()) {
        *reinterpret_cast<std::string*>(sample) += field("line", windowText(child));
    }
    return TRUE;
}

int waitForProgress(DWORD milliseconds)
{
    for (DWORD waited = 0; waited <= milliseconds; waited += pollMilliseconds) {
        if (HWND dialog = visibleDialog(true)) {
            std::string sample = field("caption", windowText(dialog));
            EnumChildWindows(dialog, addStatic, reinterpret_cast<LPARAM>(&sample));
            HWND bar = progressBar(dialog);
            DWORD_PTR position = 0;
            DWORD_PTR range = 0;
            // A window that closes while it is read would give half a sample (a bar at 0 of 0
            // from a destroyed control): that is no sample, and the next poll finds no window.
            if (SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position) == 0
                || SendMessageTimeoutW(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 1000, &range) == 0
                || !IsWindow(dialog)) {
                Sleep(pollMilliseconds);
                continue;
            }
            std::fputs(sample.c_str(), stdout);
            std::printf("position=%ld\nrange=%ld\n", static_cast<long>(position), static_cast<long>(range));
            RECT area{};
            GetWindowRect(GetDlgItem(dialog, IDCANCEL), &area);
            std::printf("button.cancel=%ld,%ld\n", (area.left + area.right) / 2,
                        (area.top + area.bottom) / 2);
            std::printf("hwnd=%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(dialog)));
            std::fflush(stdout);
            return 0;
        }
        Sleep(pollMilliseconds);
    }
    return 1;
}

int waitForBox(DWORD milliseconds)
{
    for (DWORD waited = 0; waited <= milliseconds; waited += pollMilliseconds) {
        if (HWND box = visibleMessageBox()) {
            std::string sample = "hwnd=" + std::to_string(reinterpret_cast<UINT_PTR>(box)) + "\n";
            sample += field("caption", windowText(box));
            HWND text = GetDlgItem(box, messageTextId);
            sample += field("text", text ? windowText(text) : L"");
            std::string buttons;
            for (const auto& [id, name] :
                 {std::pair{IDYES, "yes"}, {IDNO, "no"}, {IDOK, "ok"}, {IDCANCEL, "cancel"}}) {
                HWND button = GetDlgItem(box, id);
                if (button == nullptr) {
                    continue;
                }
                buttons += buttons.empty() ? name : std::string(",") + name;
                // Where a user would click it, in screen coordinates.
                RECT area{};
                GetWindowRect(button, &area);
                sample += std::string("button.") + name + "=" + std::to_string((area.left + area.right) / 2)
                          + "," + std::to_string((area.top + area.bottom) / 2) + "\n";
            }
            // A box that closed while it was read is no sample: the next poll finds none.
            if (!IsWindow(box)) {
                Sleep(pollMilliseconds);
                continue;
            }
            std::printf("%sbuttons=%s\n", sample.c_str(), buttons.c_str());
            std::fflush(stdout);
            return 0;
        }
        Sleep(pollMilliseconds);
    }
    return 1;
}

HWND parseWindow(const char* text)
{
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(text, nullptr, 10)));
}

int press(HWND box, const std::string& button)
{
    const int id = button == "yes" ? IDYES : button == "no" ? IDNO : IDOK;
    if (!IsWindow(box) || GetDlgItem(box, id) == nullptr) {
        return 1;
    }
    return PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(box, id)))
               ? 0
               : 1;
}

int waitUntilGone(HWND box, DWORD milliseconds)
{
    for (DWORD waited = 0; waited <= milliseconds; waited += pollMilliseconds) {
        if (!IsWindow(box) || !IsWindowVisible(box)) {
            return 0;
        }
        Sleep(pollMilliseconds);
    }
    return 1;
}

std::wstring fromHexUtf8(const std::string& hex)
{
    std::string bytes;
    for (std::size_t at = 0; at + 1 < hex.size(); at += 2) {
        bytes += static_cast<char>(std::strtoul(hex.substr(at, 2).c_str(), nullptr, 16));
    }
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, bytes.c_str(),
                                                             static_cast<int>(bytes.size()), text.data(),
                                                             static_cast<int>(text.size()))));
    return text;
}

int runWithProfile(const std::wstring& profile, const char* program)
{
    std::wstring block;
    wchar_t* inherited = GetEnvironmentStringsW();
    for (const wchar_t* entry = inherited; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        if (_wcsnicmp(entry, L"USERPROFILE=", 12) != 0) {
            block.append(entry).push_back(L'\0');
        }
    }
    FreeEnvironmentStringsW(inherited);
    block.append(L"USERPROFILE=" + profile).push_back(L'\0');
    block.push_back(L'\0');

    std::wstring commandLine = L"\"" + std::wstring(program, program + std::strlen(program)) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        block.data(), nullptr, &startup, &process)) {
        return 255;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 255;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "wait" && argc == 3) {
        return waitForBox(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
    }
    if (command == "press" && argc == 4) {
        return press(parseWindow(argv[2]), argv[3]);
    }
    if (command == "gone" && argc == 4) {
        return waitUntilGone(parseWindow(argv[2]), static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)));
    }
    if (command == "progress" && argc == 3) {
        return waitForProgress(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
    }
    if (command == "run" && argc == 4) {
        return runWithProfile(fromHexUtf8(argv[2]), argv[3]);
    }
    std::fprintf(stderr, "usage: boxwatch wait <ms> | press <hwnd> <yes|no|ok> | gone <hwnd> <ms> | run "
                         "<profile-hex> <program>\n");
    return 2;
}
