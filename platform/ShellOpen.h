// Opening files and links with their associated applications.
#pragma once

#include <QString>

// Opens a file, folder or link with the desktop's associated application.
// Tests replace the service with a recorder so nothing is ever launched.
class IShellOpener
{
public:
    virtual ~IShellOpener() = default;
    // true when an application was launched for the item.
    virtual bool Open(const QString &item) = 0;
};

// A local path becomes a file: URI; anything with a scheme (https:, mailto:) passes as is.
bool ShellOpen(const QString &item);

// Installs a replacement (nullptr restores the desktop's service); not owned.
void SetShellOpener(IShellOpener *opener);
