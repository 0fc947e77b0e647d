#include "ZipTestSupport.h"
#include "zip/CompressionHandlers.h"
#include "zip/ExtractTarget.h"
#include "zip/Stream.h"

#include <QDirIterator>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using ZipBuilder::TArchive;

namespace {

QByteArray Pattern(int size)
{
    QByteArray out(size, Qt::Uninitialized);
    uint32_t x = 12345;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        // Compressible but not trivially so.
        out[i] = char("abcdefgh ijklmnop\n"[(x >> 16) % 18]);
    }
    return out;
}

class ZipExtractTest : public ZipTestBase
{
protected:
    void SetUp() override { FTarget = PathOf(QStringLiteral("out")); }

    void OpenArchive(const TArchive &archive) { FZip.Open(WriteArchive(archive.Build()), zmRead); }

    // Every path below the test folder, relative, sorted: what an extraction left behind.
    QStringList Tree() const
    {
        QStringList out;
        QDirIterator it(FDir.path(),
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
            QDirIterator::Subdirectories);
        while (it.hasNext())
            out << QDir(FDir.path()).relativeFilePath(it.next());
        out.removeAll(QStringLiteral("test.zip"));
        out.sort();
        return out;
    }

    QString FTarget;
    TZipFile FZip;
};

TEST_F(ZipExtractTest, WritesStoredDeflatedAndDescriptorEntries)
{
    const QByteArray big = Pattern(300000);
    TArchive a;
    a.Add("stored.txt", "stored bytes");
    a.Add("deflated.txt", big, 8);
    a.Add("descriptor.txt", big, 8).Flag = 1u << 3;
    a.Add("stored-descriptor.txt", "stored with descriptor").Flag = 1u << 3;
    a.Add("empty.txt", {});
    a.Add("empty-deflated.txt", {}, 8);
    a.Add("tiny.txt", "x", 8);
    OpenArchive(a);
    for (int i = 0; i < FZip.FileCount(); ++i)
        FZip.Extract(i, FTarget);
    for (const auto &e : a.Entries) {
        SCOPED_TRACE(e.Name.constData());
        EXPECT_EQ(ReadAll(FTarget + QLatin1Char('/') + QString::fromLatin1(e.Name)), e.Data);
        EXPECT_TRUE(QFileInfo(FTarget + QLatin1Char('/') + QString::fromLatin1(e.Name)).isFile());
    }
    EXPECT_EQ(FZip.FileCount(), 7); // still open after extracting
}

TEST_F(ZipExtractTest, CreatesFoldersOnTheWayAndFolderEntriesOnly)
{
    TArchive a;
    a.Add("docs/", {});
    a.Add("a/b/c/readme.txt", "deep", 8);
    a.Add("./x//y/./z.txt", "odd but inside");
    OpenArchive(a);
    FZip.Extract(0, FTarget);
    EXPECT_EQ(Tree(), QStringList({QStringLiteral("out"), QStringLiteral("out/docs")}));
    FZip.Extract(1, FTarget);
    EXPECT_EQ(ReadAll(FTarget + QStringLiteral("/a/b/c/readme.txt")), QByteArray("deep"));
    FZip.Extract(2, FTarget);
    EXPECT_EQ(ReadAll(FTarget + QStringLiteral("/x/y/z.txt")), QByteArray("odd but inside"));
}

TEST_F(ZipExtractTest, WithoutSubfoldersOnlyTheLastPartOfTheNameIsUsed)
{
    TArchive a;
    a.Add("a/b/readme.txt", "flat");
    a.Add("docs/", {});
    OpenArchive(a);
    ASSERT_TRUE(QDir().mkpath(FTarget));
    FZip.Extract(0, FTarget, false);
    FZip.Extract(1, FTarget, false);
    EXPECT_EQ(Tree(), QStringList({QStringLiteral("out"), QStringLiteral("out/readme.txt")}));
    EXPECT_EQ(ReadAll(FTarget + QStringLiteral("/readme.txt")), QByteArray("flat"));
}

TEST_F(ZipExtractTest, SecondExtractionReplacesTheFirst)
{
    TArchive a;
    a.Add("f.txt", "new");
    OpenArchive(a);
    ASSERT_TRUE(QDir().mkpath(FTarget));
    ASSERT_TRUE(ZipBuilder::WriteBytes(FTarget + QStringLiteral("/f.txt"), "a much longer earlier copy"));
    FZip.Extract(0, FTarget);
    EXPECT_EQ(ReadAll(FTarget + QStringLiteral("/f.txt")), QByteArray("new"));
    FZip.Extract(0, FTarget);
    EXPECT_EQ(ReadAll(FTarget + QStringLiteral("/f.txt")), QByteArray("new"));
}

