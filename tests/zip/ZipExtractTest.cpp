#include "ZipTestSupport.h"
#include "zip/CompressionHandlers.h"
#include "zip/ExtractTarget.h"
#include "zip/private/InflateStream.h"

#include <QDirIterator>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

using ZipBuilder::TArchive;

namespace {

constexpr uint16_t kDescriptor = 1u << 3;

QByteArray Pattern(int size)
{
    QByteArray out(size, Qt::Uninitialized);
    uint32_t x = 12345;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = "abcdefgh ijklmnop\n"[(x >> 16) % 18];
    }
    return out;
}

class ZipExtractTest : public ZipTestBase
{
protected:
    void Open(const TArchive &archive) { FZip.Open(WriteArchive(archive.Build()), zmRead); }
    QByteArray Out(const QString &name) const { return ReadAll(FOut + QLatin1Char('/') + name); }

    // What lies below the test folder besides the archive, relative and sorted.
    QStringList Tree() const
    {
        QStringList out;
        QDirIterator it(FDir.path(),
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System,
            QDirIterator::Subdirectories);
        while (it.hasNext())
            out << QDir(FDir.path()).relativeFilePath(it.next());
        out.removeAll(QStringLiteral("test.zip"));
        out.sort();
        return out;
    }

    QString FOut = PathOf(QStringLiteral("out"));
    TZipFile FZip;
};

TEST_F(ZipExtractTest, WritesEveryKindOfEntry)
{
    const QByteArray big = Pattern(300000);
    TArchive a;
    a.Add("stored.txt", "stored bytes");
    a.Add("stored-big.bin", big);
    a.Add("deflated.txt", big, 8);
    a.Add("descriptor.txt", big, 8).Flag = kDescriptor;
    a.Add("stored-descriptor.txt", "stored with descriptor").Flag = kDescriptor;
    a.Add("empty.txt", {});
    a.Add("empty-deflated.txt", {}, 8);
    a.Add("a/b/deep.txt", "deep", 8);
    a.Add("./x//y/./odd.txt", "odd but inside");
    a.Add("docs/", {});
    Open(a);
    for (int i = 0; i < FZip.FileCount(); ++i)
        FZip.Extract(i, FOut);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(Out(QString::fromLatin1(a.Entries[size_t(i)].Name)), a.Entries[size_t(i)].Data) << i;
    EXPECT_EQ(Out(QStringLiteral("a/b/deep.txt")), QByteArray("deep"));
    EXPECT_EQ(Out(QStringLiteral("x/y/odd.txt")), QByteArray("odd but inside"));
    EXPECT_TRUE(QFileInfo(FOut + QStringLiteral("/docs")).isDir());
    EXPECT_EQ(FZip.FileCount(), 10); // still open
}

TEST_F(ZipExtractTest, FolderEntryCreatesOnlyItsFolderWithoutSubfoldersOnlyTheLastPartCounts)
{
    TArchive a;
    a.Add("docs/", {});
    a.Add("a/b/flat.txt", "flat");
    a.Add("a/..", "climbs");
    Open(a);
    FZip.Extract(0, FOut);
    EXPECT_EQ(Tree(), QStringList({QStringLiteral("out"), QStringLiteral("out/docs")}));
    FZip.Extract(1, FOut, false);
    FZip.Extract(0, FOut, false);
    EXPECT_RAISES(FZip.Extract(2, FOut, false), QStringLiteral("Invalid characters in path"));
    EXPECT_EQ(Tree(),
        QStringList({QStringLiteral("out"), QStringLiteral("out/docs"), QStringLiteral("out/flat.txt")}));
}

TEST_F(ZipExtractTest, SecondExtractionReplacesTheFirst)
{
    TArchive a;
    a.Add("f.txt", "new");
    Open(a);
    ASSERT_TRUE(QDir().mkpath(FOut));
    ASSERT_TRUE(ZipBuilder::WriteBytes(FOut + QStringLiteral("/f.txt"), "a much longer earlier copy"));
    FZip.Extract(0, FOut);
    FZip.Extract(0, FOut);
    EXPECT_EQ(Out(QStringLiteral("f.txt")), QByteArray("new"));
}

