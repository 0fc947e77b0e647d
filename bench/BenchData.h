// Deterministic data the benchmarks generate and share.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// Data the benchmarks share: deterministic, so two runs measure the same work.

// File names as a listing holds them: mixed case, accents, dots, digits and
// repeats; none begins with ".".
std::vector<QString> GeneratedNames(int count, uint32_t seed = 1);

// The folder below the build folder that generated data goes to.
QString BenchDataDir();

// A folder of `count` files named after GeneratedNames (made unique, one in
// fifty hidden), 0 to 512 bytes each, with deterministic times. Made once;
// later calls reuse it.
QString GeneratedFolder(int count);

constexpr int kTreeFiles = 1000000;
constexpr int kTreeFolders = 50000;

// A tree of kTreeFiles files in kTreeFolders folders below 50 first-level
// folders, three levels deep, named as GeneratedNames names files; sizes up
// to 1 MiB held sparse, so the tree costs inodes, not disk. Made once.
QString GeneratedTree();

// Word-like text: short common words, spaces, a line break every twelve words.
QByteArray WordText(qsizetype size);

// GeneratedNames(count), one per line in UTF-8: the same names for a peer to sort.
QString GeneratedNamesFile(int count);

constexpr int kManyEntries = 65535;
constexpr qsizetype kBigEntrySize = qsizetype(200) << 20;

// The largest entry count the format holds, each entry a few deflated words.
QString GeneratedManyEntriesArchive();

// Entry 0 "deflated.txt" and entry 1 "stored.txt": the same 200 MiB of WordText.
QString GeneratedBigArchive();
