// Whose signature an installer must carry. No platform header: tested on its own.
#pragma once

#include <string>
#include <vector>

// The organisation (O) in the subject of the certificate the runtime's installers are signed
// with. Its certificate is renewed from time to time, so the organisation is compared, not a
// thumbprint.
extern const char* const runtimePublisher;

// True when organisation is the runtime's publisher or one that the administrators added (a
// mirror that signs the packages again), compared without regard to ASCII case. An empty
// organisation (unsigned, or unreadable) is never trusted.
bool isTrustedPublisher(const std::string& organisation, const std::vector<std::string>& added);
