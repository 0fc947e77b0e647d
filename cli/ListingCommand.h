// cartola-list's folder listing: scan, sort and one export.
#pragma once

#include "cli/CommandLine.h"

class QIODevice;
class TGridTable;

// Scans the folder as the window's scan does, sorts and merges it as the
// window does, and writes the listing with the chosen writer: to the output
// file, else to out. A folder that does not exist or is no folder raises
// EUsageError before anything is written.
// Returns the exit status: 1 when folders below a recursive listing's top
// were left out.
int RunListing(const TCliOptions &options, QIODevice &out);

// Writes the display table with the chosen writer (not json or jsonl).
void WriteListing(const TCliOptions &o, const TGridTable &sgFiles, const QString &folder, QIODevice &out);
