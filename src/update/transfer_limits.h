// The download's figures: what the progress window shows, and the largest installer accepted.
// No platform header: the arithmetic is tested at its limits under the sanitizers.
#pragma once

// Today's installers are about 40 MB; nothing the service sends is run past this size, and no
// body may fill a disk.
constexpr unsigned long long largestInstallerBytes = 1ULL << 30U;

// The bytes of the whole installer received and expected, counting an earlier attempt's.
struct TransferFigures {
    unsigned long long received = 0;
    unsigned long long total = 0; // 0 while unknown
};

// From libcurl's figures for this attempt (negative ones count as 0) and offset, the bytes that
// earlier attempts wrote. Sums that would pass the largest value stop there: a declared length
// of any size never wraps round.
TransferFigures transferFigures(long long offset, long long attemptReceived, long long attemptTotal);

// True when bytes (received, or declared as the total) are more than an installer can be.
bool pastLargestInstaller(unsigned long long bytes);
