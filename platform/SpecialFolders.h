// The user's special folders and process data.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// The user's private temporary folder, with a trailing "/": created with mode
// 0700 when missing, refused ("File access denied") unless it is a real folder
// owned by the user, so another local user cannot plant files or links in it.
QString UserTempDir();

// $XDG_CONFIG_HOME, else ~/.config; empty when neither can be told.
QString AppDataDir();

// The running executable's full path.
QString ExecutablePath();

// Milliseconds since boot.
uint64_t TickCountMs();

// An environment variable's value; empty when unset.
QString EnvironmentVariable(const char *name);
bool EnvironmentVariableIsSet(const char *name);

// The mounted file systems that are ready, "/" first, as their mount paths.
QStringList LogicalDrives();
