#include "ZipTestSupport.h"

#include <map>
#include <sys/stat.h>

using ZipBuilder::PutU16;
using ZipBuilder::PutU32;
using ZipBuilder::TArchive;

namespace {

const QString kReadError = QStringLiteral("Error reading zip file");
const QString kBadCentral = QStringLiteral("Invalid Zip Central Header signature");

TArchive TwoEntries(const QByteArray &comment = {})
{
    TArchive a;
    a.Add("docs/", {});
    a.Add("docs/readme.txt", "hello, world", 8).Comment = "the readme";
    a.Comment = comment;
    return a;
}

QByteArray EndRecord(uint16_t count, uint32_t directoryOffset)
{
    QByteArray out("PK\x05\x06", 4);
    PutU32(out, 0);
    PutU16(out, count);
    PutU16(out, count);
    PutU32(out, 46);
    PutU32(out, directoryOffset);
    PutU16(out, 0);
    return out;
}

QByteArray WithLie(const std::function<void(TArchive &)> &lie)
{
    TArchive a = TwoEntries();
    lie(a);
    return a.Build();
}

// The archive cut inside its only directory record, an end record right after the cut.
QByteArray CutRecord(int keep)
{
    TArchive a;
    a.Add(QByteArray(40, 'n'), "1");
    const QByteArray whole = a.Build();
    const int start = whole.indexOf(QByteArray("PK\x01\x02", 4));
    return whole.left(start + keep) + EndRecord(1, uint32_t(start));
}

struct TOpenCase
{
    std::string what;
    QByteArray bytes;
    bool valid;
    QString openError; // empty: opens
    int count;
};

std::vector<TOpenCase> OpenCases()
{
    const QByteArray signature("PK\x05\x06", 4);
    std::vector<TOpenCase> rows = {
        {"end record as the last 22 bytes", TwoEntries().Build(), true, {}, 2},
        {"only an end record", ZipBuilder::EmptyArchive(), true, {}, 0},
        {"comment of 65513 bytes", TwoEntries(QByteArray(65513, 'c')).Build(), true, {}, 2},
        {"comment of 65514 bytes", TwoEntries(QByteArray(65514, 'c')).Build(), false, kReadError, 0},
        {"empty file", {}, false, QStringLiteral("Stream read error"), 0},
        {"signature in text, no records", QByteArray(5000, 'x') + EndRecord(0, 0) + "more text", true, {}, 0},
        {"signature in text, records in text",
            QByteArray(5000, 'x') + EndRecord(1, 100),
            true,
            kBadCentral,
            0},
        {"signature with 17 bytes after it",
            QByteArray(100, 'x') + signature + QByteArray(17, 0),
            false,
            kReadError,
            0},
        {"stray signature after a real record",
            TwoEntries(signature + QByteArray(17, 0)).Build(),
            true,
            {},
            2},
        {"end record hidden in the comment wins",
            TwoEntries(ZipBuilder::EmptyArchive("x")).Build(),
            true,
            {},
            0},
        {"more records counted than exist",
            WithLie([](TArchive &a) {
                a.EntryCount = 3;
            }),
            true,
            kBadCentral,
            0},
        {"65535 records in a small file",
            WithLie([](TArchive &a) {
                a.EntryCount = 65535;
            }),
            true,
            kBadCentral,
            0},
        {"fewer records counted than exist",
            WithLie([](TArchive &a) {
                a.EntryCount = 1;
            }),
            true,
            {},
            1},
        {"directory beyond the file",
            WithLie([](TArchive &a) {
                a.DirectoryOffset = 0xFFFFFFF0u;
            }),
            true,
            kBadCentral,
            0},
        // As with bytes in front of the archive: the directory is found where its end says.
        {"directory offset short by the directory's own start",
            WithLie([](TArchive &a) {
                a.DirectoryOffset = 0;
            }),
            true,
            {},
            2},
        {"comment longer than the file",
            WithLie([](TArchive &a) {
                a.CommentLength = 60000;
            }),
            true,
            {},
            2},
        {"fixed fields cut short", CutRecord(4 + 10), true, kReadError, 0},
        {"name cut short", CutRecord(46 + 2), true, kReadError, 0},
    };
    for (int size = 1; size <= 4; ++size)
        rows.push_back(
            {"file of " + std::to_string(size) + " bytes", signature.left(size), false, kReadError, 0});
    // Around the lower edge of the first search window (the last 1028 bytes) and the second.
    for (const int length : {1004, 1005, 1006, 1007, 1008, 2031, 2032})
        rows.push_back({"comment of " + std::to_string(length),
            TwoEntries(QByteArray(length, 'c')).Build(),
            true,
            {},
            2});
    return rows;
}

class ZipReaderTest : public ZipTestBase
{
protected:
    TZipFile FZip;
};

TEST_F(ZipReaderTest, FindsTheEndRecordAndReadsTheDirectory)
{
    for (const TOpenCase &c : OpenCases()) {
        SCOPED_TRACE(c.what);
        const QString path = WriteArchive(c.bytes);
        EXPECT_EQ(TZipFile::IsValid(path), c.valid);
        EXPECT_RAISES(
            FZip.Open(path, zmRead), c.openError.isEmpty() ? QStringLiteral("<none>") : c.openError);
        if (c.openError.isEmpty())
            EXPECT_EQ(FZip.FileCount(), c.count);
        else
            EXPECT_RAISES(FZip.FileCount(), QStringLiteral("File must be open"));
        FZip.Close();
    }
}

TEST_F(ZipReaderTest, KeepsEveryFieldOfTheDirectoryRecord)
{
    TArchive a = TwoEntries("archive");
    a.Entries[1].Extra = QByteArray("\x55\x54\x01\x00\x01", 5);
    FZip.Open(WriteArchive(a.Build()), zmRead);
    EXPECT_EQ(FZip.FileName(0), QStringLiteral("docs/"));
    EXPECT_EQ(FZip.FileComment(1), QStringLiteral("the readme"));
    EXPECT_EQ(FZip.Comment(), QStringLiteral("archive"));
    const TZipHeader h = FZip.FileInfo(1);
    const uint32_t packed = uint32_t(ZipBuilder::RawDeflate("hello, world").size());
    EXPECT_EQ(std::vector<uint64_t>({h.MadeByVersion,
                  h.RequiredVersion,
                  h.Flag,
                  h.CompressionMethod,
                  h.ModifiedDateTime,
                  h.CRC32,
                  h.CompressedSize,
                  h.UncompressedSize,
                  h.FileNameLength,
                  h.ExtraFieldLength,
                  h.FileCommentLength,
                  h.LocalHeaderOffset}),
        std::vector<uint64_t>(
            {0x031E, 20, 0, 8, 0x413B73DD, ZipBuilder::Crc32("hello, world"), packed, 12, 15, 5, 10, 35}));
    EXPECT_EQ(h.ExtraField, a.Entries[1].Extra);
}

TEST_F(ZipReaderTest, NamesAndCommentsFollowTheirFlagTheArchiveCommentIsAlwaysCp437)
{
    const std::tuple<uint16_t, QByteArray, QString> rows[] = {
        {0, "\x81.txt", QStringLiteral(u"\u00FC.txt")},
        {0x0800, "\xC3\xBC.txt", QStringLiteral(u"\u00FC.txt")},
        {0, "\xC3\xBC.txt", QStringLiteral(u"\u251C\u255D.txt")},
    };
    for (const auto &[flag, bytes, text] : rows) {
        TArchive a;
        auto &e = a.Add(bytes, "data");
        e.Flag = flag;
        e.Comment = bytes;
        a.Comment = "\x81";
        FZip.Open(WriteArchive(a.Build()), zmRead);
        EXPECT_EQ(FZip.FileName(0), text);
        EXPECT_EQ(FZip.FileComment(0), text);
        EXPECT_EQ(FZip.Comment(), QStringLiteral(u"\u00FC"));
    }
}

TEST_F(ZipReaderTest, AccessorsNeedAnOpenArchiveAndAnIndexInRange)
{
    const QString closed = QStringLiteral("File must be open");
    const QString range = QStringLiteral("Argument out of range");
    const auto accessorErrors = [&](int index) {
        return QStringList({ErrorOf([&] {
                                FZip.FileName(index);
                            }),
            ErrorOf([&] {
                FZip.FileInfo(index);
            }),
            ErrorOf([&] {
                FZip.FileComment(index);
            })});
    };
    EXPECT_EQ(accessorErrors(0), QStringList({closed, closed, closed}));
    EXPECT_RAISES(FZip.FileCount(), closed);

    FZip.Open(WriteArchive(TwoEntries("kept").Build()), zmRead);
    for (const int index : {-1, 2})
        EXPECT_EQ(accessorErrors(index), QStringList({range, range, range}));
    // A second open replaces the first; a failed one leaves nothing open.
    FZip.Open(WriteArchive(ZipBuilder::EmptyArchive("second"), QStringLiteral("b.zip")), zmRead);
    EXPECT_EQ(FZip.FileCount(), 0);
    EXPECT_RAISES(FZip.Open(WriteArchive(QByteArray(100, 'x'), QStringLiteral("c.zip")), zmRead), kReadError);
    EXPECT_EQ(FZip.Mode(), zmClosed);
    FZip.Close();
    EXPECT_EQ(FZip.Comment(), QStringLiteral("second"));
}

TEST_F(ZipReaderTest, OnlyRegularFilesAreOpenedAndNothingWaitsOnAFifo)
{
    const QString missing = PathOf(QStringLiteral("missing.zip"));
    const QString fifo = PathOf(QStringLiteral("pipe.zip"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &path : {missing, FDir.path(), fifo, QString()})
        EXPECT_FALSE(TZipFile::IsValid(path)) << path.toStdString();
    const QString cannotOpen = QStringLiteral("Cannot open file \"%1\". %2");
    EXPECT_RAISES(
        FZip.Open(missing, zmRead), cannotOpen.arg(missing, QStringLiteral("No such file or directory")));
    EXPECT_RAISES(
        FZip.Open(FDir.path(), zmRead), cannotOpen.arg(FDir.path(), QStringLiteral("Is a directory")));
    EXPECT_TRUE(ErrorOf([&] {
        FZip.Open(fifo, zmRead);
    }).startsWith(cannotOpen.arg(fifo, QString())));

    // A relative name is shown in full.
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(FDir.path()));
    const QString relative = ErrorOf([&] {
        FZip.Open(QStringLiteral("missing.zip"), zmRead);
    });
    QDir::setCurrent(cwd);
    EXPECT_EQ(relative, cannotOpen.arg(missing, QStringLiteral("No such file or directory")));
}

TEST_F(ZipReaderTest, ListsTheLargestDirectory)
{
    TArchive a;
    for (int i = 0; i < 65535; ++i)
        a.Add(QByteArray::number(i), {});
    FZip.Open(WriteArchive(a.Build()), zmRead);
    ASSERT_EQ(FZip.FileCount(), 65535);
    EXPECT_EQ(FZip.FileName(65534), QStringLiteral("65534"));
}

TEST(CompressionMethodNameTest, NamesEveryCode)
{
    const std::map<int, const char *> named = {
        {0, "Stored"},
        {1, "Shrunk"},
        {2, "Reduced1"},
        {3, "Reduced2"},
        {4, "Reduced3"},
        {5, "Reduced4"},
        {6, "Imploded"},
        {7, "Tokenized"},
        {8, "Deflated"},
        {9, "Deflated64"},
        {10, "Imploded(TERSE)"},
        {12, "BZIP2"},
        {14, "LZMA"},
        {18, "TERSE"},
        {19, "LZ77"},
        {97, "WavPack"},
        {98, "PPMd version I, Rev 1"},
    };
    for (int code = 0; code <= 0xFFFF; ++code) {
        const auto it = named.find(code);
        ASSERT_EQ(
            CompressionMethodName(uint16_t(code)), QLatin1String(it == named.end() ? "Unknown" : it->second))
            << code;
    }
}

} // namespace
