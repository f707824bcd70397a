// Runtime version notations: the letter form of installer file names (8u432b06) and the
// dotted form of the runtime's registry subkeys (8.0.432.6), and the conversions between them.
#pragma once

#include <string>
#include <vector>

// Dotted form to letter form; the empty string stays empty.
std::string dotToLet(const std::string& version);

// Letter form to dotted form; the empty string stays empty.
std::string letToDot(std::string version);

// True for a well-formed letter-form version of sensible length, such as 8u432b06.
bool isLetterVersion(const std::string& version);

// The highest well-formed dotted version of major 8 among names (the runtime records' subkey
// names), compared number by number, or empty when there is none. Other majors of the same
// vendor record themselves beside it and are skipped, as is anything that is not a version.
std::string highestJava8Version(const std::vector<std::string>& names);

// True when candidate, a letter-form version, is higher than installed, compared number by
// number as the runtimes are (8u432b6 and 8u432b06 are the same version). A candidate that is
// not a letter-form version is never higher; any candidate is higher than an installed
// version that cannot be read as one.
bool isNewerVersion(const std::string& candidate, const std::string& installed);
