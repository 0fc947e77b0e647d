// The detached process that keeps cartola-list's listing on the X11 clipboard.
#pragma once

#include <QString>

// The X11 clipboard lives in the program that owns it. So that the listing
// stays on it after cartola-list returns, a detached copy of the program
// takes the text and serves it until another program takes the clipboard
// (a clipboard manager that saves it does so at once).

// Starts the server with text and returns once it owns the clipboard;
// raises an error when it cannot.
void HandToClipboardServer(const QString &text);

// Whether this process was started as that server.
bool IsClipboardServer();

// The server's whole life: reads the text from standard input, takes the
// clipboard, tells its starter on descriptor 3, and serves until it loses it.
int RunClipboardServer(int argc, char *argv[]);
