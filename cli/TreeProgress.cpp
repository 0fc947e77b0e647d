#include "cli/TreeProgress.h"

#include "cli/TerminalText.h"
#include "listing/TreeWalk.h"
#include "platform/Errors.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

bool ProgressAtOnce()
{
    const char *value = std::getenv(kProgressAtOnceVariable);
    return value && *value;
}

TTreeProgress::TTreeProgress(const TTreeWalk &walk, bool showProgress)
    : FWalk(walk)
    , FShow(showProgress)
{
    if (!FShow)
        return;
    if (ProgressAtOnce())
        Paint();
    FThread = std::thread([this] {
        Run();
    });
}

TTreeProgress::~TTreeProgress()
{
    Stop();
}

void TTreeProgress::Error(const QString &folder, const QString &message)
{
    FFailed = true;
    const QByteArray text =
        ShownOnStderr(QStringLiteral("cartola-list: %1: %2\n").arg(folder, ErrorDisplayText(message)));
    const std::lock_guard lock(FMutex);
    Wipe();
    std::fputs(text.constData(), stderr);
    std::fflush(stderr);
}

void TTreeProgress::Stop()
{
    {
        const std::lock_guard lock(FMutex);
        if (FStopped)
            return;
        FStopped = true;
        Wipe();
    }
    FWake.notify_all();
    if (FThread.joinable())
        FThread.join();
}

void TTreeProgress::Run()
{
    std::unique_lock lock(FMutex);
    // A short walk finishes before the first line would show.
    while (!FWake.wait_for(lock, std::chrono::milliseconds(250), [this] {
        return FStopped;
    }))
        Paint();
}

void TTreeProgress::Paint()
{
    std::fprintf(stderr,
        "\rcartola-list: %lld folders read, %lld rows\033[K",
        static_cast<long long>(FWalk.FoldersRead()),
        static_cast<long long>(FWalk.RowsFound()));
    std::fflush(stderr);
    FLineShown = true;
}

void TTreeProgress::Wipe()
{
    if (FLineShown) {
        std::fputs("\r\033[K", stderr);
        FLineShown = false;
    }
}
