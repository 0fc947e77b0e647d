#pragma once

#include <QCollator>
#include <QCollatorSortKey>
#include <QString>

#include <vector>

// The collator's keys of many texts, in their order. A long list is shared
// among threads, each with a collator of its own made like the one given.
std::vector<QCollatorSortKey> MakeSortKeys(const std::vector<QString> &texts, const QCollator &collator);
