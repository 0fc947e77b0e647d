// What a recursive listing reports on standard error while it walks.
#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class TTreeWalk;

// Set in the environment, the progress line on a terminal shows from the
// start instead of after a moment, so a test sees it on a small folder.
constexpr const char *kProgressAtOnceVariable = "CARTOLA_LIST_PROGRESS_AT_ONCE";
bool ProgressAtOnce();

// What a recursive listing says on standard error while it walks: the
// folders left out, as they are met, and on a terminal a line of how far the
// walk has come, rewritten in place and wiped at the end.
class TTreeProgress
{
public:
    TTreeProgress(const TTreeWalk &walk, bool showProgress);
    ~TTreeProgress();
    TTreeProgress(const TTreeProgress &) = delete;
    TTreeProgress &operator=(const TTreeProgress &) = delete;

    // "cartola-list: PATH: message"; from any thread.
    void Error(const QString &folder, const QString &message);
    bool Failed() const { return FFailed.load(); }
    // Wipes the progress line for good.
    void Stop();

private:
    void Run();
    void Paint();
    void Wipe();

    const TTreeWalk &FWalk;
    bool FShow;
    std::mutex FMutex; // one writer of standard error at a time
    std::condition_variable FWake;
    bool FStopped = false;
    bool FLineShown = false;
    std::atomic<bool> FFailed{false};
    std::thread FThread;
};
