// A listing's rows as a worksheet's row markup, made on any thread.
#pragma once

#include "export/JsonListing.h"

#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum TXlsxColumn { xcName, xcPath, xcSize, xcExtension, xcModified, xcCount };

// The style numbers the cells of a column refer to (0: none).
struct TXlsxCellStyles
{
    int Size = 0;
    int Modified = 0;
};

// What the rows made so far hold: the rows and columns with a cell, and the
// widest text of each column in characters (East Asian wide ones count two).
struct TXlsxRowsExtent
{
    uint32_t FirstRow = UINT32_MAX;
    uint32_t LastRow = 0;
    int FirstColumn = xcCount;
    int LastColumn = -1;
    std::array<int, xcCount> Widths{};
};

// Markup made in place: room is taken first, the bytes written are then kept.
class TXlsxMarkup
{
public:
    // Room for at least bytes more; the buffer only grows, so it is filled once.
    char *Room(size_t bytes);
    void Keep(const char *end) { FUsed = size_t(end - FBytes.data()); }
    void Clear() { FUsed = 0; }
    std::string_view Bytes() const { return {FBytes.data(), FUsed}; }

private:
    std::string FBytes;
    size_t FUsed = 0;
};

// Makes the markup of rows: texts as inline strings that hold every
// character (what XML cannot carry goes as "_xHHHH_", a name's own "_xHHHH_"
// keeps its "_" by the same rule), sizes and day serials as numbers. Texts
// are cut at the 32 767 bytes a cell holds. Names are texts whatever they
// look like: a string cell is never read as a formula or a number, so it
// needs no apostrophe in front.
class TXlsxRowMarkup
{
public:
    TXlsxRowMarkup(bool showExtensions, TXlsxCellStyles styles);

    // Appends the row as sheet row sheetRow (0 is the first).
    void Append(const TJsonRow &row, uint32_t sheetRow, TXlsxMarkup &out, TXlsxRowsExtent &extent);

private:
    struct TTextCell
    {
        std::vector<char> Bytes; // only grows: filled once
        size_t Size = 0; // of the text, escaped for the markup
        bool Preserve = false; // leading or trailing blanks to keep
        int Width = 0;
        std::string_view Text() const { return {Bytes.data(), Size}; }
    };
    static void MakeText(QStringView text, TTextCell &cell);
    static char *PutText(char *to, const TTextCell &cell, char column, std::string_view row);

    bool FShowExtensions;
    TXlsxCellStyles FStyles;
    TTextCell FName, FExtension;
    // The rows of one folder share its path: made once.
    QString FLastPath;
    TTextCell FPath;
};
