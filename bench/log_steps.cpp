// The cost of each step of the log's writing at the end of a start, in a fresh process as a start
// has it (cold): the user's folder from the system, the log's folder again with its check, opening
// the file (with or without holding its folders) with the lines that waited, one more line, and
// closing. Prints the milliseconds of each; run it a few times and take the medians.
//   log-steps [hold]
#include "diagnostics/log.h"
#include "diagnostics/log_file.h"
#include "platform/files.h"
#include "platform/system_library.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

double millisecondsSince(LARGE_INTEGER& mark)
{
    LARGE_INTEGER now{};
    LARGE_INTEGER frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    const double elapsed =
        static_cast<double>(now.QuadPart - mark.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    mark = now;
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    const bool hold = argc > 1 && std::strcmp(argv[1], "hold") == 0;
    // By the end of a start the launcher has entered COM for the shell, and logged about eight lines.
    (void)enterComApartment(COINIT_MULTITHREADED);
    for (int line = 0; line < 8; ++line) {
        logEvent("line", {{"folder", R"(C:\Program Files (x86)\Eclipse Adoptium\jre-8.0.472.8-hotspot\)"}});
    }
    LARGE_INTEGER mark{};
    QueryPerformanceCounter(&mark);
    const std::string local = localAppDataFolder();
    const double lookup = millisecondsSince(mark);
    const std::string folder = launcherLogFolder();
    const double folderAgain = millisecondsSince(mark);
    const bool opened = openLauncherLog(folder, hold);
    const double open = millisecondsSince(mark);
    logEvent("end", {{"outcome", "application-started"}});
    const double line = millisecondsSince(mark);
    closeLauncherLog();
    const double close = millisecondsSince(mark);
    std::printf("lookup %.3f folder+check %.3f open+waiting-lines %.3f line %.3f close %.3f opened=%d\n",
                lookup, folderAgain, open, line, close, opened ? 1 : 0);
    return local.empty() ? 1 : 0;
}
