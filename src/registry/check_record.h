// What the launcher remembers of its update checks, per user, so that administrators can have it
// ask the release service at most once a period, and so that it obeys the service's "wait".
// Kept under HKCU\Software\Marveth\KLV\Launcher, beside the record of failed installations.
#pragma once

#include <string>

// Times are whole seconds since 1970, UTC; 0 means none.
struct RememberedCheck {
    long long checkedAt = 0; // the last check the service answered with a version
    std::string version;     // the letter-form version it named, or what was installed since
    long long notBefore = 0; // the service asked its clients not to ask again before then
    std::string service;     // the service URL that both came from; empty: unknown
    // The service whose last check missed the start deadline; empty: none did.
    std::string lateService;
};

// The record, each part empty (0) when it is missing or holds anything but what the launcher
// writes: a time as a REG_QWORD, a letter-form version.
RememberedCheck readRememberedCheck();

// An answered check of service at checkedAt that named version; a service's wait is over.
void rememberCheck(long long checkedAt, const std::string& version, const std::string& service);

// service asked to wait until notBefore. What another service answered before is forgotten.
void rememberServiceWait(long long notBefore, const std::string& service);

// Whether the last check of service missed the start deadline: remembered where it did, forgotten
// where it answered in time.
void rememberLateCheck(const std::string& service, bool late);

// When the launcher last wrote into the Event Log that the service could not be reached; 0: never.
long long readUnreachableReported();
void rememberUnreachableReported(long long reportedAt);

// After a successful installation of version: the remembered answer, where there is one, is it.
void rememberInstalledVersion(const std::string& version);
