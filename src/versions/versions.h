// Runtime version notations: the letter form of installer file names (8u432b06) and the
// dotted form of the runtime's registry subkeys (8.0.432.6), and the conversions between them.
#pragma once

#include <string>

// Dotted form to letter form; the empty string stays empty.
std::string dotToLet(const std::string& version);

// Letter form to dotted form; the empty string stays empty.
std::string letToDot(std::string version);

// True for a well-formed letter-form version of sensible length, such as 8u432b06.
bool isLetterVersion(const std::string& version);
