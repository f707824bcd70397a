// Defines the process-wide strings in one translation unit, so that they are constructed in
// this order before main and destroyed in the reverse order at exit.
#include "launcher.h"

#include "klv-build-choices.h"
#include "versions/runtime_line.h"

const std::string apiUrl = serviceUrlFor(builtRuntimeLine(), KLV_RELEASE_SERVICE_URL);
std::string javaVerURL;
std::string javaVerReg;
std::string javaVerDot;
std::string serviceUrl = apiUrl;
std::vector<std::string> trustedPublishers;
