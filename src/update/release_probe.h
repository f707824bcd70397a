// The release probe: one header-only request to the release service at every start.
#pragma once

#include <string>

// Asks the service at apiUrl which installer is newest and stores its letter-form version in
// javaVerURL (empty when none was found). True when a version was found and it is higher than
// the installed javaVerLet, or nothing is installed.
bool getURLVersion(const std::string& apiUrl, const std::string& javaVerLet, std::string& javaVerURL);
