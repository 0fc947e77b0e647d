#include "export/XlsxRowMarkup.h"

#include "fileutils/PathNames.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

using namespace std::string_view_literals;

namespace {

// A cell holds at most this many bytes of text.
constexpr size_t kMaxCellBytes = 32767;

// Days from the spreadsheet's day 0 to 1970-01-01.
constexpr double kUnixEpochSerial = 25569.0;
constexpr double kMsPerDay = 86400000.0;

// Whole numbers below this are exact in a double and have at most 16 digits.
constexpr double kExactWhole = 9007199254740992.0;

bool IsHex(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

// Readers turn "_xHHHH_" in a cell's text into the character HHHH.
bool IsEscapeAt(const QChar *p, qsizetype left)
{
    return left >= 7 && p[0] == u'_' && p[1] == u'x' && IsHex(p[2].unicode()) && IsHex(p[3].unicode())
        && IsHex(p[4].unicode()) && IsHex(p[5].unicode()) && p[6] == u'_';
}

bool IsWide(char16_t u)
{
    return (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3)
        || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
        || (u >= 0xFFE0 && u <= 0xFFE6);
}

size_t Utf8Length(char32_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

char *Put(char *to, std::string_view text)
{
    std::memcpy(to, text.data(), text.size());
    return to + text.size();
}

char *PutUtf8(char *to, char32_t c)
{
    if (c < 0x80) {
        *to++ = char(c);
    } else if (c < 0x800) {
        *to++ = char(0xC0 | (c >> 6));
        *to++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *to++ = char(0xE0 | (c >> 12));
        *to++ = char(0x80 | ((c >> 6) & 0x3F));
        *to++ = char(0x80 | (c & 0x3F));
    } else {
        *to++ = char(0xF0 | (c >> 18));
        *to++ = char(0x80 | ((c >> 12) & 0x3F));
        *to++ = char(0x80 | ((c >> 6) & 0x3F));
        *to++ = char(0x80 | (c & 0x3F));
    }
    return to;
}

// "_xHHHH_": how the sheet spells a character XML cannot carry.
char *PutCharacterEscape(char *to, char32_t c)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    *to++ = '_';
    *to++ = 'x';
    for (int shift = 12; shift >= 0; shift -= 4)
        *to++ = kDigits[(c >> shift) & 0xF];
    *to++ = '_';
    return to;
}

// XML keeps blanks at the ends of a text only when told to.
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

// "1,234,567": the digits and the separators the size format adds.
int SizeWidth(int64_t size)
{
    int digits = 1;
    for (uint64_t v = size < 0 ? 0 - uint64_t(size) : uint64_t(size); v >= 10; v /= 10)
        ++digits;
    return digits + (digits - 1) / 3;
}

// What a row's markup takes beside its texts, at most: tags, row number,
// styles and two numbers.
constexpr size_t kRowMarkupBytes = 512;

char *PutCellStart(char *to, char column, std::string_view row, int style)
{
    to = Put(to, "<c r=\""sv);
    *to++ = column;
    to = Put(to, row);
    if (style != 0) {
        to = Put(to, "\" s=\""sv);
        to = std::to_chars(to, to + 11, style).ptr;
    }
    *to++ = '"';
    return to;
}

// The most bytes a number takes in the markup.
constexpr size_t kNumberBytes = 32;

// A number as the sheet's markup holds it: up to 16 significant digits, an
// exponent beyond them.
char *PutXlsxNumber(char *to, double value)
{
    char *end;
    if (std::fabs(value) < kExactWhole && value == std::trunc(value) && !std::signbit(value)) {
        end = std::to_chars(to, to + kNumberBytes, int64_t(value)).ptr;
    } else {
        // printf's %.16G, without its locale or its cost.
        end = std::to_chars(to, to + kNumberBytes, value, std::chars_format::general, 16).ptr;
        std::transform(to, end, to, [](char c) {
            return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
        });
    }
    return end;
}

char *PutNumberCell(char *to, char column, std::string_view row, int style, double value)
{
    to = PutCellStart(to, column, row, style);
    to = Put(to, "><v>"sv);
    to = PutXlsxNumber(to, value);
    return Put(to, "</v></c>"sv);
}

} // namespace

char *TXlsxMarkup::Room(size_t bytes)
{
    if (FUsed + bytes > FBytes.size())
        FBytes.resize(std::max(FBytes.size() * 2, FUsed + bytes + (size_t(1) << 20)));
    return FBytes.data() + FUsed;
}

TXlsxRowMarkup::TXlsxRowMarkup(bool showExtensions, TXlsxCellStyles styles)
    : FShowExtensions(showExtensions)
    , FStyles(styles)
{ }

void TXlsxRowMarkup::MakeText(QStringView text, TTextCell &cell)
{
    // At most seven bytes for a UTF-16 unit: written in place, then cut to size.
    if (cell.Bytes.size() < size_t(text.size()) * 7)
        cell.Bytes.resize(size_t(text.size()) * 7);
    char *const begin = cell.Bytes.data();
    char *to = begin;
    int width = 0;
    size_t bytes = 0; // the cell's, before the markup's own escapes
    const QChar *p = text.data();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const char16_t u = p[i].unicode();
        // Most names and paths are plain ASCII: no escape, one byte each.
        if (u >= 0x20 && u < 0x7F && u != u'_' && u != u'&' && u != u'<' && u != u'>') {
            if (bytes == kMaxCellBytes)
                break;
            ++bytes;
            ++width;
            *to++ = char(u);
            ++i;
            continue;
        }
        char32_t c = u;
        qsizetype units = 1;
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(p[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(u, p[i + 1].unicode());
            units = 2;
        } else if (QChar::isSurrogate(u)) {
            c = 0xFFFD;
        }
        const bool ownEscape = c == u'_' && IsEscapeAt(p + i, n - i);
        const size_t length = ownEscape ? 7 : Utf8Length(c);
        if (bytes + length > kMaxCellBytes)
            break;
        bytes += length;
        width += units == 2 ? 2 : IsWide(u) ? 2 : 1;
        if (ownEscape)
            to = Put(to, "_x005F_"sv);
        else if ((c < 0x20 && c != u'\t' && c != u'\n') || c == 0xFFFE || c == 0xFFFF)
            to = PutCharacterEscape(to, c);
        else if (c == u'&')
            to = Put(to, "&amp;"sv);
        else if (c == u'<')
            to = Put(to, "&lt;"sv);
        else if (c == u'>')
            to = Put(to, "&gt;"sv);
        else
            to = PutUtf8(to, c);
        i += units;
    }
    cell.Size = size_t(to - begin);
    cell.Preserve = cell.Size > 0 && (IsBlank(begin[0]) || IsBlank(to[-1]));
    cell.Width = width;
}

char *TXlsxRowMarkup::PutText(char *to, const TTextCell &cell, char column, std::string_view row)
{
    to = PutCellStart(to, column, row, 0);
    to = Put(to,
        cell.Preserve ? " t=\"inlineStr\"><is><t xml:space=\"preserve\">"sv : " t=\"inlineStr\"><is><t>"sv);
    to = Put(to, cell.Text());
    return Put(to, "</t></is></c>"sv);
}

void TXlsxRowMarkup::Append(const TJsonRow &row, uint32_t sheetRow, TXlsxMarkup &out, TXlsxRowsExtent &extent)
{
    if (row.IsFolder || FShowExtensions)
        MakeText(row.Name, FName);
    else
        MakeText(NameWithoutExtension(row.Name), FName);
    // The text kept alive in FLastPath, or the listing's own, is never
    // another's: the same place is the same text.
    if (row.Path.constData() != FLastPath.constData() || row.Path.size() != FLastPath.size()) {
        FLastPath = row.Path;
        MakeText(row.Path, FPath);
    }
    MakeText(row.Extension, FExtension);
    const bool hasSize = !row.IsFolder || row.SizeIsTotal;
    if (FName.Size == 0 && FPath.Size == 0 && !hasSize && FExtension.Size == 0 && !row.HasModified)
        return; // a row without cells is left out, as the library leaves it

    char *to = out.Room(kRowMarkupBytes + FName.Size + FPath.Size + FExtension.Size);
    char digits[12];
    const std::string_view number(
        digits, size_t(std::to_chars(digits, digits + sizeof digits, uint64_t(sheetRow) + 1).ptr - digits));
    to = Put(to, "<row r=\""sv);
    to = Put(to, number);
    to = Put(to, "\">"sv);
    const auto cover = [&extent](int column, int width) {
        extent.FirstColumn = std::min(extent.FirstColumn, column);
        extent.LastColumn = std::max(extent.LastColumn, column);
        extent.Widths[size_t(column)] = std::max(extent.Widths[size_t(column)], width);
    };
    if (FName.Size > 0) {
        to = PutText(to, FName, 'A', number);
        cover(xcName, FName.Width);
    }
    if (FPath.Size > 0) {
        to = PutText(to, FPath, 'B', number);
        cover(xcPath, FPath.Width);
    }
    if (hasSize) {
        to = PutNumberCell(to, 'C', number, FStyles.Size, double(row.Size));
        cover(xcSize, SizeWidth(row.Size));
    }
    if (FExtension.Size > 0) {
        to = PutText(to, FExtension, 'D', number);
        cover(xcExtension, FExtension.Width);
    }
    if (row.HasModified) {
        const double local = double(row.ModifiedMs + int64_t(row.OffsetSeconds) * 1000);
        to = PutNumberCell(to, 'E', number, FStyles.Modified, kUnixEpochSerial + local / kMsPerDay);
        cover(xcModified, 0);
    }
    to = Put(to, "</row>"sv);
    out.Keep(to);
    extent.FirstRow = std::min(extent.FirstRow, sheetRow);
    extent.LastRow = std::max(extent.LastRow, sheetRow);
}
