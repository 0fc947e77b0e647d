#include "listing/CellColumn.h"

#include <QHashFunctions>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// The low two bits of a word say what the rest holds.
constexpr uint64_t kText = 0; // prefix of the base (12 bits), length (16), chunk (16), place in it (18)
constexpr uint64_t kDigits = 1; // length (5 bits), value (57)
constexpr uint64_t kDecimal = 2; // separator (2 bits), fraction digits (5), value without the separator (55)
constexpr uint64_t kLong = 3; // index of a QString of its own

constexpr size_t kMaxPrefix = (size_t(1) << 12) - 1;
constexpr size_t kMaxLength = (size_t(1) << 16) - 1;
constexpr size_t kMaxChunks = size_t(1) << 16;
constexpr uint32_t kMaxChunk = uint32_t(1) << 18;
constexpr uint32_t kFirstChunk = 256;
constexpr uint64_t kDigitsLimit = uint64_t(1) << 57;
constexpr uint64_t kDecimalLimit = uint64_t(1) << 55;
constexpr qsizetype kMaxFraction = 17;

constexpr qsizetype kInternLength = 32;
constexpr size_t kInternSlots = 4096;
constexpr size_t kInternTrial = 2048;

constexpr uint64_t Tag(uint64_t word)
{
    return word & 3;
}
constexpr size_t TextPrefix(uint64_t word)
{
    return size_t(word >> 2) & kMaxPrefix;
}
constexpr size_t TextLength(uint64_t word)
{
    return size_t(word >> 14) & kMaxLength;
}

bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

