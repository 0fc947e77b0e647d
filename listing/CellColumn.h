// The compact cell store of one grid column.
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

// The cells of one grid column in one 64-bit word per row. A word holds a
// number in disguise itself (a run of digits such as a padded size, or a
// decimal fraction such as a day serial), or points into an arena of UTF-16
// text after a prefix it shares with the column's first text (a folder path
// repeated on every row costs no text at all). What fits none of these is a
// QString of its own. Every read gives back exactly the text written.
class TCellColumn
{
public:
    TCellColumn() = default;
    TCellColumn(const TCellColumn &other);
    TCellColumn &operator=(const TCellColumn &other);
    TCellColumn(TCellColumn &&) noexcept = default;
    TCellColumn &operator=(TCellColumn &&) noexcept = default;

    size_t Size() const { return FWords.size(); }
    void Resize(size_t rows);
    void Reserve(size_t rows) { FWords.reserve(rows); }
    // Gives back the room kept for more rows and more text.
    void Compact();

    QString Text(size_t row) const;
    // The text in place when it is in one piece, else put together in scratch.
    QStringView View(size_t row, QString &scratch) const;
    void SetText(size_t row, QStringView text);

    // Row r takes the cell of old row order[r]; the caller checked the permutation.
    void Permute(const std::vector<int> &order);

private:
    uint64_t Encode(QStringView text);
    bool EncodeDigits(QStringView text, uint64_t &word) const;
    bool EncodeDecimal(QStringView text, uint64_t &word);
    uint64_t EncodeText(QStringView text);
    QStringView Decode(uint64_t word, QString &scratch) const;
    const char16_t *Suffix(uint64_t word) const;
    char16_t *Append(QStringView text, uint64_t &place);
    uint64_t *InternSlot(QStringView text, size_t hash);
    void Release(uint64_t word);
    void Reset();
    void Rebuild();

    std::vector<uint64_t> FWords; // one per row; 0 is the empty text
    std::vector<std::unique_ptr<char16_t[]>> FChunks;
    std::vector<uint32_t> FChunkSizes;
    uint32_t FChunkUsed = 0; // in the last chunk
    size_t FArenaChars = 0;
    size_t FGarbageChars = 0; // overwritten text still in the arena
    QString FBase; // the first text written since the column was last empty
    std::vector<QString> FLong;
    QChar FSeparators[4];
    int FSeparatorCount = 0;
    size_t FFilled = 0; // rows whose word is not the empty text
    // Short texts already in the arena, while the column repeats them often enough.
    std::vector<uint64_t> FInterned;
    size_t FInternedCount = 0;
    size_t FLookups = 0;
    size_t FHits = 0;
    bool FInterning = true;
};
