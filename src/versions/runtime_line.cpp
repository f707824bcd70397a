// The two runtime lines, and the one this build serves.
#include "runtime_line.h"

#include "klv-build-choices.h"
#include "platform/pe_machine.h"

#include <algorithm>
#include <iterator>

namespace {

// The vendor's last 32-bit Temurin 8 is 8u472b08 (October 2025): the service keeps naming it
// for the x86 path, and no newer 32-bit runtime will come. The 64-bit line goes on.
const RuntimeLine lines[] = {
    {"x86", "/v3/installer/latest/8/ga/windows/x86/jre/hotspot/normal/eclipse",
     "OPENJDK8U-jre_x86-32_windows_hotspot_", R"(SOFTWARE\WOW6432Node\Eclipse Adoptium\JRE)", peMachineX86},
    {"x64", "/v3/installer/latest/8/ga/windows/x64/jre/hotspot/normal/eclipse",
     "OpenJDK8U-jre_x64_windows_hotspot_", R"(SOFTWARE\Eclipse Adoptium\JRE)", peMachineX64},
};

const char* const adoptiumService = "https://api.adoptium.net";

} // namespace

const RuntimeLine* runtimeLineFor(const std::string& arch)
{
    const auto* found = std::find_if(std::begin(lines), std::end(lines),
                                     [&arch](const RuntimeLine& line) { return arch == line.arch; });
    return found != std::end(lines) ? found : nullptr;
}

const RuntimeLine& builtRuntimeLine()
{
    // The build refuses any other KLV_RUNTIME_ARCH, so the line is always found.
    const RuntimeLine* const built = runtimeLineFor(KLV_RUNTIME_ARCH);
    return built != nullptr ? *built : lines[0];
}

std::string serviceUrlFor(const RuntimeLine& line, const std::string& configured)
{
    return configured.empty() ? adoptiumService + std::string(line.servicePath) : configured;
}

std::string packageFileName(const RuntimeLine& line, const std::string& letterVersion)
{
    return line.packagePrefix + letterVersion + ".msi";
}
