// The release probe's header extraction, the retry decision and the download's figures (these
// also run natively under the sanitizers), and on Windows the files of the download.
#ifdef _WIN32
#include <winsock2.h> // libcurl's header needs it before any other Windows header
#endif

#include "update/check_schedule.h"
#include "update/header_version.h"
#include "update/http_date.h"
#include "update/retry_decision.h"
#include "update/transfer_limits.h"

#ifdef _WIN32
#include "update/download.h"
#include "update/part_file.h"

#include <windows.h>

#include <cstdio>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <string>
#include <tuple>

namespace {

// Feeds each line through the header function as libcurl does, one line a call.
std::string collect(std::initializer_list<std::string> lines)
{
    std::string headerBuffer;
    for (std::string line : lines) {
        const std::size_t taken = header_callback(line.data(), 1, line.size(), &headerBuffer);
        EXPECT_EQ(taken, line.size());
    }
    return headerBuffer;
}

} // namespace

TEST(HeaderCallback, KeepsEveryLineInOrderWithItsLineEnd)
{
    const std::string headers =
        collect({"HTTP/1.1 307 Temporary Redirect\r\n", "Location: /a_8u432b06.msi\r\n", "\r\n"});
    EXPECT_EQ(headers, "HTTP/1.1 307 Temporary Redirect\r\nLocation: /a_8u432b06.msi\r\n\r\n");
}

TEST(HeaderCallback, StopsAPeerThatSendsHeadersWithoutEnd)
{
    std::string headerBuffer;
    std::string line(1000, 'x');
    std::size_t lines = 0;
    while (header_callback(line.data(), 1, line.size(), &headerBuffer) == line.size()) {
        ASSERT_LT(++lines, 1000U);
    }
    EXPECT_LE(headerBuffer.size(), maxHeaderBytes);
    EXPECT_GE(headerBuffer.size(), maxHeaderBytes - line.size());
}

TEST(VersionFromHeaders, TakesTheVersionOutOfTheRedirectedInstallerName)
{
    const std::string headers =
        collect({"HTTP/2 307\r\n", "content-type: text/plain\r\n",
                 "location: https://github.com/adoptium/temurin8-binaries/releases/download/"
                 "jdk8u432-b06/OpenJDK8U-jre_x86-32_windows_hotspot_8u432b06.msi\r\n",
                 "date: Tue, 08 Dec 2026 01:00:00 GMT\r\n", "\r\n"});
    EXPECT_EQ(versionFromHeaders(headers), "8u432b06");
}

TEST(VersionFromHeaders, TheLastInstallerNameCounts)
{
    EXPECT_EQ(versionFromHeaders("link: a_8u422b05.msi\r\nlocation: b_8u432b06.msi\r\n\r\n"), "8u432b06");
    EXPECT_EQ(versionFromHeaders("location: x_8u292b10.msi?download=1\r\n"), "8u292b10");
}

TEST(VersionFromHeaders, NoResponseMeansNoVersion)
{
    EXPECT_EQ(versionFromHeaders(""), "");
}

TEST(VersionFromHeaders, TextThatIsNotAPlainVersionIsRefused)
{
    // Without ".msi" the cut runs from the last "_" to the end of all headers.
    EXPECT_EQ(versionFromHeaders("HTTP/1.1 200 OK\r\nx-trace_id: 8u432b06\r\n\r\n"), "");
    // Without "_" the cut runs from the start of the headers.
    EXPECT_EQ(versionFromHeaders("location: /8u432b06.msi\r\n"), "");
    for (const char* hostile : {"location: /a_..\\..\\Windows\\evil.msi\r\n", "location: /a_../../x.msi\r\n",
                                "location: /a_8u432b06\\..\\..\\x.msi\r\n", "location: /a_8u432b06 x.msi\r\n",
                                "location: /a_8u432b06\r\nx: y.msi\r\n", "location: /a_8U432B06.msi\r\n",
                                "location: /a_8u432b06-evil.msi\r\n", "location: /a_.msi\r\n"}) {
        EXPECT_EQ(versionFromHeaders(hostile), "") << hostile;
    }
}