uint64_t Power10(qsizetype n)
{
    uint64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// Writes the value's digits so they end just before `end`; returns where they begin.
char16_t *DigitsBefore(char16_t *end, uint64_t value)
{
    do {
        *--end = char16_t(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return end;
}

qsizetype DigitCount(uint64_t value)
{
    qsizetype n = 1;
    while (value >= 10) {
        value /= 10;
        ++n;
    }
    return n;
}

// Four characters at a time: a path's prefix is most of it.
size_t CommonPrefix(const char16_t *a, const char16_t *b, size_t n)
{
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        uint64_t x = 0;
        uint64_t y = 0;
        std::memcpy(&x, a + i, sizeof x);
        std::memcpy(&y, b + i, sizeof y);
        if (x != y)
            break;
    }
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

bool SameChars(const char16_t *a, const char16_t *b, size_t n)
{
    return n == 0 || std::memcmp(a, b, n * sizeof(char16_t)) == 0;
}

} // namespace

TCellColumn::TCellColumn(const TCellColumn &other)
    : FWords(other.FWords)
    , FChunkSizes(other.FChunkSizes)
    , FChunkUsed(other.FChunkUsed)
    , FArenaChars(other.FArenaChars)
    , FGarbageChars(other.FGarbageChars)
    , FBase(other.FBase)
    , FLong(other.FLong)
    , FSeparatorCount(other.FSeparatorCount)
    , FFilled(other.FFilled)
    , FInterned(other.FInterned)
    , FInternedCount(other.FInternedCount)
    , FLookups(other.FLookups)
    , FHits(other.FHits)
    , FInterning(other.FInterning)
{
    std::copy(std::begin(other.FSeparators), std::end(other.FSeparators), std::begin(FSeparators));
    FChunks.reserve(other.FChunks.size());
    for (size_t c = 0; c < other.FChunks.size(); ++c) {
        FChunks.push_back(std::make_unique_for_overwrite<char16_t[]>(FChunkSizes[c]));
        const uint32_t used = c + 1 == other.FChunks.size() ? FChunkUsed : FChunkSizes[c];
        std::copy_n(other.FChunks[c].get(), used, FChunks[c].get());
    }
}

TCellColumn &TCellColumn::operator=(const TCellColumn &other)
{
    if (this != &other)
        *this = TCellColumn(other);
    return *this;
}

void TCellColumn::Resize(size_t rows)
{
    if (rows < FWords.size()) {
        for (size_t r = rows; r < FWords.size(); ++r)
            Release(FWords[r]);
        FWords.resize(rows);
        if (FWords.capacity() - rows > rows / 16 + 16)
            FWords.shrink_to_fit();
        if (FFilled == 0)
            Reset();
    } else {
        FWords.resize(rows);
    }
}

void TCellColumn::Compact()
{
    if (FWords.capacity() - FWords.size() > FWords.size() / 16 + 16)
        FWords.shrink_to_fit();
    if (!FChunks.empty() && FChunkUsed < FChunkSizes.back()) {
        auto trimmed = std::make_unique_for_overwrite<char16_t[]>(std::max<uint32_t>(FChunkUsed, 1));
        std::copy_n(FChunks.back().get(), FChunkUsed, trimmed.get());
        FChunks.back() = std::move(trimmed);
        FChunkSizes.back() = FChunkUsed;
    }
}

QString TCellColumn::Text(size_t row) const
{
    const uint64_t word = FWords[row];
    if (Tag(word) == kLong)
        return FLong[size_t(word >> 2)];
    QString scratch;
    const QStringView view = Decode(word, scratch);
    if (!scratch.isEmpty() && view.data() == scratch.constData())
        return scratch;
    return view.toString();
}

QStringView TCellColumn::View(size_t row, QString &scratch) const
{
    return Decode(FWords[row], scratch);
}

void TCellColumn::SetText(size_t row, QStringView text)
{
    const uint64_t old = FWords[row];
    const uint64_t word = Encode(text);
    FWords[row] = word;
    FFilled += word != 0;
    Release(old);
    if (FFilled == 0)
        Reset();
    else if (FGarbageChars > 65536 && FGarbageChars > FArenaChars / 2)
        Rebuild();
}

void TCellColumn::Permute(const std::vector<int> &order)
{
    std::vector<uint64_t> moved(FWords.size());
    for (size_t r = 0; r < moved.size(); ++r)
        moved[r] = FWords[size_t(order[r])];
    FWords.swap(moved);
}

uint64_t TCellColumn::Encode(QStringView text)
{
    if (text.isEmpty())
        return 0;
    uint64_t word = 0;
    if (EncodeDigits(text, word) || EncodeDecimal(text, word))
        return word;
    return EncodeText(text);
}

bool TCellColumn::EncodeDigits(QStringView text, uint64_t &word) const
{
    if (text.size() > 31)
        return false;
    uint64_t value = 0;
    for (const QChar c : text) {
        if (!IsDigit(c.unicode()))
            return false;
        value = value * 10 + (c.unicode() - u'0');
        if (value >= kDigitsLimit)
            return false;
    }
    word = kDigits | uint64_t(text.size()) << 2 | value << 7;
    return true;
}

// Digits, one separator, digits: the integer part without leading zeros, so
// the value and the number of fraction digits give the text back.
bool TCellColumn::EncodeDecimal(QStringView text, uint64_t &word)
{
    const qsizetype n = text.size();
    if (n < 3 || n > 40)
        return false;
    const char16_t *c = text.utf16();
    qsizetype i = 0;
    uint64_t value = 0;
    for (; i < n && IsDigit(c[i]); ++i) {
        value = value * 10 + (c[i] - u'0');
        if (value >= kDecimalLimit)
            return false;
    }
    if (i == 0 || i >= n - 1 || (i > 1 && c[0] == u'0'))
        return false;
    const QChar separator(c[i]);
    const qsizetype fraction = n - i - 1;
    if (fraction > kMaxFraction)
        return false;
    for (++i; i < n; ++i) {
        if (!IsDigit(c[i]))
            return false;
        value = value * 10 + (c[i] - u'0');
        if (value >= kDecimalLimit)
            return false;
    }
    int s = 0;
    while (s < FSeparatorCount && FSeparators[s] != separator)
        ++s;
    if (s == FSeparatorCount) {
        if (FSeparatorCount == int(std::size(FSeparators)))
            return false;
        FSeparators[FSeparatorCount++] = separator;
    }
    word = kDecimal | uint64_t(s) << 2 | uint64_t(fraction) << 4 | value << 9;
    return true;
}

uint64_t TCellColumn::EncodeText(QStringView text)
{
    if (FBase.isEmpty())
        FBase = text.toString();
    const QStringView base(FBase);
    const size_t prefix = CommonPrefix(
        text.utf16(), base.utf16(), std::min({size_t(text.size()), size_t(base.size()), kMaxPrefix}));
    const QStringView suffix = text.mid(qsizetype(prefix));
    const uint64_t head = kText | uint64_t(prefix) << 2 | uint64_t(suffix.size()) << 14;
    if (suffix.isEmpty())
        return head;

    uint64_t *slot = nullptr;
    if (FInterning && text.size() <= kInternLength) {
        if (FInterned.empty())
            FInterned.assign(kInternSlots, 0);
        slot = InternSlot(text, qHash(text));
        ++FLookups;
        if (*slot != 0) {
            ++FHits;
            return *slot;
        }
        // Names and times rarely repeat: stop looking once the column shows it.
        if (FLookups >= kInternTrial && FHits * 4 < FLookups) {
            FInterning = false;
            std::vector<uint64_t>().swap(FInterned);
            slot = nullptr;
        }
    }

    uint64_t place = 0;
    if (suffix.size() > qsizetype(kMaxLength) || !Append(suffix, place)) {
        FLong.push_back(text.toString());
        return kLong | uint64_t(FLong.size() - 1) << 2;
    }
    const uint64_t word = head | place;
    if (slot && FInternedCount < kInternSlots * 3 / 4) {
        *slot = word;
        ++FInternedCount;
    }
    return word;
}

uint64_t *TCellColumn::InternSlot(QStringView text, size_t hash)
{
    const size_t mask = FInterned.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        uint64_t &slot = FInterned[i];
        if (slot == 0)
            return &slot;
        const size_t prefix = TextPrefix(slot);
        const size_t length = TextLength(slot);
        if (prefix + length == size_t(text.size())
            && SameChars(text.utf16(), QStringView(FBase).utf16(), prefix)
            && SameChars(text.utf16() + prefix, Suffix(slot), length))
            return &slot;
    }
}

const char16_t *TCellColumn::Suffix(uint64_t word) const
{
    const size_t chunk = size_t(word >> 30) & (kMaxChunks - 1);
    const size_t place = size_t(word >> 46);
    return FChunks[chunk].get() + place;
}

char16_t *TCellColumn::Append(QStringView text, uint64_t &place)
{
    const uint32_t length = uint32_t(text.size());
    if (FChunks.empty() || FChunkUsed + length > FChunkSizes.back()) {
        if (FChunks.size() == kMaxChunks)
            return nullptr;
        // Growing chunks: a small table stays small, a big one wastes at most a chunk's tail.
        uint32_t size = FChunks.empty() ? kFirstChunk : std::min(kMaxChunk, FChunkSizes.back() * 2);
        while (size < length)
            size *= 2;
        FChunks.push_back(std::make_unique_for_overwrite<char16_t[]>(size));
        FChunkSizes.push_back(size);
        FChunkUsed = 0;
    }
    char16_t *out = FChunks.back().get() + FChunkUsed;
    std::copy_n(text.utf16(), length, out);
    place = uint64_t(FChunks.size() - 1) << 30 | uint64_t(FChunkUsed) << 46;
    FChunkUsed += length;
    FArenaChars += length;
    return out;
}

QStringView TCellColumn::Decode(uint64_t word, QString &scratch) const
{
    switch (Tag(word)) {
    case kText: {
        const size_t prefix = TextPrefix(word);
        const size_t length = TextLength(word);
        if (length == 0)
            return QStringView(FBase).left(qsizetype(prefix));
        if (prefix == 0)
            return QStringView(Suffix(word), qsizetype(length));
        scratch.resize(qsizetype(prefix + length));
        char16_t *out = reinterpret_cast<char16_t *>(scratch.data());
        std::copy_n(QStringView(FBase).utf16(), prefix, out);
        std::copy_n(Suffix(word), length, out + prefix);
        return scratch;
    }
    case kDigits: {
        const qsizetype length = qsizetype(word >> 2) & 31;
        scratch.resize(length);
        char16_t *out = reinterpret_cast<char16_t *>(scratch.data());
        char16_t *first = DigitsBefore(out + length, word >> 7);
        std::fill(out, first, u'0');
        return scratch;
    }
    case kDecimal: {
        const QChar separator = FSeparators[(word >> 2) & 3];
        const qsizetype fraction = qsizetype(word >> 4) & 31;
        const uint64_t value = word >> 9;
        const uint64_t scale = Power10(fraction);
        const qsizetype whole = DigitCount(value / scale);
        scratch.resize(whole + 1 + fraction);
        char16_t *out = reinterpret_cast<char16_t *>(scratch.data());
        DigitsBefore(out + whole, value / scale);
        out[whole] = separator.unicode();
        char16_t *end = out + whole + 1 + fraction;
        std::fill(out + whole + 1, DigitsBefore(end, value % scale), u'0');
        return scratch;
    }
    default:
        return FLong[size_t(word >> 2)];
    }
}

void TCellColumn::Release(uint64_t word)
{
    if (word == 0)
        return;
    --FFilled;
    if (Tag(word) == kText)
        FGarbageChars += TextLength(word);
    else if (Tag(word) == kLong)
        FLong[size_t(word >> 2)] = QString();
}

void TCellColumn::Reset()
{
    FChunks.clear();
    FChunkSizes.clear();
    FChunkUsed = 0;
    FArenaChars = 0;
    FGarbageChars = 0;
    FBase.clear();
    FLong.clear();
    FSeparatorCount = 0;
    std::vector<uint64_t>().swap(FInterned);
    FInternedCount = 0;
    FLookups = 0;
    FHits = 0;
    FInterning = true;
}

// Rewritten cells leave their old text behind; past a point the live texts move to a new arena.
void TCellColumn::Rebuild()
{
    TCellColumn fresh;
    fresh.FWords.resize(FWords.size());
    QString scratch;
    for (size_t r = 0; r < FWords.size(); ++r)
        if (FWords[r] != 0)
            fresh.SetText(r, View(r, scratch));
    fresh.Compact();
    *this = std::move(fresh);
}
