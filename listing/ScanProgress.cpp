#include "listing/ScanProgress.h"

#include <chrono>

TScanTicker::TScanTicker(TScanProgressReport report, TScanClock clock)
    : FReport(std::move(report))
    , FClock(std::move(clock))
{
    if (!FReport)
        return;
    if (!FClock)
        FClock = [] {
            return int64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now().time_since_epoch())
                               .count());
        };
    FStart = FClock();
    FNext = FStart + kFirstAfterMs;
}

void TScanTicker::Tick(int done, int total)
{
    if (!FReport)
        return;
    const int64_t now = FClock();
    if (now < FNext)
        return;
    FNext = now + kEveryMs;
    FReport(done, total);
}
