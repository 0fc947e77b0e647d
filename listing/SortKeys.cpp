#include "listing/SortKeys.h"

#include <algorithm>
#include <iterator>
#include <system_error>
#include <thread>

namespace {

// Below this a thread costs more than it saves.
constexpr size_t kParallelFrom = 32768;
constexpr unsigned kMaxThreads = 4;

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
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t parts = count < kParallelFrom ? 1 : std::min(cores, kMaxThreads);
    std::vector<std::vector<QCollatorSortKey>> keys(parts);
    std::vector<QCollator> collators;
    collators.reserve(parts);
    std::vector<std::jthread> helpers;
    size_t done = 0; // the parts below this are the calling thread's
    for (size_t p = parts - 1; p > 0; --p) {
        // ICU is not asked to share one collator among threads.
        QCollator &own = collators.emplace_back(collator.locale());
        own.setCaseSensitivity(collator.caseSensitivity());
        own.setNumericMode(collator.numericMode());
        own.setIgnorePunctuation(collator.ignorePunctuation());
        try {
            helpers.emplace_back([&texts, &own, &part = keys[p], p, parts, count] {
                AppendKeys(texts, count * p / parts, count * (p + 1) / parts, own, part);
            });
        } catch (const std::system_error &) {
            done = p + 1;
            break;
        }
    }
    // The calling thread takes the first part and any part no thread could be started for.
    for (size_t p = 0; p < std::max<size_t>(done, 1); ++p)
        AppendKeys(texts, count * p / parts, count * (p + 1) / parts, collator, keys[p]);
    helpers.clear();
    std::vector<QCollatorSortKey> all;
    all.reserve(count);
    for (std::vector<QCollatorSortKey> &part : keys) {
        std::move(part.begin(), part.end(), std::back_inserter(all));
        std::vector<QCollatorSortKey>().swap(part);
    }
    return all;
}