TEST_F(ZipExtractTest, FailuresGiveTheirMessageAndUnknownMethodsCreateNothing)
{
    const std::pair<std::function<void(ZipBuilder::TEntry &)>, const char *> rows[] = {
        {[](auto &e) {
             e.Method = 12;
         },
            "Item not found"},
        {[](auto &e) {
             e.Method = 99;
         },
            "The entry is encrypted"},
        {[](auto &e) {
             e.Payload = QByteArray("\xff\xff\xff\xff garbage", 13);
         },
            "data error"},
        {[](auto &e) {
             e.UncompressedSize = 5000;
         },
            "Stream read error"},
        {[](auto &e) {
             e.Method = 0, e.UncompressedSize = 5000;
         },
            "Stream read error"},
        {[](auto &e) {
             e.Method = 0, e.Flag = kDescriptor, e.CompressedSize = 100000;
         },
            "Stream read error"},
        {[](auto &e) {
             e.LocalSignature = 0x12345678;
         },
            "Invalid Zip Local Header signature"},
        {[](auto &e) {
             e.LocalHeaderOffset = 0x7FFFFFFF;
         },
            "Invalid Zip Local Header signature"},
    };
    for (const auto &[damage, message] : rows) {
        SCOPED_TRACE(message);
        QDir(FOut).removeRecursively();
        TArchive a;
        damage(a.Add("sub/data.txt", "some text to compress, some text to compress", 8));
        Open(a);
        EXPECT_RAISES(FZip.Extract(0, FOut), QLatin1String(message));
        EXPECT_EQ(FZip.FileCount(), 1);
        // Nothing is created before the header and the method pass.
        if (QLatin1String(message) != QLatin1String("Stream read error")
            && QLatin1String(message) != QLatin1String("data error")) {
            EXPECT_EQ(Tree(), QStringList());
        }
    }

    // A local name length that runs off the end of the file.
    TArchive a;
    a.Add("data.txt", "x");
    QByteArray bytes = a.Build();
    bytes[26] = bytes[27] = char(0xFF);
    FZip.Open(WriteArchive(bytes), zmRead);
    EXPECT_RAISES(FZip.Extract(0, FOut), QStringLiteral("Stream read error"));

    FZip.Close();
    EXPECT_RAISES(FZip.Extract(0, FOut), QStringLiteral("File must be open for reading"));
    FZip.Open(WriteArchive(ZipBuilder::EmptyArchive()), zmRead);
    EXPECT_RAISES(FZip.Extract(0, FOut), QStringLiteral("The specified file was not found"));
}

// A damaged entry keeps the file it would replace and leaves no piece of itself.
TEST_F(ZipExtractTest, AFailedEntryKeepsTheOldFileAndLeavesNothing)
{
    const QByteArray text = Pattern(50000);
    const QByteArray old = Pattern(19000).toUpper();
    const std::pair<std::function<void(ZipBuilder::TEntry &)>, QString> rows[] = {
        {[](auto &e) {
             e.Crc = 1234;
         },
            QStringLiteral("CRC error in thesis.txt")},
        {[](auto &e) {
             e.Payload->replace(200, 40, QByteArray(40, '\xff'));
         },
            QStringLiteral("data error")},
        {[](auto &e) {
             e.Payload->truncate(e.Payload->size() / 2);
         },
            QStringLiteral("Stream read error")},
        {[](auto &e) {
             e.CompressedSize = e.UncompressedSize = 0xFFFFFFFF;
             e.Extra = ZipBuilder::Zip64Extra({1ull << 40, 1ull << 40});
         },
            QStringLiteral("Stream read error")},
    };
    ASSERT_TRUE(QDir().mkpath(FOut));
    for (const auto &[damage, message] : rows) {
        SCOPED_TRACE(message.toStdString());
        ASSERT_TRUE(ZipBuilder::WriteBytes(FOut + QStringLiteral("/thesis.txt"), old));
        TArchive a;
        auto &e = a.Add("thesis.txt", text, 8);
        e.Payload = ZipBuilder::RawDeflate(text);
        damage(e);
        Open(a);
        EXPECT_RAISES(FZip.Extract(0, FOut), message);
        EXPECT_EQ(Out(QStringLiteral("thesis.txt")), old);
        EXPECT_EQ(Tree(), QStringList({QStringLiteral("out"), QStringLiteral("out/thesis.txt")}));
        FZip.Close();
    }
}

TEST_F(ZipExtractTest, NamesLeadingOutsideTheTargetAreRefusedBeforeAnythingIsCreated)
{
    const QByteArray names[] = {
        "../evil",
        "a/../../evil",
        "a/b/../../../evil",
        "..",
        "../",
        QFile::encodeName(PathOf(QStringLiteral("evil"))),
        QFile::encodeName(PathOf(QStringLiteral("absolute/evil"))),
        QByteArray("ok/evil\0.txt", 12),
        "",
        ".",
        "a/.",
    };
    for (const QByteArray &name : names) {
        SCOPED_TRACE(name.toStdString());
        TArchive a;
        a.Add(name, "evil", 8);
        Open(a);
        EXPECT_RAISES(FZip.Extract(0, FOut), QStringLiteral("Invalid characters in path"));
        EXPECT_EQ(Tree(), QStringList());
    }
    EXPECT_FALSE(QFileInfo::exists(PathOf(QStringLiteral("absolute"))));
    EXPECT_RAISES(JoinExtractPath(QString(QChar(0)), QStringLiteral("x")),
        QStringLiteral("Invalid characters in path"));
}

