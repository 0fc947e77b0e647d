// Archives as today's tools write them: ZIP64 records and extra fields,
// encrypted entries, CRC-32 values to check, and bytes in front of the archive.

#include "ZipTestSupport.h"

#include <QDirIterator>

#include <fcntl.h>
#include <unistd.h>

using ZipBuilder::PutU32;
using ZipBuilder::TArchive;
using ZipBuilder::Zip64Extra;

namespace {

constexpr uint16_t kDescriptor = 1u << 3;

const QByteArray kText = QByteArray("ZIP64 records carry the true sizes. ").repeated(300);

class WildArchiveTest : public ZipTestBase
{
protected:
    void Open(const QByteArray &bytes) { FZip.Open(WriteArchive(bytes), zmRead); }
    QByteArray Out(const QString &name) const { return ReadAll(FOut + QLatin1Char('/') + name); }

    // Every file or folder below the output folder.
    QStringList Written() const
    {
        QStringList out;
        QDirIterator it(FOut, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            out << QDir(FOut).relativeFilePath(it.next());
        out.sort();
        return out;
    }

    QString FOut = PathOf(QStringLiteral("out"));
    TZipFile FZip;
};

TArchive Zip64Archive()
{
    TArchive a;
    a.Add("stored.txt", kText).Zip64 = true;
    a.Add("docs/deflated.txt", kText, 8).Zip64 = true;
    a.Add("plain.txt", "no ZIP64 here");
    a.Zip64End = true;
    return a;
}

TEST_F(WildArchiveTest, Zip64RecordsAndFieldsGiveTheTrueValuesAlsoBehindAPrefix)
{
    const QByteArray archive = Zip64Archive().Build();
    for (const QByteArray &prefix : {QByteArray(), QByteArray("#!/bin/sh\nexit 0\n").repeated(40)}) {
        SCOPED_TRACE(prefix.size());
        QDir(FOut).removeRecursively();
        Open(prefix + archive);
        ASSERT_EQ(FZip.FileCount(), 3);
        const TZipHeader deflated = FZip.FileInfo(1);
        EXPECT_EQ(deflated.UncompressedSize, uint64_t(kText.size()));
        EXPECT_EQ(deflated.CompressedSize, uint64_t(ZipBuilder::RawDeflate(kText).size()));
        EXPECT_EQ(FZip.FileInfo(0).CompressedSize, uint64_t(kText.size()));
        for (int i = 0; i < 3; ++i)
            FZip.Extract(i, FOut);
        EXPECT_EQ(Out(QStringLiteral("stored.txt")), kText);
        EXPECT_EQ(Out(QStringLiteral("docs/deflated.txt")), kText);
        EXPECT_EQ(Out(QStringLiteral("plain.txt")), QByteArray("no ZIP64 here"));
        FZip.Close();
    }
}

TEST_F(WildArchiveTest, AllSeventyThousandEntriesBehindAZip64EndRecordAreListed)
{
    TArchive a;
    for (int i = 0; i < 70000; ++i)
        a.Add("f" + QByteArray::number(i), QByteArray::number(i));
    // As one common writer does: only the count is too big for the end record.
    a.Zip64End = true;
    a.Zip64EndSentinels = false;
    Open(a.Build());
    ASSERT_EQ(FZip.FileCount(), 70000);
    EXPECT_EQ(FZip.FileName(69999), QStringLiteral("f69999"));
    FZip.Extract(69999, FOut);
    EXPECT_EQ(Out(QStringLiteral("f69999")), QByteArray("69999"));
}

TEST_F(WildArchiveTest, EncryptedEntriesAreListedButNeverWritten)
{
    TArchive a;
    a.Add("sub/traditional.txt", "ciphertext").Flag = 1;
    a.Add("sub/aes.txt", "ciphertext", 99);
    auto &onlyLocal = a.Add("sub/local-flag.txt", "ciphertext");
    onlyLocal.LocalFlag = 1;
    Open(a.Build());
    ASSERT_EQ(FZip.FileCount(), 3);
    EXPECT_EQ(FZip.FileName(1), QStringLiteral("sub/aes.txt"));
    for (int i = 0; i < 3; ++i)
        EXPECT_RAISES(FZip.Extract(i, FOut), QStringLiteral("The entry is encrypted"));
    EXPECT_FALSE(QFileInfo::exists(FOut));
}

TEST_F(WildArchiveTest, ACrcMismatchIsAnErrorAndLeavesNoFile)
{
    const QByteArray other = QByteArray(kText).replace('Z', 'z');
    for (const uint16_t method : {0, 8}) {
        for (const uint16_t flag : {uint16_t(0), kDescriptor}) {
            SCOPED_TRACE(method * 100 + flag);
            QDir(FOut).removeRecursively();
            TArchive a;
            a.Add("sub/damaged.txt", kText, method).Flag = flag;
            // Damaged data of the right length: its deflate stream is sound.
            a.Entries[0].Payload = method == 8 ? ZipBuilder::RawDeflate(other) : other;
            a.Add("sub/sound.txt", kText, method).Flag = flag;
            Open(a.Build());
            EXPECT_RAISES(FZip.Extract(0, FOut), QStringLiteral("CRC error in sub/damaged.txt"));
            FZip.Extract(1, FOut);
            EXPECT_EQ(Written(), QStringList({QStringLiteral("sub"), QStringLiteral("sub/sound.txt")}));
            FZip.Close();
        }
    }
}

// With bit 3 a writer may leave the directory's CRC 0; the descriptor has it,
// behind its optional signature or not.
TEST_F(WildArchiveTest, TheDescriptorsCrcCountsWhenTheDirectoryHasNone)
{
    for (const int form : {0, 1, 2, 3}) {
        const bool damaged = form & 1;
        const bool signature = !(form & 2);
        SCOPED_TRACE(testing::Message() << "damaged " << damaged << ", signature " << signature);
        QDir(FOut).removeRecursively();
        TArchive a;
        a.Add("d.txt", kText, 8).Flag = kDescriptor;
        a.Entries[0].DescriptorSignature = signature;
        if (damaged)
            a.Entries[0].Crc = 0x12345678;
        QByteArray bytes = a.Build();
        const qsizetype central = bytes.indexOf("PK\x01\x02");
        bytes.replace(central + 16, 4, QByteArray(4, '\0'));
        Open(bytes);
        EXPECT_EQ(ErrorOf([&] {
            FZip.Extract(0, FOut);
        }),
            damaged ? QStringLiteral("CRC error in d.txt") : QStringLiteral("<none>"));
        EXPECT_EQ(Out(QStringLiteral("d.txt")), damaged ? QByteArray("<missing>") : kText);
        FZip.Close();
    }
}

TEST_F(WildArchiveTest, BytesInFrontOfTheArchiveAreSkippedSilently)
{
    TArchive a;
    a.Add("a.txt", "first", 8);
    a.Add("b.txt", "second");
    const QByteArray stub = QByteArray("MZ stub of a self-extractor ").repeated(100);
    Open(stub + a.Build());
    ASSERT_EQ(FZip.FileCount(), 2);
    FZip.Extract(0, FOut);
    FZip.Extract(1, FOut);
    EXPECT_EQ(Out(QStringLiteral("a.txt")), QByteArray("first"));
    EXPECT_EQ(Out(QStringLiteral("b.txt")), QByteArray("second"));
}

struct TZip64Lie
{
    std::string what;
    std::function<void(TArchive &)> lie; // on an archive of one stored entry "x.txt"
    std::function<void(QByteArray &)> patch;
    QString openError; // empty: opens
    QString extractError; // empty: extracts, when it opens
};

std::vector<TZip64Lie> Zip64Lies()
{
    const auto none = [](QByteArray &) {};
    const auto keep = [](TArchive &) {};
    // The field is built here: a copied initializer_list would outlive its values.
    const auto sizes = [](std::initializer_list<uint64_t> values) {
        const QByteArray extra = values.size() > 0 ? Zip64Extra(values) : QByteArray();
        return [extra](TArchive &a) {
            a.Entries[0].CompressedSize = a.Entries[0].UncompressedSize = 0xFFFFFFFF;
            a.Entries[0].Extra = extra;
        };
    };
    const uint64_t size = uint64_t(kText.size());
    const QString badEnd = QStringLiteral("Invalid ZIP64 end of central directory record");
    return {
        {"sizes of 0xFFFFFFFF without the extra field",
            sizes({}),
            none,
            QStringLiteral("Missing ZIP64 extra field"),
            {}},
        {"an extra field with one size of two",
            sizes({size}),
            none,
            QStringLiteral("ZIP64 extra field too short"),
            {}},
        {"a size beyond any file",
            sizes({1ull << 63, size}),
            none,
            QStringLiteral("Invalid ZIP64 extra field"),
            {}},
        {"a size larger than the data",
            sizes({1ull << 40, 1ull << 40}),
            none,
            {},
            QStringLiteral("Stream read error")},
        {"the local header's sizes without its extra field",
            keep,
            [](QByteArray &bytes) {
                bytes.replace(18, 8, QByteArray(8, '\xff'));
            },
            {},
            QStringLiteral("Missing ZIP64 extra field")},
        {"a locator that leads nowhere",
            [](TArchive &a) {
                a.Zip64End = true;
                a.Zip64EndOffset = 3;
            },
            none,
            badEnd,
            {}},
        {"a count no directory could hold",
            [](TArchive &a) {
                a.Zip64End = true;
                a.Zip64EntryCount = 1ull << 40;
            },
            none,
            badEnd,
            {}},
        {"a count larger than the directory",
            [](TArchive &a) {
                a.Zip64End = true;
                a.Zip64EntryCount = 1000;
            },
            none,
            QStringLiteral("Invalid Zip Central Header signature"),
            {}},
        {"a directory offset beyond the file",
            [](TArchive &a) {
                a.Zip64End = true;
                a.Zip64DirectoryOffset = 1ull << 62;
            },
            none,
            QStringLiteral("Invalid Zip Central Header signature"),
            {}},
        {"an end record of 0xFFFFFFFF without a locator",
            [](TArchive &a) {
                a.DirectoryOffset = 0xFFFFFFFF;
            },
            none,
            QStringLiteral("Missing ZIP64 end of central directory locator"),
            {}},
        {"an end record whose size alone is 0xFFFFFFFF, without a locator",
            [](TArchive &a) {
                a.DirectorySize = 0xFFFFFFFF;
            },
            none,
            QStringLiteral("Missing ZIP64 end of central directory locator"),
            {}},
    };
}

TEST_F(WildArchiveTest, LyingZip64FieldsAreErrorsNeverGuesses)
{
    for (const TZip64Lie &c : Zip64Lies()) {
        SCOPED_TRACE(c.what);
        QDir(FOut).removeRecursively();
        TArchive a;
        a.Add("x.txt", kText);
        c.lie(a);
        QByteArray bytes = a.Build();
        c.patch(bytes);
        const QString path = WriteArchive(bytes);
        EXPECT_TRUE(TZipFile::IsValid(path));
        EXPECT_EQ(ErrorOf([&] {
            FZip.Open(path, zmRead);
        }),
            c.openError.isEmpty() ? QStringLiteral("<none>") : c.openError);
        if (!c.openError.isEmpty())
            continue;
        EXPECT_EQ(ErrorOf([&] {
            FZip.Extract(0, FOut);
        }),
            c.extractError.isEmpty() ? QStringLiteral("<none>") : c.extractError);
        // Never more than the data holds, whatever the record says.
        EXPECT_LE(QFileInfo(FOut + QStringLiteral("/x.txt")).size(), kText.size());
        FZip.Close();
    }
}

// Writes and reads 4 GiB: run with --gtest_also_run_disabled_tests.
TEST_F(WildArchiveTest, DISABLED_AnEntryBeyondFourGibibytesExtractsWhole)
{
    constexpr int64_t kSize = (int64_t(1) << 32) + 4096;
    const QString path = PathOf(QStringLiteral("big.zip"));
    const QByteArray name("zeros.bin");
    // The data is a hole in a sparse file; its CRC is that of kSize zero bytes.
    QByteArray zeros(1 << 20, '\0');
    uLong crc = crc32(0, nullptr, 0);
    for (int64_t left = kSize; left > 0; left -= zeros.size())
        crc = crc32(crc,
            reinterpret_cast<const Bytef *>(zeros.constData()),
            uInt(std::min<int64_t>(left, zeros.size())));
    QByteArray local("PK\x03\x04", 4);
    ZipBuilder::PutU16(local, 45);
    ZipBuilder::PutU16(local, 0);
    ZipBuilder::PutU16(local, 0);
    PutU32(local, 0x413B73DD);
    PutU32(local, uint32_t(crc));
    PutU32(local, 0xFFFFFFFF);
    PutU32(local, 0xFFFFFFFF);
    ZipBuilder::PutU16(local, uint32_t(name.size()));
    ZipBuilder::PutU16(local, 20);
    local += name + Zip64Extra({uint64_t(kSize), uint64_t(kSize)});
    const int64_t directory = local.size() + kSize;
    QByteArray tail("PK\x01\x02", 4);
    ZipBuilder::PutU16(tail, 45);
    tail += local.mid(4, 22);
    ZipBuilder::PutU16(tail, uint32_t(name.size()));
    ZipBuilder::PutU16(tail, 20);
    tail += QByteArray(10, '\0');
    PutU32(tail, 0);
    tail += name + Zip64Extra({uint64_t(kSize), uint64_t(kSize)});
    const int64_t directorySize = tail.size();
    const int64_t zip64End = directory + directorySize;
    PutU32(tail, 0x06064b50);
    ZipBuilder::PutU64(tail, 44);
    ZipBuilder::PutU16(tail, 45);
    ZipBuilder::PutU16(tail, 45);
    tail += QByteArray(8, '\0');
    for (const int64_t v : {int64_t(1), int64_t(1), directorySize, directory})
        ZipBuilder::PutU64(tail, uint64_t(v));
    PutU32(tail, 0x07064b50);
    PutU32(tail, 0);
    ZipBuilder::PutU64(tail, uint64_t(zip64End));
    PutU32(tail, 1);
    tail += QByteArray("PK\x05\x06", 4) + QByteArray(4, '\0') + QByteArray(4, '\xff') + QByteArray(8, '\xff')
        + QByteArray(2, '\0');

    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, local.constData(), size_t(local.size()), 0), local.size());
    ASSERT_EQ(::pwrite(fd, tail.constData(), size_t(tail.size()), off_t(directory)), tail.size());
    ::close(fd);

    FZip.Open(path, zmRead);
    EXPECT_EQ(FZip.FileInfo(0).UncompressedSize, uint64_t(kSize));
    FZip.Extract(0, FOut);
    EXPECT_EQ(QFileInfo(FOut + QStringLiteral("/zeros.bin")).size(), kSize);
}

} // namespace
