#include "listing/TreeTableCells.h"

#include "listing/GridColumns.h"

#include <algorithm>
#include <cstring>

TTreeTableCells::TTreeTableCells(const TTreeListing &listing, const ITableCells &columns, bool fullPaths)
    : FListing(listing)
    , FColumns(columns)
    , FFullPaths(fullPaths)
{ }

void TTreeTableCells::Fill(size_t first, size_t count, TTreeListing::TTextCache &cache)
{
    Clear(FListing.Count() == 0);
    if (FListing.Count() == 0)
        return;
    count = std::min(count, FListing.Count() - std::min(first, FListing.Count()));
    FRows.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        FListing.Prefetch(first + i, first + count);
        const TTreeRow &row = FListing.Row(first + i);
        Add(row, FListing.FolderOf(row), cache);
    }
}

char16_t *TTreeTableCells::Reserve(size_t length)
{
    if (FUsed + length > FText.size())
        FText.resize(std::max(FText.size() * 2, FUsed + length + 4096));
    return FText.data() + FUsed;
}

TTreeTableCells::TSpan TTreeTableCells::Taken(size_t length)
{
    const TSpan span{uint32_t(FUsed), uint32_t(length)};
    FUsed += length;
    return span;
}

TTreeTableCells::TSpan TTreeTableCells::Append(QStringView text)
{
    const size_t length = size_t(text.size());
    if (length > 0) // an empty view may have no data at all
        std::memcpy(Reserve(length), text.utf16(), length * sizeof(char16_t));
    return Taken(length);
}

TTreeTableCells::TSpan TTreeTableCells::AppendName(const char *bytes)
{
    // Most names are ASCII: widened in place. Others take the decoding every
    // name takes (TTreeListing::Name), so the texts stay the same.
    size_t length = 0;
    unsigned char high = 0;
    for (; bytes[length]; ++length)
        high |= static_cast<unsigned char>(bytes[length]);
    if (high >= 0x80)
        return Append(QString::fromUtf8(bytes, qsizetype(length)));
    char16_t *out = Reserve(length);
    for (size_t i = 0; i < length; ++i)
        out[i] = char16_t(static_cast<unsigned char>(bytes[i]));
    return Taken(length);
}

void TTreeTableCells::Add(const TTreeRow &row, const TTreeFolder &folder, TTreeListing::TTextCache &cache)
{
    TRowTexts texts{};
    // Copied, so the writer reads each row's texts from one place.
    texts.Path = Append(folder.Path);
    texts.Name = AppendName(row.Name);
    // A name holds no "/": its extension starts at its last dot, wherever it is.
    const QStringView name(FText.data() + texts.Name.Offset, qsizetype(texts.Name.Length));
    const qsizetype dot = name.lastIndexOf(u'.');
    texts.NameCellLength =
        row.IsFolder || FListing.ShowsExtensions() || dot < 0 ? texts.Name.Length : uint32_t(dot);
    texts.ExtensionLength = row.IsFolder || dot < 0 ? 0 : texts.Name.Length - uint32_t(dot);
    if (FFullPaths) {
        Reserve(size_t(folder.Path.size()) + texts.Name.Length);
        texts.FullPath = Append(folder.Path);
        texts.FullPath.Length +=
            Append(QStringView(FText.data() + texts.Name.Offset, qsizetype(texts.Name.Length))).Length;
    }
    texts.Size = Append(FListing.SizeText(row, cache));
    texts.Modified = Append(FListing.ModifiedText(row, cache));
    FRows.push_back(texts);
    FEmptyRow = false;
}

void TTreeTableCells::Clear(bool emptyRow)
{
    FRows.clear();
    FUsed = 0;
    FEmptyRow = emptyRow;
}

QString TTreeTableCells::View(TSpan span) const
{
    if (span.Length == 0)
        return QString();
    return QString::fromRawData(
        reinterpret_cast<const QChar *>(FText.data() + span.Offset), qsizetype(span.Length));
}

QString TTreeTableCells::Cells(int col, int row) const
{
    if (col < 0 || col >= fcCount || row < 0 || size_t(row) >= FRows.size())
        return QString();
    const TRowTexts &texts = FRows[size_t(row)];
    switch (col) {
    case fcPathHolder:
        return View(texts.FullPath);
    case fcName:
        return View({texts.Name.Offset, texts.NameCellLength});
    case fcPath:
        return View(texts.Path);
    case fcSize:
        return View(texts.Size);
    case fcExtension:
        return View({texts.Name.Offset + texts.Name.Length - texts.ExtensionLength, texts.ExtensionLength});
    default:
        return View(texts.Modified);
    }
}
