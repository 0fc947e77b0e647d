#include "ZipTestSupport.h"

#include <sys/stat.h>

using ZipBuilder::TArchive;

namespace {

class ZipReaderTest : public ZipTestBase
{
protected:
    // Open and return the reader, or fail the test.
    TZipFile &Opened(const QByteArray &bytes)
    {
        FZip.Open(WriteArchive(bytes), zmRead);
        return FZip;
    }

    QString OpenError(const QByteArray &bytes)
    {
        const QString path = WriteArchive(bytes);
        return ErrorOf([&] {
            FZip.Open(path, zmRead);
        });
    }

    TZipFile FZip;
};

TArchive TwoEntries()
{
    TArchive a;
    a.Add("docs/", {});
    a.Add("docs/readme.txt", "hello, world", 8).Comment = "the readme";
    return a;
}

TEST_F(ZipReaderTest, ListsEntriesInDirectoryOrderWithTheirFields)
{
    TArchive a = TwoEntries();
    a.Entries[1].Extra = QByteArray("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9);
    a.Comment = "archive";
    TZipFile &zip = Opened(a.Build());
    ASSERT_EQ(zip.FileCount(), 2);
    EXPECT_EQ(zip.FileName(0), QStringLiteral("docs/"));
    EXPECT_EQ(zip.FileName(1), QStringLiteral("docs/readme.txt"));
    EXPECT_EQ(zip.FileComment(1), QStringLiteral("the readme"));
    EXPECT_EQ(zip.FileComment(0), QString());
    EXPECT_EQ(zip.Comment(), QStringLiteral("archive"));

    const TZipHeader h = zip.FileInfo(1);
    EXPECT_EQ(h.CompressionMethod, 8);
    EXPECT_EQ(h.UncompressedSize, 12u);
    EXPECT_EQ(h.CompressedSize, uint32_t(ZipBuilder::RawDeflate("hello, world").size()));
    EXPECT_EQ(h.CRC32, ZipBuilder::Crc32("hello, world"));
    EXPECT_EQ(h.ModifiedDateTime, 0x413B73DDu);
    EXPECT_EQ(h.MadeByVersion, 0x031E);
    EXPECT_EQ(h.RequiredVersion, 20);
    EXPECT_EQ(h.FileNameLength, 15);
    EXPECT_EQ(h.ExtraFieldLength, 9);
    EXPECT_EQ(h.FileCommentLength, 10);
    EXPECT_EQ(h.ExtraField, a.Entries[1].Extra);
    EXPECT_EQ(h.LocalHeaderOffset, uint32_t(30 + 5));
    EXPECT_EQ(h.FileName.Bytes, QByteArray("docs/readme.txt"));
}

TEST_F(ZipReaderTest, EndRecordAsTheLastBytesHasAnEmptyComment)
{
    const QByteArray bytes = TwoEntries().Build();
    ASSERT_EQ(bytes.right(22).left(4), QByteArray("PK\x05\x06"));
    const QString path = WriteArchive(bytes);
    EXPECT_TRUE(TZipFile::IsValid(path));
    FZip.Open(path, zmRead);
    EXPECT_EQ(FZip.Comment(), QString());
    EXPECT_EQ(FZip.FileCount(), 2);
}

TEST_F(ZipReaderTest, OnlyAnEndRecordOpensWithNoEntries)
{
    EXPECT_EQ(ZipBuilder::EmptyArchive().size(), 22);
    EXPECT_EQ(Opened(ZipBuilder::EmptyArchive()).FileCount(), 0);
}

TEST_F(ZipReaderTest, LongestCommentIsFoundOneMoreIsNot)
{
    for (const int length : {65513, 65514, 65535}) {
        SCOPED_TRACE(length);
        const QByteArray comment(length, 'c');
        TArchive a = TwoEntries();
        a.Comment = comment;
        const QString path = WriteArchive(a.Build());
        ASSERT_GE(QFileInfo(path).size(), 65535);
        if (length == 65513) {
            EXPECT_TRUE(TZipFile::IsValid(path));
            FZip.Open(path, zmRead);
            EXPECT_EQ(FZip.Comment(), QString::fromLatin1(comment));
            EXPECT_EQ(FZip.FileCount(), 2);
        } else {
            EXPECT_FALSE(TZipFile::IsValid(path));
            EXPECT_EQ(ErrorOf([&] {
                FZip.Open(path, zmRead);
            }),
                QStringLiteral("Error reading zip file"));
        }
    }
}

TEST_F(ZipReaderTest, TinyFilesAreNeverValid)
{
    const QByteArray signature("PK\x05\x06", 4);
    for (int size = 0; size <= 4; ++size) {
        SCOPED_TRACE(size);
        const QString path = WriteArchive(signature.left(size));
        EXPECT_FALSE(TZipFile::IsValid(path));
        EXPECT_EQ(ErrorOf([&] {
            FZip.Open(path, zmRead);
        }),
            size == 0 ? QStringLiteral("Stream read error") : QStringLiteral("Error reading zip file"));
        EXPECT_EQ(ErrorOf([&] {
            FZip.FileCount();
        }),
            QStringLiteral("File must be open"));
    }
}

TEST_F(ZipReaderTest, SignatureInsideAnotherFileMakesItValid)
{
    QByteArray text(5000, 'x');
    text += QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'); // zero records
    text += "some more text after it";
    const QString path = WriteArchive(text, QStringLiteral("notes.txt"));
    EXPECT_TRUE(TZipFile::IsValid(path));
    FZip.Open(path, zmRead);
    EXPECT_EQ(FZip.FileCount(), 0);
    EXPECT_EQ(FZip.Comment(), QString());
}

TEST_F(ZipReaderTest, SignatureWithADirectoryOfTextRaisesHeaderSignature)
{
    QByteArray text(5000, 'x');
    QByteArray record("PK\x05\x06", 4);
    ZipBuilder::PutU16(record, 0);
    ZipBuilder::PutU16(record, 0);
    ZipBuilder::PutU16(record, 1);
    ZipBuilder::PutU16(record, 1);
    ZipBuilder::PutU32(record, 46);
    ZipBuilder::PutU32(record, 100);
    ZipBuilder::PutU16(record, 0);
    const QString path = WriteArchive(text + record, QStringLiteral("notes.txt"));
    EXPECT_TRUE(TZipFile::IsValid(path));
    EXPECT_EQ(ErrorOf([&] {
        FZip.Open(path, zmRead);
    }),
        QStringLiteral("Invalid Zip Central Header signature"));
    EXPECT_EQ(ErrorOf([&] {
        FZip.FileCount();
    }),
        QStringLiteral("File must be open"));
}

TEST_F(ZipReaderTest, SignatureTooNearTheEndIsPassedOver)
{
    // 50 4B 05 06 with fewer than 18 bytes after it cannot be an end record.
    for (int tail = 0; tail < 18; ++tail) {
        SCOPED_TRACE(tail);
        const QByteArray stray = QByteArray("PK\x05\x06", 4) + QByteArray(tail, '\0');
        EXPECT_FALSE(TZipFile::IsValid(WriteArchive(QByteArray(100, 'x') + stray)));
        // An archive before it is still found, and its fields read.
        TArchive a = TwoEntries();
        a.Comment = stray;
        EXPECT_EQ(Opened(a.Build()).FileCount(), 2);
        EXPECT_EQ(FZip.Comment().size(), 4 + tail);
    }
}

TEST_F(ZipReaderTest, SignatureNearestTheEndWins)
{
    // A second end record hidden in the archive comment: no entries, comment "x".
    TArchive a = TwoEntries();
    a.Comment = ZipBuilder::EmptyArchive("x");
    TZipFile &zip = Opened(a.Build());
    EXPECT_EQ(zip.FileCount(), 0);
    EXPECT_EQ(zip.Comment(), QStringLiteral("x"));
}

TEST_F(ZipReaderTest, SignatureStraddlingTwoSearchWindowsIsSeen)
{
    // The first window is the last 1028 bytes; put the record across its lower edge.
    for (const int commentLength : {1004, 1005, 1006, 1007, 1008, 2030, 2031, 2032}) {
        SCOPED_TRACE(commentLength);
        TArchive a = TwoEntries();
        a.Comment = QByteArray(commentLength, 'c');
        EXPECT_EQ(Opened(a.Build()).FileCount(), 2);
    }
}

TEST_F(ZipReaderTest, CommentCutShortByTheFileEndKeepsWhatIsThere)
{
    TArchive a = TwoEntries();
    a.Comment = "short";
    a.CommentLength = 60000;
    TZipFile &zip = Opened(a.Build());
    EXPECT_EQ(zip.Comment(), QStringLiteral("short"));
    EXPECT_EQ(zip.FileCount(), 2);
}

TEST_F(ZipReaderTest, NamesAndCommentsFollowTheirFlagArchiveCommentIsAlwaysCp437)
{
    struct Case
    {
        uint16_t flag;
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {0, "\x81.txt", QStringLiteral(u"\u00FC.txt")},
        {0x0800, "\xC3\xBC.txt", QStringLiteral(u"\u00FC.txt")},
        {0, "\xC3\xBC.txt", QStringLiteral(u"\u251C\u255D.txt")},
        {0, "\xE1\x9B\xF9", QStringLiteral(u"\u00DF\u00A2\u2219")},
    };
    for (const Case &c : cases) {
        TArchive a;
        auto &e = a.Add(c.bytes, "data");
        e.Flag = c.flag;
        e.Comment = c.bytes;
        a.Comment = "\x81";
        TZipFile &zip = Opened(a.Build());
        EXPECT_EQ(zip.FileName(0), c.text);
        EXPECT_EQ(zip.FileComment(0), c.text);
        EXPECT_EQ(zip.FileInfo(0).FileName.CodePage, c.flag ? zcpUtf8 : zcpCp437);
        EXPECT_EQ(zip.Comment(), QStringLiteral(u"\u00FC"));
    }
}

TEST_F(ZipReaderTest, AccessorsNeedAnOpenArchiveAndAnIndexInRange)
{
    const QString closed = QStringLiteral("File must be open");
    EXPECT_EQ(ErrorOf([&] {
        FZip.FileCount();
    }),
        closed);
    EXPECT_EQ(ErrorOf([&] {
        FZip.FileName(0);
    }),
        closed);
    EXPECT_EQ(ErrorOf([&] {
        FZip.FileInfo(0);
    }),
        closed);
    EXPECT_EQ(ErrorOf([&] {
        FZip.FileComment(0);
    }),
        closed);
    EXPECT_EQ(FZip.Comment(), QString());

    TArchive a = TwoEntries();
    a.Comment = "kept";
    Opened(a.Build());
    const QString range = QStringLiteral("Argument out of range");
    for (const int index : {-1, 2, 1000}) {
        EXPECT_EQ(ErrorOf([&] {
            FZip.FileName(index);
        }),
            range);
        EXPECT_EQ(ErrorOf([&] {
            FZip.FileInfo(index);
        }),
            range);
        EXPECT_EQ(ErrorOf([&] {
            FZip.FileComment(index);
        }),
            range);
    }
    FZip.Close();
    FZip.Close();
    EXPECT_EQ(ErrorOf([&] {
        FZip.FileName(0);
    }),
        closed);
    EXPECT_EQ(FZip.Comment(), QStringLiteral("kept"));
}

TEST_F(ZipReaderTest, OpenClosesThePreviousArchiveAndAFailedOpenHoldsNothing)
{
    Opened(TwoEntries().Build());
    TArchive one;
    one.Add("only.txt", "1");
    FZip.Open(WriteArchive(one.Build(), QStringLiteral("one.zip")), zmRead);
    EXPECT_EQ(FZip.FileCount(), 1);
    EXPECT_EQ(FZip.FileName(0), QStringLiteral("only.txt"));

    const QString bad = WriteArchive(QByteArray(100, 'x'), QStringLiteral("bad.zip"));
    EXPECT_EQ(ErrorOf([&] {
        FZip.Open(bad, zmRead);
    }),
        QStringLiteral("Error reading zip file"));
    EXPECT_EQ(FZip.Mode(), zmClosed);
    EXPECT_EQ(ErrorOf([&] {
        FZip.FileCount();
    }),
        QStringLiteral("File must be open"));
}

TEST_F(ZipReaderTest, MissingFilesAndFoldersAreNotArchives)
{
    const QString missing = PathOf(QStringLiteral("missing.zip"));
    EXPECT_FALSE(TZipFile::IsValid(missing));
    EXPECT_FALSE(TZipFile::IsValid(FDir.path()));
    EXPECT_FALSE(TZipFile::IsValid(QString()));
    EXPECT_EQ(ErrorOf([&] {
        FZip.Open(missing, zmRead);
    }),
        QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(missing));
    EXPECT_EQ(ErrorOf([&] {
        FZip.Open(FDir.path(), zmRead);
    }),
        QStringLiteral("Cannot open file \"%1\". Is a directory").arg(FDir.path()));
}

TEST_F(ZipReaderTest, RelativeNamesAreShownInFullInErrors)
{
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(FDir.path()));
    const QString message = ErrorOf([&] {
        FZip.Open(QStringLiteral("nope.zip"), zmRead);
    });
    QDir::setCurrent(cwd);
    EXPECT_EQ(message,
        QStringLiteral("Cannot open file \"%1\". No such file or directory")
            .arg(PathOf(QStringLiteral("nope.zip"))));
}

TEST_F(ZipReaderTest, FifoIsNeitherValidNorOpenedAndNothingWaits)
{
    const QString fifo = PathOf(QStringLiteral("pipe.zip"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(TZipFile::IsValid(fifo));
    EXPECT_TRUE(ErrorOf([&] {
        FZip.Open(fifo, zmRead);
    }).startsWith(QStringLiteral("Cannot open file \"%1\". ").arg(fifo)));
    EXPECT_EQ(FZip.Mode(), zmClosed);
}

TEST_F(ZipReaderTest, DamagedDirectoryRecordsGiveTheirMessages)
{
    const QString badSignature = QStringLiteral("Invalid Zip Central Header signature");
    const QString readError = QStringLiteral("Error reading zip file");
    struct Case
    {
        const char *what;
        std::function<TArchive()> make;
        QString message;
    };
    const Case cases[] = {
        {"more records counted than exist",
            [] {
                TArchive a = TwoEntries();
                a.EntryCount = 3;
                return a;
            },
            badSignature},
        {"directory beyond the file",
            [] {
                TArchive a = TwoEntries();
                a.DirectoryOffset = 0xFFFFFFF0u;
                return a;
            },
            badSignature},
        {"directory at a local header",
            [] {
                TArchive a = TwoEntries();
                a.DirectoryOffset = 0;
                return a;
            },
            badSignature},
        {"65535 records in a small file",
            [] {
                TArchive a = TwoEntries();
                a.EntryCount = 65535;
                return a;
            },
            badSignature},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(OpenError(c.make().Build()), c.message);
    }

    // Records cut short: the end record follows right after the cut, so the
    // fixed fields or the name run into it and then off the file.
    TArchive longName;
    longName.Add(QByteArray(40, 'n'), "1");
    const QByteArray whole = longName.Build();
    const int start = whole.indexOf(QByteArray("PK\x01\x02", 4));
    for (const int cut : {4 + 10, 46 + 2}) {
        SCOPED_TRACE(cut);
        QByteArray end("PK\x05\x06", 4);
        ZipBuilder::PutU32(end, 0);
        ZipBuilder::PutU16(end, 1);
        ZipBuilder::PutU16(end, 1);
        ZipBuilder::PutU32(end, 46);
        ZipBuilder::PutU32(end, uint32_t(start));
        ZipBuilder::PutU16(end, 0);
        EXPECT_EQ(OpenError(whole.left(start + cut) + end), readError);
    }
    // The second record is missing: the end record stands where it should be.
    TArchive twoCut = TwoEntries();
    twoCut.EntryCount = 2;
    QByteArray cutBytes = twoCut.Build();
    const int second = cutBytes.lastIndexOf(QByteArray("PK\x01\x02", 4));
    QByteArray end("PK\x05\x06", 4);
    ZipBuilder::PutU32(end, 0);
    ZipBuilder::PutU16(end, 2);
    ZipBuilder::PutU16(end, 2);
    ZipBuilder::PutU32(end, 0);
    ZipBuilder::PutU32(end, uint32_t(cutBytes.indexOf(QByteArray("PK\x01\x02", 4))));
    ZipBuilder::PutU16(end, 0);
    EXPECT_EQ(OpenError(cutBytes.left(second) + end), badSignature);
    // A name longer than the file.
    TArchive a;
    a.Add("x", "1");
    QByteArray bytes = a.Build();
    const int cd = bytes.indexOf(QByteArray("PK\x01\x02", 4));
    bytes[cd + 28] = char(0xFF);
    bytes[cd + 29] = char(0xFF);
    EXPECT_EQ(OpenError(bytes), readError);
}

TEST_F(ZipReaderTest, DirectoryWithMoreRecordsThanCountedIsReadOnlyAsFarAsTheCount)
{
    TArchive a = TwoEntries();
    a.EntryCount = 1;
    EXPECT_EQ(Opened(a.Build()).FileCount(), 1);
}

TEST_F(ZipReaderTest, ListsTheLargestDirectory)
{
    TArchive a;
    for (int i = 0; i < 65535; ++i)
        a.Add(QByteArray::number(i) + ".txt", {});
    TZipFile &zip = Opened(a.Build());
    ASSERT_EQ(zip.FileCount(), 65535);
    EXPECT_EQ(zip.FileName(0), QStringLiteral("0.txt"));
    EXPECT_EQ(zip.FileName(65534), QStringLiteral("65534.txt"));
}

TEST(CompressionMethodNameTest, NamesEveryCode)
{
    const std::map<int, QString> named = {
        {0, QStringLiteral("Stored")},
        {1, QStringLiteral("Shrunk")},
        {2, QStringLiteral("Reduced1")},
        {3, QStringLiteral("Reduced2")},
        {4, QStringLiteral("Reduced3")},
        {5, QStringLiteral("Reduced4")},
        {6, QStringLiteral("Imploded")},
        {7, QStringLiteral("Tokenized")},
        {8, QStringLiteral("Deflated")},
        {9, QStringLiteral("Deflated64")},
        {10, QStringLiteral("Imploded(TERSE)")},
        {12, QStringLiteral("BZIP2")},
        {14, QStringLiteral("LZMA")},
        {18, QStringLiteral("TERSE")},
        {19, QStringLiteral("LZ77")},
        {97, QStringLiteral("WavPack")},
        {98, QStringLiteral("PPMd version I, Rev 1")},
    };
    for (int code = 0; code <= 0xFFFF; ++code) {
        const auto it = named.find(code);
        ASSERT_EQ(
            CompressionMethodName(uint16_t(code)), it == named.end() ? QStringLiteral("Unknown") : it->second)
            << code;
    }
}

} // namespace