TEST(VersionFromHeaders, AVeryLongVersionIsRefused)
{
    EXPECT_EQ(versionFromHeaders("location: /a_8u" + std::string(400, '1') + "b06.msi\r\n"), "");
}

TEST(LastResponseHeader, OnlyAStatusLineAtALinesStartBeginsAResponse)
{
    const struct {
        const char* headers;
        const char* name;
        const char* value;
    } cases[] = {
        {"HTTP/1.1 302 Found\r\nETag: \"a\"\r\n\r\nHTTP/1.1 200 OK\r\nETag: \"b\"\r\n\r\n", "etag", "\"b\""},
        {"HTTP/1.1 302 Found\r\nRetry-After: 5\r\n\r\nHTTP/1.1 200 OK\r\n\r\n", "Retry-After", ""},
        // A value that holds "HTTP/" hides nothing before it.
        {"HTTP/1.1 503 Busy\r\nRetry-After: 5\r\nVia: HTTP/1.1 gw\r\n\r\n", "Retry-After", "5"},
        {"HTTP/1.1 200 OK\r\nAccept-Ranges: bytes\r\nX-Note: see HTTP/2\r\n\r\n", "accept-ranges", "bytes"},
        {"", "ETag", ""},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(lastResponseHeader(row.headers, row.name), row.value) << row.headers;
    }
    // Where a resumed body begins, by the 206's Content-Range, and the whole file's length.
    for (const auto& [value, start] :
         std::initializer_list<std::pair<const char*, long long>>{{"bytes 500-999/1000", 500},
                                                                  {"Bytes 0-9/*", 0},
                                                                  {"bytes */1000", -1},
                                                                  {"500-999/1000", -1},
                                                                  {"bytes 500", -1},
                                                                  {"bytes 9999999999999999999-1/2", -1},
                                                                  {"bytes /1000", -1},
                                                                  {"bytes 500-999/999", -1},
                                                                  {"bytes 500-499/1000", -1}}) {
        EXPECT_EQ(contentRange(value).first, start) << value;
        EXPECT_EQ(contentRange(value).complete, start == 500 ? 1000 : -1) << value;
    }
}

