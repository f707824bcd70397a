// The retry rules of the download, in the order they apply: what is worth another attempt at
// all, how long to wait, and whether the bytes already written can be kept.
#include "retry_decision.h"

#include "http_date.h"
#include "network/transfer_result.h"

namespace {

// libcurl's result codes, as numbers (curl/curl.h): the download's own check of a resumed
// attempt's answer (a 200, the content changed; or a range elsewhere), and an HTTP error status,
// as which libcurl reports a 416 to the download's own Range header.
constexpr int rangeError = 33;
constexpr int httpReturnedError = 22;
constexpr long rangeNotSatisfiable = 416;

// After 1, 2 and 4 seconds, or after what the server's Retry-After asks for, up to half a minute.
constexpr long firstRetryWaitMilliseconds = 1000;
constexpr long longestRetryAfterSeconds = 30;

// If-Range takes only a strong validator: a weak ETag ("W/...") would never match. The value
// goes out in a request header on every hop, so text of any other shape (a control character
// would end the header) is no validator at all.
std::string strongValidator(const AttemptFacts& facts)
{
    if (!facts.acceptsRanges) {
        return {};
    }
    if (isStrongEntityTag(facts.etag)) {
        return facts.etag;
    }
    return isHttpDate(facts.lastModified) ? facts.lastModified : std::string();
}

} // namespace

RetryDecision decideRetry(const AttemptFacts& facts)
{
    RetryDecision decision;
    const bool changed = facts.curlCode == rangeError;
    const bool notSatisfiable =
        facts.curlCode == httpReturnedError && facts.httpStatus == rangeNotSatisfiable;
    // A 416 is worth one fresh start; a second one means the server cannot serve this file.
    const bool freshStartHelps = changed || (notSatisfiable && !facts.rangeRefusedBefore);
    decision.rangeRefused = facts.rangeRefusedBefore || notSatisfiable;
    // A connection lost after the last byte, or a range asked for past it: nothing is missing.
    if ((isTransientFailure(facts.curlCode, facts.httpStatus) || notSatisfiable) && facts.completeLength > 0
        && facts.written == facts.completeLength) {
        decision.action = RetryAction::complete;
        return decision;
    }
    if (facts.retriesSoFar >= mostDownloadRetries
        || (!freshStartHelps && !isTransientFailure(facts.curlCode, facts.httpStatus))) {
        return decision;
    }
    if (freshStartHelps) {
        // The server said what it has; there is nothing to wait for.
        decision.action = RetryAction::restart;
        return decision;
    }
    const long retryAfter = retryAfterSeconds(facts.retryAfter, longestRetryAfterSeconds);
    decision.waitMilliseconds =
        retryAfter >= 0 ? retryAfter * 1000 : firstRetryWaitMilliseconds << facts.retriesSoFar;
    // A resumed attempt keeps the validator it started with: the first answer's content is the
    // one the file holds.
    decision.validator = facts.offset > 0 ? facts.resumedWith : strongValidator(facts);
    if (decision.validator.empty() || facts.written <= 0) {
        decision.action = RetryAction::restart;
        decision.validator.clear();
        return decision;
    }
    decision.action = RetryAction::resume;
    decision.resumeAt = facts.written;
    return decision;
}

bool isStrongEntityTag(const std::string& value)
{
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') {
        return false;
    }
    for (std::string::size_type at = 1; at + 1 < value.size(); ++at) {
        const auto c = static_cast<unsigned char>(value[at]);
        if (c <= ' ' || c == '"' || c > '~') {
            return false;
        }
    }
    return true;
}
