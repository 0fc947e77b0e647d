#include "export/uNativeXLSExport.h"

#include "export/OutputSink.h"
#include "platform/Errors.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint16_t kBof = 0x0809;
constexpr uint16_t kCodePage = 0x0042;
constexpr uint16_t kDimensions = 0x0000;
constexpr uint16_t kLabel = 0x0004;
constexpr uint16_t kInteger = 0x0002;
constexpr uint16_t kNumber = 0x0003;
constexpr uint16_t kEof = 0x000A;
constexpr qsizetype kMaxLabelBytes = 255;

// An existing file is opened, never replaced, so its links and ownership stay;
// anything else is created. The file is not emptied until we hold its lock.
int OpenXLSFile(const QString &fileName)
{
    const QString fullPath = QFileInfo(fileName).absoluteFilePath();
    const QByteArray path = QFile::encodeName(fileName);
    struct stat st;
    const bool existing = ::stat(path.constData(), &st) == 0 && !S_ISDIR(st.st_mode);
    const int fd = existing ? ::open(path.constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK)
                            : ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        const int err = errno;
        if (existing)
            throw EFOpenError(fullPath, err);
        throw EFCreateError(fullPath, err);
    }
    if (const int err = LockAndEmpty(fd)) {
        ::close(fd);
        throw EFOpenError(fullPath, err);
    }
    return fd;
}

void CheckCodePage(const TTextEncoding &encoding)
{
    if (encoding.CodePageNumber() == 0)
        throw EError(QStringLiteral("The spreadsheet format takes text in a Windows code page, not UTF-8"));
}

} // namespace

std::array<uint8_t, 3> EncodeAttributes(TSetOfAtribut attributes)
{
    std::array<uint8_t, 3> bytes{0, 0, 0};
    if (attributes.Contains(acHidden))
        bytes[0] |= 0x80;
    if (attributes.Contains(acLocked))
        bytes[0] |= 0x40;
    if (attributes.Contains(acShaded))
        bytes[2] |= 0x80;
    if (attributes.Contains(acBottomBorder))
        bytes[2] |= 0x40;
    if (attributes.Contains(acTopBorder))
        bytes[2] |= 0x20;
    if (attributes.Contains(acRightBorder))
        bytes[2] |= 0x10;
    if (attributes.Contains(acLeftBorder))
        bytes[2] |= 0x08;
    // One alignment only: the first present wins.
    if (attributes.Contains(acLeft))
        bytes[2] |= 1;
    else if (attributes.Contains(acCenter))
        bytes[2] |= 2;
    else if (attributes.Contains(acRight))
        bytes[2] |= 3;
    else if (attributes.Contains(acFill))
        bytes[2] |= 4;
    return bytes;
}

TXLSWriter::TXLSWriter(const QString &vFileName, const TTextEncoding &encoding)
    : fstream(std::make_unique<TOutputSink>(OpenXLSFile(vFileName), vFileName))
    , FEncoding(encoding)
{ }

TXLSWriter::TXLSWriter(QIODevice &device, const TTextEncoding &encoding)
    : fstream(std::make_unique<TOutputSink>(device))
    , FEncoding(encoding)
{ }

TXLSWriter::~TXLSWriter() = default;

void TXLSWriter::Close()
{
    fstream->Close();
}

void TXLSWriter::WriteWord(uint16_t value)
{
    fstream->WriteByte(char(value & 0xFF));
    fstream->WriteByte(char(value >> 8));
}

void TXLSWriter::WriteBOF()
{
    WriteWord(kBof);
    WriteWord(6);
    WriteWord(0x0000);
    WriteWord(0x0010);
    WriteWord(0x0000);
}

// Without it every reader guesses the texts' code page from its own locale.
void TXLSWriter::WriteCodePage()
{
    WriteWord(kCodePage);
    WriteWord(2);
    WriteWord(uint16_t(FEncoding.CodePageNumber()));
}

