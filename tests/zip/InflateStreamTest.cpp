#include "ZipBuilder.h"
#include "ZipTestSupport.h"
#include "zip/InflateStream.h"

#include <cstring>

namespace {

// An archive stream in memory that counts its reads.
class TMemoryStream : public TSeekableStream
{
public:
    explicit TMemoryStream(QByteArray bytes)
        : FBytes(std::move(bytes))
    { }
    int64_t Read(void *buffer, int64_t count) override
    {
        ++Reads;
        LargestRead = std::max(LargestRead, count);
        const int64_t n = std::max<int64_t>(0, std::min<int64_t>(count, FBytes.size() - FPosition));
        memcpy(buffer, FBytes.constData() + FPosition, size_t(n));
        FPosition += n;
        return n;
    }
    int64_t Position() const override { return FPosition; }
    void Seek(int64_t position) override { FPosition = position; }
    int64_t Size() const override { return FBytes.size(); }

    int Reads = 0;
    int64_t LargestRead = 0;

private:
    QByteArray FBytes;
    int64_t FPosition = 0;
};

QByteArray Noise(int size)
{
    QByteArray out(size, Qt::Uninitialized);
    uint32_t x = 7;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = char(x);
    }
    return out;
}

TEST(InflateStreamTest, LeavesTheArchiveJustAfterTheDeflateData)
{
    for (const int size : {0, 1, 1000, 200000}) {
        SCOPED_TRACE(size);
        const QByteArray data = Noise(size);
        const QByteArray packed = ZipBuilder::RawDeflate(data);
        TMemoryStream source(QByteArray("HEAD") + packed + QByteArray("TAIL and more"));
        source.Seek(4);
        TInflateStream inflate(source);
        QByteArray out(size + 100, '\0');
        EXPECT_EQ(inflate.ReadFully(out.data(), out.size()), size);
        EXPECT_EQ(out.left(size), data);
        EXPECT_EQ(source.Position(), 4 + packed.size());
        EXPECT_EQ(inflate.Read(out.data(), 10), 0);
        EXPECT_LE(source.LargestRead, TInflateStream::kInputBufferSize);
    }
}

TEST(InflateStreamTest, GoesBackToItsPlaceWhenSomeoneElseMovedTheArchive)
{
    const QByteArray data = Noise(300000);
    const QByteArray packed = ZipBuilder::RawDeflate(data);
    TMemoryStream source(packed);
    TInflateStream inflate(source);
    QByteArray out(int(data.size()), '\0');
    ASSERT_EQ(inflate.ReadFully(out.data(), 1000), 1000);
    source.Seek(0);
    ASSERT_EQ(inflate.ReadFully(out.data() + 1000, out.size() - 1000), out.size() - 1000);
    EXPECT_EQ(out, data);
}

TEST(InflateStreamTest, CorruptDataRaisesZlibsText)
{
    TMemoryStream source(QByteArray("\xff\xff\xff\xff\xff", 5));
    TInflateStream inflate(source);
    char out[100];
    EXPECT_EQ(ErrorOf([&] {
        inflate.Read(out, sizeof out);
    }),
        QStringLiteral("data error"));
}

TEST(InflateStreamTest, TruncatedDataEndsTheReadShort)
{
    const QByteArray data = Noise(50000);
    TMemoryStream source(ZipBuilder::RawDeflate(data).left(1000));
    TInflateStream inflate(source);
    QByteArray out(int(data.size()), '\0');
    const int64_t got = inflate.ReadFully(out.data(), out.size());
    EXPECT_LT(got, data.size());
    EXPECT_EQ(out.left(int(got)), data.left(int(got)));
}

} // namespace
