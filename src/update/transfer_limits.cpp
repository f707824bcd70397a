// Saturating sums of the download's byte counts.
#include "transfer_limits.h"

#include <limits>

namespace {

unsigned long long notNegative(long long value)
{
    return value > 0 ? static_cast<unsigned long long>(value) : 0;
}

unsigned long long saturatingSum(unsigned long long a, unsigned long long b)
{
    return b > std::numeric_limits<unsigned long long>::max() - a
               ? std::numeric_limits<unsigned long long>::max()
               : a + b;
}

} // namespace

TransferFigures transferFigures(long long offset, long long attemptReceived, long long attemptTotal)
{
    TransferFigures figures;
    figures.received = saturatingSum(notNegative(offset), notNegative(attemptReceived));
    figures.total = attemptTotal > 0 ? saturatingSum(notNegative(offset), notNegative(attemptTotal)) : 0;
    return figures;
}

bool pastLargestInstaller(unsigned long long bytes)
{
    return bytes > largestInstallerBytes;
}
