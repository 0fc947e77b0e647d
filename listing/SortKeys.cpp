#include "listing/SortKeys.h"

#include <algorithm>
#include <iterator>
#include <system_error>
#include <thread>

namespace {

// Below this a thread costs more than it saves.
constexpr size_t kParallelFrom = 32768;
constexpr unsigned kMaxThreads = 4;

unsigned PartsFor(size_t count)
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return count < kParallelFrom ? 1 : std::min(cores, kMaxThreads);
}

// Runs work(part) for each part, the first on the calling thread, the others
// on threads of their own where they can be started.
template <typename Work> void InParts(unsigned parts, Work work)
{
    std::vector<std::jthread> helpers;
    unsigned done = 0; // the parts below this are the calling thread's
    for (unsigned p = parts - 1; p > 0; --p) {
        try {
            helpers.emplace_back(work, p);
        } catch (const std::system_error &) {
            done = p + 1;
            break;
        }
    }
    for (unsigned p = 0; p < std::max(done, 1u); ++p)
        work(p);
}

void AppendKeys(const std::vector<QString> &texts,
    size_t first,
    size_t last,
    const QCollator &collator,
    std::vector<QCollatorSortKey> &keys)
{
    keys.reserve(last - first);
    for (size_t i = first; i < last; ++i)
        keys.push_back(collator.sortKey(texts[i]));
}

} // namespace

std::vector<QCollatorSortKey> MakeSortKeys(const std::vector<QString> &texts, const QCollator &collator)
{
    const size_t count = texts.size();
    const unsigned parts = PartsFor(count);
    std::vector<std::vector<QCollatorSortKey>> keys(parts);
    // ICU is not asked to share one collator among threads.
    std::vector<QCollator> collators;
    collators.reserve(parts);
    collators.push_back(collator);
    for (unsigned p = 1; p < parts; ++p) {
        QCollator &own = collators.emplace_back(collator.locale());
        own.setCaseSensitivity(collator.caseSensitivity());
        own.setNumericMode(collator.numericMode());
        own.setIgnorePunctuation(collator.ignorePunctuation());
    }
    InParts(parts, [&](unsigned p) {
        AppendKeys(texts, count * p / parts, count * (p + 1) / parts, collators[p], keys[p]);
    });
    std::vector<QCollatorSortKey> all;
    all.reserve(count);
    for (std::vector<QCollatorSortKey> &part : keys) {
        std::move(part.begin(), part.end(), std::back_inserter(all));
        std::vector<QCollatorSortKey>().swap(part);
    }
    return all;
}

std::vector<uint32_t> SortKeyRanks(const std::vector<QString> &texts, const QCollator &collator)
{
    const std::vector<QCollatorSortKey> keys = MakeSortKeys(texts, collator);
    std::vector<uint32_t> byKey;
    byKey.reserve(texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        if (!texts[i].isEmpty())
            byKey.push_back(uint32_t(i));
    const auto less = [&keys](uint32_t a, uint32_t b) {
        return keys[a].compare(keys[b]) < 0;
    };
    // Sorted in parts on the cores, then merged: keys are bytes, so any
    // correct sort gives one and the same sequence of distinct keys.
    const unsigned parts = PartsFor(byKey.size());
    std::vector<size_t> bounds(parts + 1);
    for (unsigned p = 0; p <= parts; ++p)
        bounds[p] = byKey.size() * p / parts;
    InParts(parts, [&](unsigned p) {
        std::sort(
            byKey.begin() + std::ptrdiff_t(bounds[p]), byKey.begin() + std::ptrdiff_t(bounds[p + 1]), less);
    });
    for (unsigned width = 1; width < parts; width *= 2)
        for (unsigned p = 0; p + width < parts; p += 2 * width)
            std::inplace_merge(byKey.begin() + std::ptrdiff_t(bounds[p]),
                byKey.begin() + std::ptrdiff_t(bounds[p + width]),
                byKey.begin() + std::ptrdiff_t(bounds[std::min(parts, p + 2 * width)]),
                less);

    std::vector<uint32_t> ranks(texts.size(), 0);
    uint32_t rank = 0;
    for (size_t k = 0; k < byKey.size(); ++k) {
        if (k == 0 || keys[byKey[k - 1]].compare(keys[byKey[k]]) != 0)
            ++rank;
        ranks[byKey[k]] = rank;
    }
    return ranks;
}
