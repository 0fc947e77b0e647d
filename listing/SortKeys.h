// Collation keys and ranks of many texts, made on several threads.
#pragma once

#include <QCollator>
#include <QCollatorSortKey>
#include <QString>

#include <cstdint>
#include <vector>

// The collator's keys of many texts, in their order. A long list is shared
// among threads, each with a collator of its own made like the one given.
std::vector<QCollatorSortKey> MakeSortKeys(const std::vector<QString> &texts, const QCollator &collator);

// Each text's place among the distinct keys of all texts: texts whose keys
// compare equal share a rank, and ranks order as the keys do. An empty text
// ranks 0, below every other (the collator answers that without its keys).
// A sort that compares ranks meets exactly the verdicts it would comparing
// keys, so it gives the same order, and numbers are far cheaper to compare.
std::vector<uint32_t> SortKeyRanks(const std::vector<QString> &texts, const QCollator &collator);
