// Whose signature an installer must carry. No platform header: tested on its own.
#pragma once

#include <string>
#include <vector>

// The organisation (O) in the subject of the certificate the runtime's installers were signed
// with until July 2026. Its certificate is renewed from time to time, so the organisation is
// compared, not a thumbprint.
extern const char* const runtimePublisher;

// The entries of a list of organisations separated by ";", without the blanks around each and
// without empty ones.
std::vector<std::string> publisherList(const std::string& list);

// The organisations accepted on every build's installers: the runtime's publisher and those the
// build added (KLV_TRUSTED_PUBLISHERS), so that a build can follow a certificate issued to a new
// name without a change of code.
const std::vector<std::string>& builtInPublishers();

// True when organisation is one of builtIn or one that the administrators added (a mirror that
// signs the packages again), compared without regard to ASCII case. An empty organisation
// (unsigned, or unreadable) is never trusted.
bool isTrustedPublisher(const std::string& organisation, const std::vector<std::string>& added,
                        const std::vector<std::string>& builtIn = builtInPublishers());
