// Opening a file through the desktop portal for sandboxed applications.
#pragma once

#include <QString>

#include <chrono>
#include <functional>

// A sandboxed application (snap, Flatpak) sees neither our temporary folders
// nor most of the user's files; the desktop portal hands it a file we opened.
enum class TPortalOutcome {
    Opened, // the portal reported that an application took the file
    Failed, // the portal refused, reported an error or never answered
    NoPortal, // nobody on the session bus offers the portal
};

// Hands a read-only descriptor of the regular file `path` to the portal and
// waits at most `timeout` for its answer, call and answer together. On the
// application's thread its event loop runs meanwhile.
TPortalOutcome PortalOpenFile(const QString &path, std::chrono::milliseconds timeout);

// Told true before the event loop runs to wait for the portal and false after,
// so a window can take its input away meanwhile; an empty one removes it.
void SetPortalWaitObserver(std::function<void(bool)> observer);