TEST(RetryDecision, ResumeRestartWaitOrGiveUp)
{
    constexpr int refused = 7;    // CURLE_COULDNT_CONNECT
    constexpr int cutShort = 18;  // CURLE_PARTIAL_FILE
    constexpr int httpError = 22; // CURLE_HTTP_RETURNED_ERROR
    constexpr int changed = 33;   // CURLE_RANGE_ERROR
    constexpr int cancelled = 42; // CURLE_ABORTED_BY_CALLBACK
    constexpr int tooLarge = 63;  // CURLE_FILESIZE_EXCEEDED
    const auto facts = [](int code, long status, int retries, long long written, long long complete = 0,
                          const char* etag = "\"v1\"") {
        AttemptFacts f;
        f.curlCode = code;
        f.httpStatus = status;
        f.retriesSoFar = retries;
        f.written = written;
        f.completeLength = complete;
        f.acceptsRanges = true;
        f.etag = etag;
        return f;
    };
    const struct {
        const char* row;
        AttemptFacts facts;
        RetryAction action;
        long wait;
        long long resumeAt;
        const char* validator;
    } cases[] = {
        {"cut short with a strong ETag", facts(cutShort, 200, 0, 500), RetryAction::resume, 1000, 500,
         "\"v1\""},
        {"the waits double", facts(cutShort, 200, 2, 500), RetryAction::resume, 4000, 500, "\"v1\""},
        {"three retries are all", facts(cutShort, 200, 3, 500), RetryAction::giveUp, 0, 0, ""},
        {"nothing written yet", facts(refused, 0, 0, 0), RetryAction::restart, 1000, 0, ""},
        // A resumed attempt answered with the whole file, or with a range elsewhere.
        {"content changed", facts(changed, 200, 1, 900), RetryAction::restart, 0, 0, ""},
        // libcurl fails a 416 to the launcher's own Range header as any HTTP error status; an
        // attempt that had every byte but failed, resumed at the end, gets one.
        {"a 416", facts(httpError, 416, 0, 900), RetryAction::restart, 0, 0, ""},
        {"a 404", facts(httpError, 404, 0, 0), RetryAction::giveUp, 0, 0, ""},
        {"cancelled", facts(cancelled, 200, 0, 500), RetryAction::giveUp, 0, 0, ""},
        {"larger than any installer", facts(tooLarge, 200, 0, 0), RetryAction::giveUp, 0, 0, ""},
        // Every byte arrived: nothing is asked for again, not even after the last retry.
        {"lost after the last byte", facts(cutShort, 200, 3, 900, 900), RetryAction::complete, 0, 0, ""},
        {"a 416 past the last byte", facts(httpError, 416, 0, 900, 900), RetryAction::complete, 0, 0, ""},
        {"a byte missing", facts(cutShort, 200, 0, 899, 900), RetryAction::resume, 1000, 899, "\"v1\""},
        // Only a validator's shape goes back out as If-Range.
        {"an ETag with a bare CR", facts(cutShort, 200, 0, 500, 0, "\"v1\rX: y\""), RetryAction::restart,
         1000, 0, ""},
        {"an ETag without quotes", facts(cutShort, 200, 0, 500, 0, "v1"), RetryAction::restart, 1000, 0, ""},
    };
    for (const auto& row : cases) {
        const RetryDecision decision = decideRetry(row.facts);
        EXPECT_EQ(decision.action, row.action) << row.row;
        EXPECT_EQ(decision.waitMilliseconds, row.wait) << row.row;
        EXPECT_EQ(decision.resumeAt, row.resumeAt) << row.row;
        EXPECT_EQ(decision.validator, row.validator) << row.row;
    }
    AttemptFacts weak = facts(cutShort, 200, 0, 500);
    weak.etag = "W/\"v1\"";
    weak.lastModified = "Tue, 08 Dec 2026 01:00:00 GMT";
    EXPECT_EQ(decideRetry(weak).validator, weak.lastModified); // If-Range takes no weak ETag
    weak.lastModified = "Tue, 08 Dec 2026 01:00:00 GMT\r";
    EXPECT_EQ(decideRetry(weak).action, RetryAction::restart); // nor a date of another shape
    weak.lastModified = "Tue, 08 Dec 2026 01:00:00 GMT";
    weak.acceptsRanges = false;
    EXPECT_EQ(decideRetry(weak).action, RetryAction::restart);
    AttemptFacts resumed = facts(cutShort, 206, 1, 800);
    resumed.offset = 500;
    resumed.resumedWith = "\"v0\"";
    EXPECT_EQ(decideRetry(resumed).validator, "\"v0\""); // the first answer's validator stays
    AttemptFacts busy = facts(httpError, 503, 0, 0);
    busy.retryAfter = "7";
    EXPECT_EQ(decideRetry(busy).waitMilliseconds, 7000);
    AttemptFacts again = facts(httpError, 416, 1, 900);
    again.rangeRefusedBefore = true;
    EXPECT_EQ(decideRetry(again).action, RetryAction::giveUp); // a second 416
}