TEST_F(ZipExtractTest, OnlyStoredAndDeflatedHaveHandlers)
{
    for (const uint16_t method : {1, 9, 12, 14, 99}) {
        SCOPED_TRACE(method);
        TArchive a;
        a.Add("sub/packed.bin", "whatever", method);
        OpenArchive(a);
        EXPECT_EQ(ErrorOf([&] {
            FZip.Extract(0, FTarget);
        }),
            QStringLiteral("Item not found"));
        EXPECT_EQ(Tree(), QStringList());
    }
}

TEST_F(ZipExtractTest, StateAndIndexAreChecked)
{
    EXPECT_EQ(ErrorOf([&] {
        FZip.Extract(0, FTarget);
    }),
        QStringLiteral("File must be open for reading"));
    FZip.Open(WriteArchive(ZipBuilder::EmptyArchive()), zmRead);
    EXPECT_EQ(ErrorOf([&] {
        FZip.Extract(0, FTarget);
    }),
        QStringLiteral("The specified file was not found"));
    EXPECT_EQ(ErrorOf([&] {
        FZip.Extract(-1, FTarget);
    }),
        QStringLiteral("The specified file was not found"));
    EXPECT_EQ(Tree(), QStringList());
}

TEST_F(ZipExtractTest, DamagedDataGivesTheStreamOrZlibMessage)
{
    struct Case
    {
        const char *what;
        std::function<void(TArchive &)> damage;
        QString message;
    };
    const Case cases[] = {
        {"corrupt deflate data",
            [](TArchive &a) {
                a.Entries[0].Payload = QByteArray("\xff\xff\xff\xff garbage", 13);
            },
            QStringLiteral("data error")},
        {"stored entry cut short",
            [](TArchive &a) {
                a.Entries[0].Method = 0;
                a.Entries[0].UncompressedSize = 5000;
            },
            QStringLiteral("Stream read error")},
        {"deflate data that stops early",
            [](TArchive &a) {
                a.Entries[0].UncompressedSize = 5000;
            },
            QStringLiteral("Stream read error")},
        {"local header missing",
            [](TArchive &a) {
                a.Entries[0].LocalSignature = 0x12345678;
            },
            QStringLiteral("Invalid Zip Local Header signature")},
        {"local header beyond the file",
            [](TArchive &a) {
                a.Entries[0].LocalHeaderOffset = 0x7FFFFFFF;
            },
            QStringLiteral("Invalid Zip Local Header signature")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TArchive a;
        a.Add("sub/data.txt", "some text to compress, some text to compress", 8);
        c.damage(a);
        const QByteArray bytes = a.Build();
        FZip.Open(WriteArchive(bytes), zmRead);
        EXPECT_EQ(ErrorOf([&] {
            FZip.Extract(0, FTarget);
        }),
            c.message);
        EXPECT_EQ(FZip.FileCount(), 1);
    }

    // A local name length that runs off the end of the file.
    TArchive a;
    a.Add("data.txt", "x");
    QByteArray bytes = a.Build();
    bytes[26] = char(0xFF);
    bytes[27] = char(0xFF);
    FZip.Open(WriteArchive(bytes), zmRead);
    EXPECT_EQ(ErrorOf([&] {
        FZip.Extract(0, FTarget);
    }),
        QStringLiteral("Stream read error"));
}

TEST_F(ZipExtractTest, NamesLeadingOutsideTheTargetAreRefusedBeforeAnythingIsCreated)
{
    const QString outside = PathOf(QStringLiteral("evil"));
    const QByteArray absolute = QFile::encodeName(outside);
    const QByteArray names[] = {
        "../evil",
        "../../evil",
        "a/../../evil",
        "a/b/../../../evil",
        "..",
        "../",
        absolute,
        "/etc/evil-from-a-test",
        QByteArray("a\0b", 3),
        QByteArray("ok/evil\0.txt", 12),
        "",
        ".",
        "a/.",
    };
    for (const QByteArray &name : names) {
        SCOPED_TRACE(name.toStdString());
        TArchive a;
        a.Add(name, "evil", 8);
        OpenArchive(a);
        EXPECT_EQ(ErrorOf([&] {
            FZip.Extract(0, FTarget);
        }),
            QStringLiteral("Invalid characters in path"));
        EXPECT_EQ(Tree(), QStringList());
    }
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/etc/evil-from-a-test")));
    EXPECT_EQ(ErrorOf([&] {
        JoinExtractPath(QString(QChar(0)), QStringLiteral("x"));
    }),
        QStringLiteral("Invalid characters in path"));
}

TEST_F(ZipExtractTest, WithoutSubfoldersAClimbingNameCannotEscapeEither)
{
    TArchive a;
    a.Add("a/..", "x");
    a.Add("../../safe.txt", "inside");
    OpenArchive(a);
    ASSERT_TRUE(QDir().mkpath(FTarget));
    EXPECT_EQ(ErrorOf([&] {
        FZip.Extract(0, FTarget, false);
    }),
        QStringLiteral("Invalid characters in path"));
    FZip.Extract(1, FTarget, false);
    EXPECT_EQ(Tree(), QStringList({QStringLiteral("out"), QStringLiteral("out/safe.txt")}));
}

TEST_F(ZipExtractTest, LinksInsideTheTargetAreNeverFollowed)
{
    const QString outside = PathOf(QStringLiteral("outside"));
    ASSERT_TRUE(QDir().mkpath(outside));
    ASSERT_TRUE(ZipBuilder::WriteBytes(outside + QStringLiteral("/victim.txt"), "precious"));
    ASSERT_TRUE(QDir().mkpath(FTarget));
    ASSERT_TRUE(QFile::link(outside, FTarget + QStringLiteral("/dirlink")));
    ASSERT_TRUE(
        QFile::link(outside + QStringLiteral("/victim.txt"), FTarget + QStringLiteral("/filelink.txt")));

    TArchive a;
    a.Add("dirlink/victim.txt", "overwritten");
    a.Add("dirlink/new.txt", "planted");
    a.Add("filelink.txt", "replaced the link");
    a.Add("dirlink/", {});
    OpenArchive(a);
    for (const int i : {0, 1, 3})
        EXPECT_TRUE(ErrorOf([&] {
            FZip.Extract(i, FTarget);
        }).startsWith(QStringLiteral("Cannot create file \"")))
            << i;
    FZip.Extract(2, FTarget);

    EXPECT_EQ(ReadAll(outside + QStringLiteral("/victim.txt")), QByteArray("precious"));
    EXPECT_FALSE(QFileInfo::exists(outside + QStringLiteral("/new.txt")));
    const QFileInfo replaced(FTarget + QStringLiteral("/filelink.txt"));
    EXPECT_FALSE(replaced.isSymLink());
    EXPECT_EQ(ReadAll(replaced.filePath()), QByteArray("replaced the link"));
}

TEST_F(ZipExtractTest, FileInTheWayOfAFolderGivesCannotCreate)
{
    TArchive a;
    a.Add("f/inner.txt", "x");
    OpenArchive(a);
    ASSERT_TRUE(QDir().mkpath(FTarget));
    ASSERT_TRUE(ZipBuilder::WriteBytes(FTarget + QStringLiteral("/f"), "a file"));
    EXPECT_EQ(ErrorOf([&] {
        FZip.Extract(0, FTarget);
    }),
        QStringLiteral("Cannot create file \"%1/f/inner.txt\". Not a directory").arg(FTarget));
}

// Lying sizes never make the output larger than the directory says.
TEST_F(ZipExtractTest, OutputIsBoundedByTheDeclaredSize)
{
    const QByteArray big = Pattern(200000);
    TArchive a;
    a.Add("longer-than-declared.txt", big, 8).UncompressedSize = 1000;
    auto &descriptor = a.Add("descriptor-lies.txt", big, 8);
    descriptor.Flag = 1u << 3;
    descriptor.UncompressedSize = 5000;
    auto &stored = a.Add("stored-descriptor.txt", "exactly this");
    stored.Flag = 1u << 3;
    a.Add("after.txt", "the next entry's bytes");
    auto &zero = a.Add("descriptor-zero.txt", big, 8);
    zero.Flag = 1u << 3;
    zero.UncompressedSize = 0;
    OpenArchive(a);
    for (int i = 0; i < FZip.FileCount(); ++i)
        FZip.Extract(i, FTarget);
    EXPECT_EQ(ReadAll(FTarget + QStringLiteral("/longer-than-declared.txt")), big.left(1000));
    EXPECT_EQ(ReadAll(FTarget + QStringLiteral("/descriptor-lies.txt")), big.left(5000));
    EXPECT_EQ(ReadAll(FTarget + QStringLiteral("/stored-descriptor.txt")), QByteArray("exactly this"));
    EXPECT_EQ(QFileInfo(FTarget + QStringLiteral("/descriptor-zero.txt")).size(), 0);
}

TEST_F(ZipExtractTest, StoredDescriptorEntryShorterThanDeclaredIsAReadError)
{
    TArchive a;
    auto &stored = a.Add("s.txt", "abc");
    stored.Flag = 1u << 3;
    stored.CompressedSize = 100000;
    OpenArchive(a);
    EXPECT_EQ(ErrorOf([&] {
        FZip.Extract(0, FTarget);
    }),
        QStringLiteral("Stream read error"));
}

TEST_F(ZipExtractTest, EntriesSharingTheirDataEachStayWithinTheirSize)
{
    // Every directory record points at the same local header: the overlap trick.
    const QByteArray data = QByteArray(100000, 'z');
    TArchive many;
    many.Add("0.txt", data, 8);
    for (int i = 1; i < 50; ++i) {
        auto &e = many.Add(QByteArray::number(i) + ".txt", data, 8);
        e.LocalHeaderOffset = 0;
        e.UncompressedSize = uint32_t(100 * i);
    }
    OpenArchive(many);
    for (int i = 0; i < FZip.FileCount(); ++i)
        FZip.Extract(i, FTarget);
    for (int i = 1; i < 50; ++i)
        ASSERT_EQ(QFileInfo(FTarget + QStringLiteral("/%1.txt").arg(i)).size(), 100 * i);
}

TEST_F(ZipExtractTest, FailedWritesAreReportedOnBothCopyPaths)
{
    TArchive a;
    a.Add("exact.bin", Pattern(100000), 8);
    a.Add("blocks.bin", Pattern(100000), 8).Flag = 1u << 3;
    OpenArchive(a);

    // A file size limit makes write() fail with EFBIG instead of raising a signal.
    struct rlimit saved
    { };
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 10000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString first = ErrorOf([&] {
        FZip.Extract(0, FTarget);
    });
    const QString second = ErrorOf([&] {
        FZip.Extract(1, FTarget);
    });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(first, QStringLiteral("Stream write error"));
    EXPECT_EQ(second, QStringLiteral("Stream write error"));
}

// A stream that hands out a fixed text, to see the table at work.
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

TEST_F(ZipExtractTest, RegisteredHandlersDecompressTheirMethod)
{
    QByteArray seenLocalName;
    RegisterCompressionHandler(200,
        nullptr,
        [&](TSeekableStream &, TZipFile &, const TZipHeader &local) -> std::unique_ptr<TStream> {
            seenLocalName = local.FileName.Bytes;
            return std::make_unique<TTextStream>("made by the handler");
        });
    TArchive a;
    auto &e = a.Add("custom.txt", "made by the handler", 200);
    e.LocalName = "local-name.txt";
    OpenArchive(a);
    FZip.Extract(0, FTarget);
    EXPECT_EQ(seenLocalName, QByteArray("local-name.txt"));
    EXPECT_EQ(ReadAll(FTarget + QStringLiteral("/custom.txt")), QByteArray("made by the handler"));

    // A later registration replaces the pair.
    RegisterCompressionHandler(200, nullptr, nullptr);
    EXPECT_EQ(ErrorOf([&] {
        FZip.Extract(0, FTarget);
    }),
        QStringLiteral("Item not found"));
    RegisterStandardCompressionHandlers();
    RegisterStandardCompressionHandlers();
    EXPECT_TRUE(FindDecompressor(0));
    EXPECT_TRUE(FindDecompressor(8));
    EXPECT_FALSE(FindDecompressor(12));
}

TEST(JoinExtractPathTest, JoinsWithOneSeparator)
{
    const QString rows[][3] = {
        {QString(), QStringLiteral("b"), QStringLiteral("b")},
        {QStringLiteral("a"), QString(), QStringLiteral("a")},
        {QStringLiteral("a"), QStringLiteral("b/c"), QStringLiteral("a/b/c")},
        {QStringLiteral("a/"), QStringLiteral("b"), QStringLiteral("a/b")},
        {QStringLiteral("/"), QStringLiteral("b"), QStringLiteral("/b")},
        {QStringLiteral("a:"), QStringLiteral("b"), QStringLiteral("a:/b")},
    };
    for (const auto &row : rows)
        EXPECT_EQ(JoinExtractPath(row[0], row[1]), row[2]);
}

} // namespace
