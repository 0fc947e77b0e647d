// How far a folder scan has come, and the clock that paces its reports.
#pragma once

#include <cstdint>
#include <functional>

// How far a scan has come: `done` of `total` entries, total -1 while the
// folder's names are still being read.
using TScanProgressReport = std::function<void(int done, int total)>;
// Milliseconds from any fixed point; a test may let time pass faster.
using TScanClock = std::function<int64_t()>;

// Passes a scan's progress on a few times a second, once the scan has run for
// half a second: a quick scan reports nothing.
class TScanTicker
{
public:
    TScanTicker(TScanProgressReport report, TScanClock clock);

    void Tick(int done, int total);

    static constexpr int64_t kFirstAfterMs = 500;
    static constexpr int64_t kEveryMs = 200;

private:
    TScanProgressReport FReport;
    TScanClock FClock;
    int64_t FStart = 0;
    int64_t FNext = 0;
};