TEST(TransferFigures, NeitherOverflowNorWrapAtTheirLimits)
{
    constexpr long long most = std::numeric_limits<long long>::max();
    const struct {
        long long offset, received, total;
        unsigned long long shownReceived, shownTotal;
        bool tooLarge;
    } cases[] = {
        {0, 100, 1000, 100, 1000, false},
        {500, 100, 0, 600, 0, false},
        {500, -1, -1, 500, 0, false},
        {0, 0, 1LL << 30, 0, 1ULL << 30, false},
        {1, 0, 1LL << 30, 1, (1ULL << 30) + 1, true},
        {most, most, most, 2ULL * most, 2ULL * most, true},
        {-5, most, 0, static_cast<unsigned long long>(most), 0, true},
    };
    for (const auto& row : cases) {
        const TransferFigures figures = transferFigures(row.offset, row.received, row.total);
        EXPECT_EQ(figures.received, row.shownReceived) << row.offset << " " << row.received;
        EXPECT_EQ(figures.total, row.shownTotal) << row.offset << " " << row.total;
        EXPECT_EQ(pastLargestInstaller(std::max(figures.received, figures.total)), row.tooLarge)
            << row.offset;
    }
}

#ifdef _WIN32
TEST(InstallerDownload, IsSavedUnderTheFixedNameInTheUsersDownloads)
{
    EXPECT_EQ(installerDownloadPath(R"(C:\users\ada)", "8u432b06"),
              R"(C:\users\ada\Downloads\OPENJDK8U-jre_x86-32_windows_hotspot_8u432b06.msi)");
}

TEST(InstallerDownload, WriteDataReportsWhatReachedTheFile)
{
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    char piece[] = "MSI-bytes";
    EXPECT_EQ(write_data(piece, 1, 9, file), 9U);
    EXPECT_EQ(std::ftell(file), 9L);
    std::fclose(file);

    // A stream that cannot be written gives a short count, which stops the transfer.
    FILE* readOnly = std::fopen("NUL", "rb");
    ASSERT_NE(readOnly, nullptr);
    EXPECT_EQ(write_data(piece, 1, 9, readOnly), 0U);
    std::fclose(readOnly);
}

#endif

namespace {

// facts as change leaves them: each row names only what makes it what it is.
template <typename Change> CheckFacts with(CheckFacts facts, Change change)
{
    change(facts);
    return facts;
}

} // namespace

