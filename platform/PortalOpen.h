// Opening a file through the desktop portal for sandboxed applications.
#pragma once

#include <QString>

#include <chrono>

// A sandboxed application (snap, Flatpak) sees neither our temporary folders
// nor most of the user's files; the desktop portal hands it a file we opened.
enum class TPortalOutcome {
    Opened, // the portal reported that an application took the file
    Failed, // the portal refused, reported an error or never answered
    NoPortal, // nobody on the session bus offers the portal
};

// Hands a read-only descriptor of the regular file `path` to the portal and
// waits at most `timeout` for its answer.
TPortalOutcome PortalOpenFile(const QString &path, std::chrono::milliseconds timeout);
