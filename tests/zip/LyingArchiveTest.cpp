// Archives whose records lie in ways the reader and extraction tests do not
// reach: the overlapping bomb that quotes each next local header inside a
// stored deflate block, local headers that contradict their directory
// record, and sizes or lengths that run past the end of the file. Each ends
// in a clean error or in output no larger than the entry declares, inside the
// target folder.

#include "ZipTestSupport.h"

#include <QDirIterator>

using ZipBuilder::PutU16;
using ZipBuilder::PutU32;
using ZipBuilder::TArchive;

namespace {

struct TBomb
{
    QByteArray Bytes;
    std::vector<QByteArray> Outputs; // what each entry inflates to
};

QByteArray LocalHeader(const QByteArray &name, uint32_t crc, uint32_t compressed, uint32_t uncompressed)
{
    QByteArray h("PK\x03\x04", 4);
    PutU16(h, 20);
    PutU16(h, 0);
    PutU16(h, 8);
    PutU32(h, 0x413B73DD);
    PutU32(h, crc);
    PutU32(h, compressed);
    PutU32(h, uncompressed);
    PutU16(h, uint32_t(name.size()));
    PutU16(h, 0);
    return h + name;
}

// A non-final stored deflate block holding the given bytes.
QByteArray StoredBlock(const QByteArray &bytes)
{
    QByteArray b(1, '\0');
    PutU16(b, uint32_t(bytes.size()));
    PutU16(b, uint32_t(~bytes.size() & 0xFFFF));
    return b + bytes;
}

// Every entry's data starts at its own local header and runs on through all
// later headers, each quoted as a stored block, into one shared kernel: the
// archive is small, every entry inflates to about the whole kernel.
TBomb QuotedOverlapBomb(int entries, int kernelSize)
{
    const QByteArray kernelOutput(kernelSize, 'a');
    const QByteArray kernel = ZipBuilder::RawDeflate(kernelOutput);
    std::vector<QByteArray> headers(static_cast<size_t>(entries));
    std::vector<QByteArray> outputs(static_cast<size_t>(entries));
    std::vector<uint32_t> compressed(static_cast<size_t>(entries));
    // From the last entry back: each header holds the CRC of what follows it.
    QByteArray quotedAfter; // the stored blocks of the headers after entry i
    QByteArray outputAfter; // their bytes
    for (int i = entries - 1; i >= 0; --i) {
        const QByteArray name = QByteArray("bomb") + QByteArray::number(i).rightJustified(3, '0');
        const QByteArray output = outputAfter + kernelOutput;
        compressed[size_t(i)] = uint32_t(quotedAfter.size() + kernel.size());
        headers[size_t(i)] =
            LocalHeader(name, ZipBuilder::Crc32(output), compressed[size_t(i)], uint32_t(output.size()));
        outputs[size_t(i)] = output;
        quotedAfter = StoredBlock(headers[size_t(i)]) + quotedAfter;
        outputAfter = headers[size_t(i)] + outputAfter;
    }
    TBomb bomb;
    std::vector<uint32_t> offsets;
    for (int i = 0; i < entries; ++i) {
        offsets.push_back(uint32_t(bomb.Bytes.size()));
        bomb.Bytes += headers[size_t(i)];
        if (i + 1 < entries)
            bomb.Bytes +=
                StoredBlock(headers[size_t(i) + 1]).left(5); // the header follows as the block's data
    }
    bomb.Bytes += kernel;
    const uint32_t directory = uint32_t(bomb.Bytes.size());
    for (int i = 0; i < entries; ++i) {
        const QByteArray &h = headers[size_t(i)];
        QByteArray c("PK\x01\x02", 4);
        PutU16(c, 20);
        c += h.mid(4, 26); // version needed to extra length, as in the local header
        PutU16(c, 0); // comment length
        PutU16(c, 0);
        PutU16(c, 0);
        PutU32(c, 0);
        PutU32(c, offsets[size_t(i)]);
        bomb.Bytes += c + h.mid(30);
    }
    const uint32_t directorySize = uint32_t(bomb.Bytes.size()) - directory;
    QByteArray end("PK\x05\x06", 4);
    PutU32(end, 0);
    PutU16(end, uint32_t(entries));
    PutU16(end, uint32_t(entries));
    PutU32(end, directorySize);
    PutU32(end, directory);
    PutU16(end, 0);
    bomb.Bytes += end;
    bomb.Outputs = std::move(outputs);
    return bomb;
}

class LyingArchiveTest : public ZipTestBase
{
protected:
    // Every file below the test folder but the archive, with its size.
    std::map<QString, qint64> Written() const
    {
        std::map<QString, qint64> out;
        QDirIterator it(FDir.path(),
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden,
            QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            const QString relative = QDir(FDir.path()).relativeFilePath(info.filePath());
            if (relative != QStringLiteral("test.zip") && !info.isDir())
                out[relative] = info.size();
        }
        return out;
    }
    QString FOut = PathOf(QStringLiteral("out"));
    TZipFile FZip;
};

TEST_F(LyingArchiveTest, QuotedOverlapBombGivesEachEntryItsDeclaredBytesAndNoMore)
{
    constexpr int kEntries = 40, kKernel = 256 * 1024;
    const TBomb bomb = QuotedOverlapBomb(kEntries, kKernel);
    ASSERT_LT(bomb.Bytes.size(), 8 * 1024); // the point of the trick: tiny archive, huge total
    FZip.Open(WriteArchive(bomb.Bytes), zmRead);
    ASSERT_EQ(FZip.FileCount(), kEntries);

    qint64 declared = 0;
    for (int i = 0; i < kEntries; ++i) {
        SCOPED_TRACE(i);
        const TZipHeader h = FZip.FileInfo(i);
        ASSERT_EQ(h.UncompressedSize, uint32_t(bomb.Outputs[size_t(i)].size()));
        declared += h.UncompressedSize;
        FZip.Extract(i, FOut);
        const QString name = FZip.FileName(i);
        ASSERT_EQ(ReadAll(FOut + QLatin1Char('/') + name), bomb.Outputs[size_t(i)]);
    }
    qint64 total = 0;
    for (const auto &[name, size] : Written()) {
        EXPECT_TRUE(name.startsWith(QStringLiteral("out/bomb"))) << name.toStdString();
        total += size;
    }
    EXPECT_EQ(total, declared);
}

// The same bomb with every size in the directory cut down: the output follows the directory.
TEST_F(LyingArchiveTest, QuotedOverlapBombWithSmallDeclaredSizesStaysSmall)
{
    constexpr int kEntries = 10;
    const TBomb bomb = QuotedOverlapBomb(kEntries, 1 << 20);
    QByteArray bytes = bomb.Bytes;
    // Each central record's uncompressed size becomes 100 bytes, with a CRC to match.
    int entry = 0;
    for (qsizetype at = bytes.indexOf("PK\x01\x02"); at >= 0;
         at = bytes.indexOf("PK\x01\x02", at + 4), ++entry) {
        QByteArray crc, size;
        PutU32(crc, ZipBuilder::Crc32(bomb.Outputs[size_t(entry)].left(100)));
        PutU32(size, 100);
        bytes.replace(at + 16, 4, crc);
        bytes.replace(at + 24, 4, size);
    }
    FZip.Open(WriteArchive(bytes), zmRead);
    for (int i = 0; i < kEntries; ++i)
        FZip.Extract(i, FOut);
    const auto written = Written();
    EXPECT_EQ(int(written.size()), kEntries);
    for (const auto &[name, size] : written)
        EXPECT_EQ(size, 100) << name.toStdString();
}

struct TLieCase
{
    std::string what;
    std::function<void(TArchive &)> lie; // on an archive of one deflated entry "ok.txt"
    std::function<void(QByteArray &)> patch; // on its bytes; the local header is at 0
    QString error; // empty: extracts
    qint64 size; // of out/ok.txt when it extracts; -1: no such file
};

const QByteArray kData = QByteArray("lying archives, lying archives, lying archives\n").repeated(2000);

std::vector<TLieCase> LieCases()
{
    const auto none = [](QByteArray &) {};
    const auto keep = [](TArchive &) {};
    const auto u16At = [](qsizetype offset, uint32_t value) {
        return [offset, value](QByteArray &bytes) {
            QByteArray v;
            PutU16(v, value);
            bytes.replace(offset, 2, v);
        };
    };
    return {
        {"deflate data longer than its compressed size",
            [](TArchive &a) {
                a.Entries[0].CompressedSize = 10;
            },
            none,
            {},
            kData.size()},
        {"compressed and uncompressed sizes both too small",
            [](TArchive &a) {
                a.Entries[0].CompressedSize = 10;
                a.Entries[0].UncompressedSize = 300;
            },
            none,
            QStringLiteral("CRC error in ok.txt"),
            -1},
        {"uncompressed size beyond the data",
            [](TArchive &a) {
                a.Entries[0].UncompressedSize = 0xFFFFFFF0u;
            },
            none,
            QStringLiteral("Stream read error"),
            -1}, // what was written before the data ran out is removed
        {"stored size beyond the file",
            [](TArchive &a) {
                a.Entries[0].Method = 0;
                a.Entries[0].UncompressedSize = 0xFFFFFFF0u;
            },
            none,
            QStringLiteral("Stream read error"),
            -1}, // what was written before the data ran out is removed
        {"local header offset beyond the file",
            [](TArchive &a) {
                a.Entries[0].LocalHeaderOffset = 0x7FFFFFF0u;
            },
            none,
            QStringLiteral("Invalid Zip Local Header signature"),
            -1},
        {"local header offset inside the directory",
            keep,
            [](QByteArray &bytes) {
                const qsizetype central = bytes.indexOf("PK\x01\x02");
                QByteArray offset;
                PutU32(offset, uint32_t(central));
                bytes.replace(central + 42, 4, offset);
            },
            QStringLiteral("Invalid Zip Local Header signature"),
            -1},
        {"local name length past the end of the file",
            keep,
            u16At(26, 0xFFFF),
            QStringLiteral("Stream read error"),
            -1},
        {"local extra length past the end of the file",
            keep,
            u16At(28, 0xFFFF),
            QStringLiteral("Stream read error"),
            -1},
        {"local name climbing out, directory name harmless",
            [](TArchive &a) {
                a.Entries[0].LocalName = "../x";
            },
            none,
            {},
            kData.size()},
        {"deflate data that is not deflate",
            [](TArchive &a) {
                a.Entries[0].Payload = QByteArray(64, '\xff');
            },
            none,
            QStringLiteral("data error"),
            -1},
    };
}

TEST_F(LyingArchiveTest, LocalHeadersAndSizesThatLie)
{
    for (const TLieCase &c : LieCases()) {
        SCOPED_TRACE(c.what);
        QDir(FOut).removeRecursively();
        TArchive a;
        a.Add("ok.txt", kData, 8);
        c.lie(a);
        QByteArray bytes = a.Build();
        c.patch(bytes);
        FZip.Open(WriteArchive(bytes), zmRead);
        EXPECT_EQ(ErrorOf([&] {
            FZip.Extract(0, FOut);
        }),
            c.error.isEmpty() ? QStringLiteral("<none>") : c.error);
        FZip.Close();
        const auto written = Written();
        if (c.size < 0) {
            EXPECT_TRUE(written.empty());
            continue;
        }
        ASSERT_EQ(written.size(), 1u);
        EXPECT_EQ(written.begin()->first, QStringLiteral("out/ok.txt"));
        EXPECT_EQ(written.begin()->second, c.size);
    }
    // Beside the target, still inside this test's own folder.
    EXPECT_FALSE(QFileInfo::exists(PathOf(QStringLiteral("x"))));
}

} // namespace