TEST(CheckSchedule, ACheckAtEveryStartUnlessThePeriodOrTheServicesWaitSaysOtherwise)
{
    constexpr long long now = 1796800000; // 2026-12-09, a Wednesday
    constexpr long long hour = 3600;
    const char* const v = "8u472b08"; // the remembered answer
    const char* const s = "https://api.adoptium.net/x86";
    const char* const mirror = "https://mirror.example/x86";
    // A runtime installed, an answer remembered a minute ago, no period; then what makes each row.
    const CheckFacts base{.runtimeInstalled = true, .now = now, .lastCheck = now - 60, .lastVersion = v};
    const auto period = [&](unsigned long minutes, long long last) {
        return with(base, [=](CheckFacts& f) { f.periodMinutes = minutes, f.lastCheck = last; });
    };
    const auto waitUntil = [&](long long until) {
        return with(base, [=](CheckFacts& f) { f.lastCheck = 0, f.lastVersion = "", f.notBefore = until; });
    };
    const auto newer = [&](bool withdrawn) {
        return with(period(60, now - 60),
                    [=](CheckFacts& f) { f.lastVersionNewer = true, f.lastVersionWithdrawn = withdrawn; });
    };
    const auto otherService = [&](CheckFacts& f) { f.service = s, f.lastService = mirror; };
    const struct {
        const char* row;
        CheckFacts facts;
        CheckAction action;
    } cases[] = {
        {"no period", base, CheckAction::check},
        {"within the period", period(60, now - 59 * 60), CheckAction::skipPeriod},
        {"the period is over", period(60, now - hour), CheckAction::check},
        {"nothing remembered", with(period(60, 0), [](CheckFacts& f) { f.lastVersion = ""; }),
         CheckAction::check},
        {"remembered in the future: the clock went back", period(60, now + 60), CheckAction::check},
        {"no runtime: always a check",
         with(period(60, now - 60),
              [&](CheckFacts& f) { f.runtimeInstalled = false, f.notBefore = now + hour; }),
         CheckAction::check},
        {"the service's wait", waitUntil(now + hour), CheckAction::skipServiceWait},
        {"the service's wait is over", waitUntil(now), CheckAction::check},
        {"a wait more than a day ahead is ignored", waitUntil(now + 25 * hour), CheckAction::check},
        // A remembered answer that would lead to a question is asked again: the vendor may have
        // moved on, and the download follows the service's answer of now.
        {"remembered newer", newer(false), CheckAction::check},
        {"remembered newer, withdrawn", newer(true), CheckAction::skipPeriod},
        {"another service answered", with(period(60, now - 60), otherService), CheckAction::check},
        {"another service asked to wait", with(waitUntil(now + hour), otherService), CheckAction::check},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(decideUpdateCheck(row.facts).action, row.action) << row.row;
    }
    // The service's wait: seconds or an HTTP date of any of its three forms, at most a day,
    // nothing for any other answer.
    for (const auto& [status, retryAfter, until] :
         std::initializer_list<std::tuple<long, const char*, long long>>{
             {503, "3600", now + hour},
             {429, "Wed, 09 Dec 2026 10:00:00 GMT", 1796810400},
             {429, "Wednesday, 09-Dec-26 10:00:00 GMT", 1796810400},
             {429, "Wed Dec  9 10:00:00 2026", 1796810400},
             {503, "999999", now + 24 * hour},
             {503, "99999999999999999999", now + 24 * hour},
             {503, "Tue, 08 Dec 2026 10:00:00 GMT", 0},
             {503, "Wed, 09 Dec 2026 24:00:00 GMT", 0},
             {503, "Wed, 09 Foo 2026 10:00:00 GMT", 0},
             {503, "Wed Dec 9 10:00:00 2026", 0},
             {503, "soon", 0},
             {500, "3600", 0}}) {
        EXPECT_EQ(serviceWaitUntil(status, retryAfter, now), until) << retryAfter;
    }
    // RFC 850's two-digit years: never more than 50 years ahead.
    EXPECT_EQ(utcText(httpDateSeconds("Sunday, 06-Nov-94 08:49:37 GMT", now)), "1994-11-06T08:49:37Z");
    EXPECT_EQ(utcText(httpDateSeconds("Friday, 06-Nov-76 08:49:37 GMT", now)), "2076-11-06T08:49:37Z");
    // And into the next century: from 2051 on, "00" is 2100.
    constexpr long long in2051 = 2556144000; // 2051-01-01
    constexpr long long in2099 = 4070908800; // 2099-01-01
    for (const auto& [date, when, read] :
         std::initializer_list<std::tuple<const char*, long long, const char*>>{
             {"Friday, 01-Jan-00 00:00:00 GMT", now, "2000-01-01T00:00:00Z"},
             {"Friday, 01-Jan-00 00:00:00 GMT", in2051, "2100-01-01T00:00:00Z"},
             {"Sunday, 01-Jan-51 00:00:00 GMT", in2051, "2051-01-01T00:00:00Z"},
             {"Friday, 01-Jan-00 00:00:00 GMT", in2099, "2100-01-01T00:00:00Z"},
             {"Sunday, 01-Jan-49 00:00:00 GMT", in2099, "2149-01-01T00:00:00Z"},
             {"Sunday, 01-Jan-50 00:00:00 GMT", in2099, "2050-01-01T00:00:00Z"}}) {
        EXPECT_EQ(utcText(httpDateSeconds(date, when)), read) << date << " " << when;
    }
    EXPECT_EQ(utcText(1961711999), "2032-02-29T23:59:59Z");
}