void TXLSWriter::WriteDimension()
{
    WriteWord(kDimensions);
    WriteWord(8);
    WriteWord(0);
    WriteWord(maxRows);
    WriteWord(0);
    WriteWord(maxCols);
}

void TXLSWriter::WriteEOF()
{
    WriteWord(kEof);
    WriteWord(0);
}

void TXLSWriter::WriteCellHeader(
    uint16_t id, uint16_t length, uint16_t row, uint16_t col, TSetOfAtribut attributes)
{
    WriteWord(id);
    WriteWord(length);
    WriteWord(row);
    WriteWord(col);
    const std::array<uint8_t, 3> bytes = EncodeAttributes(attributes);
    fstream->Write(reinterpret_cast<const char *>(bytes.data()), 3);
}

void TXLSWriter::CellWord(uint16_t vCol, uint16_t vRow, uint16_t aValue, TSetOfAtribut vAtribut)
{
    WriteCellHeader(kInteger, 9, vCol, vRow, vAtribut);
    WriteWord(aValue);
}

void TXLSWriter::CellDouble(uint16_t vCol, uint16_t vRow, double aValue, TSetOfAtribut vAtribut)
{
    WriteCellHeader(kNumber, 15, vCol, vRow, vAtribut);
    uint64_t bits;
    std::memcpy(&bits, &aValue, sizeof bits);
    for (int i = 0; i < 8; ++i)
        fstream->WriteByte(char((bits >> (8 * i)) & 0xFF));
}

void TXLSWriter::CellStr(uint16_t vCol, uint16_t vRow, const QString &aValue, TSetOfAtribut vAtribut)
{
    // Cut on a character, never through a double-byte one.
    const QByteArray text = FEncoding.Encode(aValue, kMaxLabelBytes);
    const auto n = uint16_t(text.size());
    WriteCellHeader(kLabel, uint16_t(8 + n), vCol, vRow, vAtribut);
    fstream->WriteByte(char(n));
    fstream->Write(text.constData(), n);
}

void TXLSWriter::WriteGrid(bool headers, bool gridLines, const ITableCells &grid)
{
    const TSetOfAtribut data =
        gridLines ? TSetOfAtribut{acBottomBorder, acTopBorder, acRightBorder, acLeftBorder} : TSetOfAtribut{};
    int rows = grid.RowCount();
    if (grid.ColumnCount() > maxCols)
        maxCols = uint16_t(std::min(grid.ColumnCount() + 1, 65535));
    if (maxRows < rows)
        rows = maxRows;

    WriteBOF();
    WriteCodePage();
    WriteDimension();

    const uint16_t firstRow = headers ? 1 : 0;
    if (headers) {
        uint16_t col = 0;
        for (int c = 0; c < grid.ColumnCount(); ++c) {
            if (grid.Columns(c).Visible)
                CellStr(0, col++, grid.Columns(c).Header, data + acShaded);
        }
    }
    uint16_t col = 0;
    for (int c = 0; c < grid.ColumnCount(); ++c) {
        if (!grid.Columns(c).Visible)
            continue;
        for (int r = 0; r < rows; ++r)
            CellStr(uint16_t(r + firstRow), col, grid.Cells(c, r), data);
        ++col;
    }
    WriteEOF();
    Close();
    if (rows < grid.RowCount())
        throw ESpreadsheetCut(rows, grid.RowCount());
}

void GridToXLS(const QString &fileName,
    bool headers,
    bool gridLines,
    const ITableCells &grid,
    const TTextEncoding &encoding)
{
    CheckCodePage(encoding);
    TXLSWriter writer(fileName, encoding);
    writer.WriteGrid(headers, gridLines, grid);
}

void GridToXLS(
    QIODevice &device, bool headers, bool gridLines, const ITableCells &grid, const TTextEncoding &encoding)
{
    CheckCodePage(encoding);
    TXLSWriter writer(device, encoding);
    writer.WriteGrid(headers, gridLines, grid);
}
