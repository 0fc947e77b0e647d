// The recursive listing of cartola-list: when it is asked for and how it runs.
#pragma once

#include "cli/CommandLine.h"

class QIODevice;

// Whether the listing needs the tree's engine: a recursive listing, or one
// asking for what only it offers (json, jsonl, --limit, --reverse).
bool UsesTreeListing(const TCliOptions &options);

// What the writers of a tree listing are told, heading the folder (or folders).
TExportOptions WriterOptions(const TCliOptions &options, const QString &heading);

// Lists the folders (absolute, checked) and, when asked, the folders below them, as one table;
// writes the sorted rows with the chosen writer. Returns the exit status:
// 1 when a folder below a top was left out, else 0.
int RunTreeListing(const TCliOptions &options, const QStringList &folders, QIODevice &out);
