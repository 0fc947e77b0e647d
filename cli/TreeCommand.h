// The recursive listing of cartola-list: when it is asked for and how it runs.
#pragma once

#include "cli/CommandLine.h"

class QIODevice;

// Whether the listing needs the tree's engine: a recursive listing, or one
// asking for what only it offers (json, jsonl, --limit, --reverse).
bool UsesTreeListing(const TCliOptions &options);

// Lists folder (absolute, checked) and, when asked, the folders below it;
// writes the sorted rows with the chosen writer. Returns the exit status:
// 1 when a folder below the top was left out, else 0.
int RunTreeListing(const TCliOptions &options, const QString &folder, QIODevice &out);