TEST_F(ZipExtractTest, LinksInsideTheTargetAreNeverFollowed)
{
    const QString outside = PathOf(QStringLiteral("outside"));
    ASSERT_TRUE(QDir().mkpath(outside) && QDir().mkpath(FOut));
    ASSERT_TRUE(ZipBuilder::WriteBytes(outside + QStringLiteral("/victim.txt"), "precious"));
    ASSERT_TRUE(QFile::link(outside, FOut + QStringLiteral("/dirlink")));
    ASSERT_TRUE(QFile::link(outside + QStringLiteral("/victim.txt"), FOut + QStringLiteral("/filelink.txt")));
    ASSERT_TRUE(ZipBuilder::WriteBytes(FOut + QStringLiteral("/file"), "a file"));

    TArchive a;
    a.Add("dirlink/victim.txt", "overwritten");
    a.Add("dirlink/", {});
    a.Add("file/inner.txt", "x");
    a.Add("filelink.txt", "replaces the link");
    Open(a);
    EXPECT_RAISES(FZip.Extract(0, FOut),
        QStringLiteral("Cannot create file \"%1/dirlink/victim.txt\". Not a directory").arg(FOut));
    EXPECT_TRUE(ErrorOf([&] {
        FZip.Extract(1, FOut);
    }).startsWith(QStringLiteral("Cannot create file")));
    EXPECT_RAISES(FZip.Extract(2, FOut),
        QStringLiteral("Cannot create file \"%1/file/inner.txt\". Not a directory").arg(FOut));
    FZip.Extract(3, FOut);

    EXPECT_EQ(ReadAll(outside + QStringLiteral("/victim.txt")), QByteArray("precious"));
    EXPECT_EQ(QDir(outside).entryList(QDir::Files), QStringList(QStringLiteral("victim.txt")));
    EXPECT_FALSE(QFileInfo(FOut + QStringLiteral("/filelink.txt")).isSymLink());
    EXPECT_EQ(Out(QStringLiteral("filelink.txt")), QByteArray("replaces the link"));
}

// Lying sizes never make an output larger than the directory says.
TEST_F(ZipExtractTest, OutputIsBoundedByTheDeclaredSize)
{
    const QByteArray big = Pattern(200000);
    TArchive a;
    // Each liar's CRC fits its declared bytes, so only the bound can stop it.
    auto &longer = a.Add("longer-than-declared", big, 8);
    longer.UncompressedSize = 1000, longer.Crc = ZipBuilder::Crc32(big.left(1000));
    auto &lies = a.Add("descriptor-lies", big, 8);
    lies.Flag = kDescriptor, lies.UncompressedSize = 5000, lies.Crc = ZipBuilder::Crc32(big.left(5000));
    auto &zero = a.Add("descriptor-zero", big, 8);
    zero.Flag = kDescriptor, zero.UncompressedSize = 0, zero.Crc = 0;
    a.Add("stored-descriptor", "exactly this").Flag = kDescriptor;
    a.Add("next", "the next entry's bytes");
    // The overlap trick: more records sharing the first entry's data.
    for (int i = 1; i < 20; ++i) {
        auto &e = a.Add("shared" + QByteArray::number(i), big, 8);
        e.LocalHeaderOffset = 0, e.UncompressedSize = uint32_t(100 * i);
        e.Crc = ZipBuilder::Crc32(big.left(100 * i));
    }
    Open(a);
    for (int i = 0; i < FZip.FileCount(); ++i)
        FZip.Extract(i, FOut);
    EXPECT_EQ(Out(QStringLiteral("longer-than-declared")), big.left(1000));
    EXPECT_EQ(Out(QStringLiteral("descriptor-lies")), big.left(5000));
    EXPECT_EQ(Out(QStringLiteral("descriptor-zero")), QByteArray());
    EXPECT_EQ(Out(QStringLiteral("stored-descriptor")), QByteArray("exactly this"));
    for (int i = 1; i < 20; ++i)
        ASSERT_EQ(Out(QStringLiteral("shared%1").arg(i)), big.left(100 * i));
}

