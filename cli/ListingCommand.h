// cartola-list's folder listing: scan, sort and one export.
#pragma once

#include "cli/CommandLine.h"

class QIODevice;

// Scans the folder as the window's scan does, sorts and merges it as the
// window does, and writes the listing with the chosen writer: to the output
// file, else to out. A folder that does not exist or is no folder raises
// EUsageError before anything is written.
void RunListing(const TCliOptions &options, QIODevice &out);