TEST(CheckSchedule, TheStartWaitsForTheWholeCheckOnlyWhereNothingCouldStartOrAQuestionMayFollow)
{
    constexpr long long now = 1796800000;
    const std::string s = "https://api.adoptium.net/x86";
    const std::string m = "https://mirror.example/x86";
    const char* const v = "8u482b08"; // remembered at t, a minute ago: "newer" than the installed one
    constexpr long long t = now - 60;
    using A = CheckAction;
    using W = StartWait;
    // A usable runtime, this service remembered with an answer newer than the installed one.
    const CheckFacts usable{.runtimeInstalled = true, .now = now, .service = s};
    const CheckFacts newer = with(usable, [&](CheckFacts& f) {
        f.lastCheck = t, f.lastVersion = v, f.lastVersionNewer = true, f.lastService = s;
    });
    const struct {
        const char* row;
        CheckFacts facts;
        CheckAction action;
        StartWait wait;
    } cases[] = {
        {"a usable runtime", usable, A::check, W::deadline},
        {"no runtime", with(usable, [](CheckFacts& f) { f.runtimeInstalled = false; }), A::check,
         W::wholeCheck},
        {"no javaw", with(usable, [](CheckFacts& f) { f.runtimeUsable = false; }), A::check, W::wholeCheck},
        {"newer", newer, A::check, W::wholeCheck},
        {"newer, a period", with(newer, [](CheckFacts& f) { f.periodMinutes = 60; }), A::check,
         W::wholeCheck},
        {"newer, withdrawn", with(newer, [](CheckFacts& f) { f.lastVersionWithdrawn = true; }), A::check,
         W::deadline},
        {"in use", with(newer, [](CheckFacts& f) { f.runtimeInUse = true; }), A::check, W::deadline},
        {"newer, another service", with(newer, [&](CheckFacts& f) { f.lastService = m; }), A::check,
         W::deadline},
        {"within the period",
         with(newer, [](CheckFacts& f) { f.periodMinutes = 60, f.lastVersionNewer = false; }), A::skipPeriod,
         W::none},
        {"switched off", with(newer, [](CheckFacts& f) { f.updateCheckOn = false; }), A::skipPolicy, W::none},
    };
    for (const auto& row : cases) {
        const CheckDecision decision = decideUpdateCheck(row.facts);
        EXPECT_EQ(decision.action, row.action) << row.row;
        EXPECT_EQ(decision.wait, row.wait) << row.row;
        // The last check of this service was late: where the deadline would apply, no wait at all;
        // another service's late check says nothing of this one.
        const CheckDecision late =
            decideUpdateCheck(with(row.facts, [&](CheckFacts& f) { f.lateService = s; }));
        EXPECT_EQ(late.wait, row.wait == W::deadline ? W::atOnce : row.wait) << row.row;
        EXPECT_EQ(decideUpdateCheck(with(row.facts, [&](CheckFacts& f) { f.lateService = m; })).wait,
                  row.wait);
    }
    // An answer is remembered within a period, after the start it came too late for, and where a
    // record of this service would otherwise go stale.
    EXPECT_TRUE(rememberAnswer(cases[8].facts, false));
    EXPECT_FALSE(rememberAnswer(cases[0].facts, false));
    EXPECT_TRUE(rememberAnswer(cases[0].facts, true));
    EXPECT_TRUE(rememberAnswer(cases[3].facts, false));
    EXPECT_FALSE(rememberAnswer(cases[7].facts, false));
    // A check that ends after the deadline was late, whether or not its start waited for it; one
    // in time clears what the last one left.
    for (const auto& [after, late] : std::initializer_list<std::pair<long long, bool>>{
             {0, false}, {999, false}, {1000, false}, {1001, true}, {7200, true}}) {
        EXPECT_EQ(missedStartDeadline(after, 1000), late) << after;
    }
    // A service that could not be reached is reported at most once a day.
    for (const auto& [last, reported] : std::initializer_list<std::pair<long long, bool>>{
             {0, true}, {now - 3600, false}, {now - 86399, false}, {now - 86400, true}, {now + 60, true}}) {
        EXPECT_EQ(reportUnreachable(now, last), reported) << last;
    }
}