TEST_F(ZipExtractTest, FailedWritesAreReportedOnBothCopyPaths)
{
    TArchive a;
    a.Add("exact.bin", Pattern(100000), 8);
    a.Add("blocks.bin", Pattern(100000), 8).Flag = kDescriptor;
    a.Add("stored.bin", Pattern(100000), 0); // copied by the kernel
    Open(a);
    // A file size limit makes write() fail with EFBIG once the signal is ignored.
    struct rlimit saved
    { };
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 10000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const QStringList errors = {ErrorOf([&] {
                                    FZip.Extract(0, FOut);
                                }),
        ErrorOf([&] {
            FZip.Extract(1, FOut);
        }),
        ErrorOf([&] {
            FZip.Extract(2, FOut);
        })};
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(errors, QStringList(3, QStringLiteral("Stream write error")));
}

// A stream that hands out a fixed text.
class TTextStream : public TStream
{
public:
    explicit TTextStream(QByteArray text)
        : FText(std::move(text))
    { }
    int64_t Read(void *buffer, int64_t count) override
    {
        const int64_t n = std::min<int64_t>(count, FText.size() - FAt);
        memcpy(buffer, FText.constData() + FAt, size_t(n));
        FAt += n;
        return n;
    }

private:
    QByteArray FText;
    int64_t FAt = 0;
};

TEST_F(ZipExtractTest, RegisteredHandlersServeTheirMethodWithTheLocalHeader)
{
    QByteArray seenLocalName;
    RegisterCompressionHandler(200, nullptr, [&](TSeekableStream &, TZipFile &, const TZipHeader &local) {
        seenLocalName = local.FileName.Bytes;
        return std::unique_ptr<TStream>(new TTextStream("made by the handler"));
    });
    TArchive a;
    a.Add("custom.txt", "made by the handler", 200).LocalName = "local-name.txt";
    Open(a);
    FZip.Extract(0, FOut);
    EXPECT_EQ(seenLocalName, QByteArray("local-name.txt"));
    EXPECT_EQ(Out(QStringLiteral("custom.txt")), QByteArray("made by the handler"));
    RegisterCompressionHandler(200, nullptr, nullptr); // replaces the pair
    EXPECT_RAISES(FZip.Extract(0, FOut), QStringLiteral("Item not found"));
    RegisterStandardCompressionHandlers();
    EXPECT_TRUE(FindDecompressor(0) && FindDecompressor(8) && !FindDecompressor(12));
}

TEST(JoinExtractPathTest, JoinsWithOneSeparator)
{
    const char *rows[][3] = {
        {"", "b", "b"}, {"a", "", "a"}, {"a", "b/c", "a/b/c"}, {"a/", "b", "a/b"}, {"a:", "b", "a:/b"}};
    for (const auto &row : rows)
        EXPECT_EQ(JoinExtractPath(QLatin1String(row[0]), QLatin1String(row[1])), QLatin1String(row[2]));
}

// An archive stream in memory.
class TMemoryStream : public TSeekableStream
{
public:
    explicit TMemoryStream(QByteArray bytes)
        : FBytes(std::move(bytes))
    { }
    int64_t Read(void *buffer, int64_t count) override
    {
        const int64_t n = std::max<int64_t>(0, std::min<int64_t>(count, FBytes.size() - FPosition));
        memcpy(buffer, FBytes.constData() + FPosition, size_t(n));
        FPosition += n;
        return n;
    }
    int64_t Position() const override { return FPosition; }
    void Seek(int64_t position) override { FPosition = position; }
    int64_t Size() const override { return FBytes.size(); }

private:
    QByteArray FBytes;
    int64_t FPosition = 0;
};

TEST(InflateStreamTest, LeavesTheArchiveJustAfterTheDataAndResumesWhereItWas)
{
    for (const int size : {0, 1000, 300000}) {
        const QByteArray data = Pattern(size);
        const QByteArray packed = ZipBuilder::RawDeflate(data);
        TMemoryStream source(QByteArray("HEAD") + packed + QByteArray("TAIL"));
        source.Seek(4);
        TInflateStream inflate(source);
        QByteArray out(size + 100, '\0');
        const int64_t first = inflate.ReadFully(out.data(), std::min(size, 500));
        source.Seek(0); // someone else moved the archive
        EXPECT_EQ(first + inflate.ReadFully(out.data() + first, out.size() - first), size);
        EXPECT_EQ(out.left(size), data);
        EXPECT_EQ(source.Position(), 4 + packed.size()) << size;
    }
}

TEST(InflateStreamTest, DrainsWhatZlibHoldsWhenTheArchiveEndsRightAfterTheData)
{
    // zlib may have taken in the last input byte while output is still owed.
    for (int run = 0; run < 400; ++run) {
        const QByteArray data = Pattern(300) + QByteArray(run, 'r');
        TMemoryStream source(ZipBuilder::RawDeflate(data));
        TInflateStream inflate(source);
        QByteArray out;
        char byte = 0;
        while (inflate.Read(&byte, 1) == 1)
            out += byte;
        ASSERT_EQ(out, data) << run;
    }
}

} // namespace
