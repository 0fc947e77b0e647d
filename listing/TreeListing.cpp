#include "listing/TreeListing.h"

#include "fileutils/FileUtils.h"
#include "listing/DisplayTable.h"
#include "listing/GridColumns.h"
#include "listing/StringGridSort.h"
#include "platform/FloatFormat.h"

#include <QCollatorSortKey>
#include <QFile>

#include <algorithm>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_map>

namespace {

enum class TKey { kName, kPathName, kSize, kExtension, kModified, kNone };

// The keys of the sort choices 0 Name, 1 Path, 2 Size, 3 Extension, 4 Last modified.
TKey KeyOf(int choice, bool folders, bool totals = false)
{
    switch (choice) {
    case 0:
        return TKey::kName;
    case 1:
        return TKey::kPathName;
    case 2:
        return folders && !totals ? TKey::kName : TKey::kSize;
    case 3:
        return folders ? TKey::kName : TKey::kExtension;
    case 4:
        return TKey::kModified;
    default:
        return TKey::kNone;
    }
}

size_t SortThreads()
{
    return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
}

// Runs work(begin, end) over 0..count in slices on the cores.
template <typename Work> void InSlices(size_t count, Work work)
{
    const size_t threads = SortThreads();
    if (count < 4096 || threads == 1) {
        work(size_t(0), count);
        return;
    }
    const size_t slice = (count + threads - 1) / threads;
    std::vector<std::thread> running;
    for (size_t begin = 0; begin < count; begin += slice)
        running.emplace_back(work, begin, std::min(count, begin + slice));
    for (std::thread &t : running)
        t.join();
}

// Collation keys where they agree with the collator (see StringSortOrder),
// else the texts themselves for the collator to compare.
class TTextKeys
{
public:
    TTextKeys(size_t count, bool direct)
        : FDirect(direct)
        , FEmpty(count)
    {
        if (direct)
            FTexts.resize(count);
        else
            FKeys.resize(count);
    }
    bool Direct() const { return FDirect; }
    void Set(size_t i, const QString &text, const QCollator &collator)
    {
        FEmpty[i] = text.isEmpty();
        if (FDirect)
            FTexts[i] = text;
        else
            FKeys[i].emplace(collator.sortKey(text));
    }
    int Compare(size_t a, size_t b, const TTextComparer &comparer) const
    {
        if (FDirect)
            return comparer.Compare(FTexts[a], FTexts[b]);
        if (FEmpty[a] || FEmpty[b])
            return FEmpty[a] == FEmpty[b] ? 0 : (FEmpty[a] ? -1 : 1);
        return FKeys[a]->compare(*FKeys[b]);
    }

private:
    bool FDirect;
    // One byte each: slice threads set neighbouring flags at once.
    std::vector<char> FEmpty;
    std::vector<QString> FTexts;
    std::vector<std::optional<QCollatorSortKey>> FKeys;
};

std::vector<uint32_t> Ordered(const std::vector<uint32_t> &group, const std::vector<int> &order)
{
    std::vector<uint32_t> sorted(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        sorted[i] = group[size_t(order[i])];
    return sorted;
}

int Sign(double a, double b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

double ShownDateTime(const TTreeRow &row, int offsetSeconds, QChar separator)
{
    const double value = row.Exists ? UnixMillisecondsToDateTime(row.ModifiedMs, offsetSeconds) : 0;
    // The listing sorts and shows the date its 15-digit text gives back.
    return TryStrToFloat(DaySerialText(value, separator), separator).value_or(value);
}

TTreeListing::TTreeListing(const TTreeWalk &walk)
    : FWalk(walk)
    , FSeparator(walk.Options().Scan.DecimalSeparator)
{
    FOrder.resize(walk.Rows().size());
    for (size_t i = 0; i < FOrder.size(); ++i)
        FOrder[i] = uint32_t(i);
}

void TTreeListing::Prefetch(size_t position, size_t end) const
{
    // Sorted rows lie all over the walk's memory, and their names and folders
    // further still: each is fetched a few rows ahead, so the wait is not
    // paid per row.
    constexpr size_t kRowsAhead = 16;
    constexpr size_t kNamesAhead = 8;
    constexpr size_t kPathsAhead = 4;
    if (position + kRowsAhead < end)
        __builtin_prefetch(&Row(position + kRowsAhead));
    if (position + kNamesAhead < end) {
        const TTreeRow &ahead = Row(position + kNamesAhead);
        __builtin_prefetch(ahead.Name);
        __builtin_prefetch(&FolderOf(ahead).Path);
    }
    if (position + kPathsAhead < end)
        __builtin_prefetch(FolderOf(Row(position + kPathsAhead)).Path.constData());
}

QString TTreeListing::Name(const TTreeRow &row) const
{
    // The file system's bytes as the scan decodes them (Qt takes them as UTF-8).
    return QString::fromUtf8(row.Name);
}

QString TTreeListing::NameCell(const TTreeRow &row) const
{
    return NameCell(row, Name(row));
}

QString TTreeListing::NameCell(const TTreeRow &row, const QString &name) const
{
    return row.IsFolder || FWalk.Options().Scan.ShowExtensions ? name : NameWithoutExtension(name);
}

TTreeListing::TTextCache::TTextCache()
    : FSizeSeparator(DecimalSeparator())
    , FSizes(4096)
    , FModified(4096)
{ }

QString TTreeListing::SizeText(const TTreeRow &row, TTextCache &cache) const
{
    if (row.IsFolder && !row.SizeIsTotal)
        return QString();
    // Sizes repeat in a big tree, but not all: a few recent texts are kept.
    TTextCache::TText &slot = cache.FSizes[size_t(row.Size) % cache.FSizes.size()];
    if (slot.Text.isNull() || slot.Value != row.Size) {
        slot.Value = row.Size;
        slot.Text = FormatFileSize(row.Size, cache.FSizeSeparator);
    }
    return slot.Text;
}

QString TTreeListing::ModifiedText(const TTreeRow &row, TTextCache &cache) const
{
    const auto text = [&](double value) {
        return LastModifiedDisplayText(DaySerialText(value, FSeparator), FSeparator, cache.FDates);
    };
    if (!row.Exists)
        return text(0);
    TTextCache::TText &slot = cache.FModified[size_t(uint64_t(row.ModifiedMs) % cache.FModified.size())];
    if (slot.Text.isNull() || slot.Value != row.ModifiedMs) {
        slot.Value = row.ModifiedMs;
        slot.Text = LastModifiedDisplayText(row.ModifiedMs, OffsetSeconds(), FSeparator, cache.FDates);
    }
    return slot.Text;
}

std::vector<uint32_t> TTreeListing::FolderRanks() const
{
    const size_t count = FWalk.FolderCount();
    std::vector<uint32_t> byPath(count);
    for (size_t i = 0; i < count; ++i)
        byPath[i] = uint32_t(i);
    const TTextComparer comparer(UserLocale());
    TTextKeys keys(count, comparer.Collator().locale().language() == QLocale::C);
    InSlices(count, [&](size_t begin, size_t end) {
        const TTextComparer own(UserLocale()); // a collator is not shared between threads
        for (size_t i = begin; i < end; ++i)
            keys.Set(i, FWalk.Folder(uint32_t(i)).Path, own.Collator());
    });
    // Equal paths (they differ in case only) keep their byte order.
    std::stable_sort(byPath.begin(), byPath.end(), [&](uint32_t a, uint32_t b) {
        return keys.Compare(a, b, comparer) < 0;
    });
    std::vector<uint32_t> rank(count);
    for (size_t i = 0; i < count; ++i)
        rank[byPath[i]] = uint32_t(i);
    return rank;
}

std::vector<uint32_t> TTreeListing::SortGroup(
    std::vector<uint32_t> group, int choice, bool folders, const std::vector<uint32_t> &rank) const
{
    const TKey key = KeyOf(choice, folders, FWalk.Options().FolderSizes);
    if (key == TKey::kNone || group.size() < 2)
        return group;
    const std::vector<TTreeRow> &rows = FWalk.Rows();
    const size_t n = group.size();
    const TTextComparer comparer(UserLocale());
    const bool direct = comparer.Collator().locale().language() == QLocale::C;

    // Text keys become ranks: names repeat across a tree, so each text is
    // collated once, and the sort compares numbers that order as the texts do.
    std::vector<uint32_t> textRanks;
    std::vector<double> numbers;
    if (key == TKey::kName || key == TKey::kPathName || key == TKey::kExtension) {
        const bool extension = key == TKey::kExtension;
        // Found by the name's bytes, decoded once per distinct text. Bytes
        // that differ and decode alike collate alike, and so share a rank.
        std::unordered_map<std::string_view, uint32_t> ids;
        std::vector<QString> distinct;
        std::vector<uint32_t> textIds(n);
        const bool showExtensions = ShowsExtensions();
        for (size_t i = 0; i < n; ++i) {
            const TTreeRow &row = rows[group[i]];
            const std::string_view name(row.Name);
            // A name holds no "/": its extension starts at its last dot.
            const size_t dot = name.rfind('.');
            std::string_view text = name;
            if (extension)
                text = dot == std::string_view::npos ? std::string_view() : name.substr(dot);
            else if (!row.IsFolder && !showExtensions && dot != std::string_view::npos)
                text = name.substr(0, dot);
            const auto [known, added] = ids.try_emplace(text, uint32_t(distinct.size()));
            if (added)
                distinct.push_back(QString::fromUtf8(text.data(), qsizetype(text.size())));
            textIds[i] = known->second;
        }
        ids.clear();
        TTextKeys keys(distinct.size(), direct);
        InSlices(distinct.size(), [&](size_t begin, size_t end) {
            const TTextComparer own(UserLocale()); // a collator is not shared between threads
            for (size_t i = begin; i < end; ++i)
                keys.Set(i, distinct[i], own.Collator());
        });
        std::vector<uint32_t> byText(distinct.size());
        for (size_t i = 0; i < byText.size(); ++i)
            byText[i] = uint32_t(i);
        std::sort(byText.begin(), byText.end(), [&](uint32_t a, uint32_t b) {
            return keys.Compare(a, b, comparer) < 0;
        });
        // Texts that collate equal share a rank.
        std::vector<uint32_t> rankOfText(distinct.size());
        for (size_t k = 1; k < byText.size(); ++k)
            rankOfText[byText[k]] =
                rankOfText[byText[k - 1]] + (keys.Compare(byText[k - 1], byText[k], comparer) != 0 ? 1 : 0);
        textRanks.resize(n);
        for (size_t i = 0; i < n; ++i)
            textRanks[i] = rankOfText[textIds[i]];
    } else {
        numbers.resize(n);
        const int offset = FWalk.OffsetSeconds();
        InSlices(n, [&](size_t begin, size_t end) {
            for (size_t i = begin; i < end; ++i) {
                const TTreeRow &row = rows[group[i]];
                numbers[i] = key == TKey::kSize ? double(row.Size) : ShownDateTime(row, offset, FSeparator);
            }
        });
    }
    if (key == TKey::kSize) // sizes past 2^53 do not fit a double
        for (size_t i = 0; i < n; ++i)
            numbers[i] = double(rows[group[i]].Size);

    // Text orders compare one number each: the keys packed as the comparison
    // below takes them, the folder's rank deciding ties.
    if (!textRanks.empty()) {
        std::vector<uint64_t> packed(n);
        for (size_t i = 0; i < n; ++i) {
            const uint64_t folder = rank[rows[group[i]].Folder];
            packed[i] =
                key == TKey::kPathName ? folder << 32 | textRanks[i] : uint64_t(textRanks[i]) << 32 | folder;
        }
        return Ordered(group,
            QuickSortOrder(
                int(n),
                [&packed](int a, int b) {
                    const uint64_t ka = packed[size_t(a)];
                    const uint64_t kb = packed[size_t(b)];
                    return ka < kb ? -1 : (ka > kb ? 1 : 0);
                },
                int(SortThreads())));
    }
    return Ordered(group, QuickSortOrder(int(n), [&](int a, int b) {
        const TTreeRow &ra = rows[group[size_t(a)]];
        const TTreeRow &rb = rows[group[size_t(b)]];
        int c = 0;
        if (key == TKey::kSize) {
            // A folder without a total (a link, a folder not read) is the smallest.
            const int64_t sa = ra.IsFolder && !ra.SizeIsTotal ? -1 : ra.Size;
            const int64_t sb = rb.IsFolder && !rb.SizeIsTotal ? -1 : rb.Size;
            c = sa < sb ? -1 : (sa > sb ? 1 : 0);
        } else {
            c = Sign(numbers[size_t(a)], numbers[size_t(b)]);
        }
        // Within one folder ties stay ties, as in the folder's own listing.
        return c != 0 ? c : Sign(rank[ra.Folder], rank[rb.Folder]);
    }));
}

void TTreeListing::Sort(int choice)
{
    const std::vector<TTreeRow> &rows = FWalk.Rows();
    std::vector<uint32_t> folders;
    std::vector<uint32_t> files;
    for (uint32_t i = 0; i < rows.size(); ++i)
        (rows[i].IsFolder ? folders : files).push_back(i);
    if (KeyOf(choice, false) != TKey::kNone) {
        const std::vector<uint32_t> rank = FolderRanks();
        folders = SortGroup(std::move(folders), choice, true, rank);
        files = SortGroup(std::move(files), choice, false, rank);
    }
    FOrder = std::move(folders);
    FOrder.insert(FOrder.end(), files.begin(), files.end());
}

void TTreeListing::Reverse()
{
    if (!FWalk.Options().FolderSizes) {
        std::reverse(FOrder.begin(), FOrder.end());
        return;
    }
    // With totals the biggest folders come first, and folders still before files.
    const auto files = std::find_if(FOrder.begin(), FOrder.end(), [this](uint32_t i) {
        return !FWalk.Rows()[i].IsFolder;
    });
    std::reverse(FOrder.begin(), files);
    std::reverse(files, FOrder.end());
}

void TTreeListing::Limit(int64_t count)
{
    if (count >= 0 && size_t(count) < FOrder.size()) {
        FOrder.resize(size_t(count));
        FOrder.shrink_to_fit();
    }
}

void TTreeListing::FillDisplayTable(
    size_t first, size_t count, TGridTable &sgFiles, bool fullPaths, TTextCache &cache) const
{
    ClearGrid(sgFiles);
    if (Count() == 0)
        return;
    count = std::min(count, Count() - std::min(first, Count()));
    sgFiles.SetRowCount(int(count));
    for (size_t i = 0; i < count; ++i) {
        const TTreeRow &row = Row(first + i);
        SetRowCells(sgFiles, int(i), row, FolderOf(row), fullPaths, cache);
    }
}

void TTreeListing::SetRowCells(TGridTable &sgFiles,
    int r,
    const TTreeRow &row,
    const TTreeFolder &folder,
    bool fullPaths,
    TTextCache &cache) const
{
    const QString name = Name(row);
    if (fullPaths)
        sgFiles.SetCells(fcPathHolder, r, folder.Path + name);
    sgFiles.SetCells(fcName, r, NameCell(row, name));
    sgFiles.SetCells(fcPath, r, folder.Path);
    sgFiles.SetCells(fcSize, r, SizeText(row, cache));
    if (!row.IsFolder)
        sgFiles.SetCells(fcExtension, r, ExtractExtension(name));
    sgFiles.SetCells(fcLastModified, r, ModifiedText(row, cache));
}
