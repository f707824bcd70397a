// Times as HTTP writes them, and as the log shows them. No platform header: the forms are a row
// table in the test, and the reader is fuzzed. Times are whole seconds since 1970, UTC.
#pragma once

#include <string>

// An HTTP date in seconds; -1 when it is none. A recipient must accept all three of RFC 9110's
// forms: the IMF-fixdate that senders produce ("Wed, 09 Dec 2026 08:00:00 GMT") and the two
// obsolete ones, RFC 850 ("Wednesday, 09-Dec-26 08:00:00 GMT") and asctime ("Wed Dec  9
// 08:00:00 2026"). RFC 850's two-digit year is the one nearest before now + 50 years.
long long httpDateSeconds(const std::string& value, long long now);

// True when value is an HTTP date of one of those forms, whatever its time.
bool isHttpDate(const std::string& value);

// A time as the log shows it: "2026-12-09T08:00:00Z".
std::string utcText(long long seconds);
