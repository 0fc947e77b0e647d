// The XLS writer: BIFF2 cell records.
#pragma once

#include "export/ExportErrors.h"
#include "listing/GridTable.h"
#include "platform/AnsiCodePage.h"
#include "platform/Errors.h"

#include <QString>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>

class QIODevice;
class TOutputSink;

enum TAtributCell {
    acHidden,
    acLocked,
    acShaded,
    acBottomBorder,
    acTopBorder,
    acRightBorder,
    acLeftBorder,
    acLeft,
    acCenter,
    acRight,
    acFill
};

// A set of cell attributes, bit k standing for the attribute of ordinal k.
class TSetOfAtribut
{
public:
    constexpr TSetOfAtribut() = default;
    constexpr TSetOfAtribut(std::initializer_list<TAtributCell> elements)
    {
        for (const TAtributCell a : elements)
            FBits = uint16_t(FBits | Bit(a));
    }
    constexpr bool Contains(TAtributCell a) const { return (FBits & Bit(a)) != 0; }
    constexpr TSetOfAtribut operator+(TAtributCell a) const
    {
        TSetOfAtribut s = *this;
        s.FBits = uint16_t(s.FBits | Bit(a));
        return s;
    }
    constexpr uint16_t Bits() const { return FBits; }
    constexpr bool operator==(const TSetOfAtribut &) const = default;

private:
    static constexpr uint16_t Bit(TAtributCell a) { return uint16_t(1u << unsigned(a)); }
    uint16_t FBits = 0;
};

// The three attribute bytes of a cell record.
std::array<uint8_t, 3> EncodeAttributes(TSetOfAtribut attributes);

// Writes BIFF2 cell records to a file, record by record. The first coordinate
// of every cell operation is the record's row and the second its column.
// Texts are written in a Windows code page (the ANSI one unless told), which
// the CODEPAGE record after BOF names to the reader.
class TXLSWriter
{
public:
    // Opens an existing file for writing (emptied once it is ours) or creates
    // a new one; raises EFOpenError / EFCreateError.
    explicit TXLSWriter(const QString &vFileName, const TTextEncoding &encoding = AnsiEncoding());
    // Writes to a device the caller opened and keeps open.
    explicit TXLSWriter(QIODevice &device, const TTextEncoding &encoding = AnsiEncoding());
    TXLSWriter(const TXLSWriter &) = delete;
    TXLSWriter &operator=(const TXLSWriter &) = delete;
    virtual ~TXLSWriter();

    void CellWord(uint16_t vCol, uint16_t vRow, uint16_t aValue, TSetOfAtribut vAtribut);
    void CellDouble(uint16_t vCol, uint16_t vRow, double aValue, TSetOfAtribut vAtribut);
    void CellStr(uint16_t vCol, uint16_t vRow, const QString &aValue, TSetOfAtribut vAtribut);

    // Writes out what is buffered and closes the file; raises EInOutError when
    // the system refuses a write, so a short file is never taken for a whole one.
    void Close();

    uint16_t maxCols = 100;
    uint16_t maxRows = 65535;

private:
    friend void GridToXLS(const QString &fileName,
        bool headers,
        bool gridLines,
        const ITableCells &grid,
        const TTextEncoding &encoding);
    friend void GridToXLS(QIODevice &device,
        bool headers,
        bool gridLines,
        const ITableCells &grid,
        const TTextEncoding &encoding);

    void WriteGrid(bool headers, bool gridLines, const ITableCells &grid);

    void WriteBOF();
    void WriteCodePage();
    void WriteDimension();
    void WriteEOF();
    void WriteWord(uint16_t value);
    void WriteCellHeader(uint16_t id, uint16_t length, uint16_t row, uint16_t col, TSetOfAtribut attributes);

    std::unique_ptr<TOutputSink> fstream;
    TTextEncoding FEncoding;
};

// Writes the grid's first maxRows rows, then raises ESpreadsheetCut when there
// were more. The encoding must be a code page: no common reader takes a UTF-8 one.
void GridToXLS(const QString &fileName,
    bool headers,
    bool gridLines,
    const ITableCells &grid,
    const TTextEncoding &encoding = AnsiEncoding());
void GridToXLS(QIODevice &device,
    bool headers,
    bool gridLines,
    const ITableCells &grid,
    const TTextEncoding &encoding = AnsiEncoding());
