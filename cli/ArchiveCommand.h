// cartola-list --zip: an archive's entry table and the extraction of one entry.
#pragma once

#include "cli/CommandLine.h"

class QIODevice;

// The archive's entry table as the window's preview fills it, as text: the
// "Files: N" line, a header row unless headers are off, then one row per
// entry, cells separated by TAB, UTF-8 with LF line ends.
void RunZipListing(const TCliOptions &options, QIODevice &out);

// Extracts one entry below the --to folder as the window does for an opened
// entry, and writes the path it wrote, with a LF, to out.
void RunExtract(const TCliOptions &options, QIODevice &out);
