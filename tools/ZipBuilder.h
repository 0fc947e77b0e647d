// ZIP archives built byte by byte for tests, seeds and benchmarks.
#pragma once

// Builds ZIP archives byte by byte for tests, seeds and benchmarks: each field
// can be set to a lie, so damaged and hostile archives are as easy as good ones.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>
#include <zlib.h>

namespace ZipBuilder {

inline void PutU16(QByteArray &out, uint32_t v)
{
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

inline void PutU32(QByteArray &out, uint32_t v)
{
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// Raw deflate data (no zlib wrapper), as method 8 stores it.
inline QByteArray RawDeflate(const QByteArray &data, int level = Z_DEFAULT_COMPRESSION)
{
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

inline void PutU64(QByteArray &out, uint64_t v)
{
    PutU32(out, uint32_t(v));
    PutU32(out, uint32_t(v >> 32));
}

// A ZIP64 extended information extra field holding the given values in order.
inline QByteArray Zip64Extra(std::initializer_list<uint64_t> values)
{
    QByteArray out;
    PutU16(out, 0x0001);
    PutU16(out, uint32_t(values.size() * 8));
    for (const uint64_t v : values)
        PutU64(out, v);
    return out;
}

inline uint32_t Crc32(const QByteArray &data)
{
    return uint32_t(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
}

struct TEntry
{
    QByteArray Name;
    QByteArray Data; // the uncompressed bytes
    uint16_t Method = 0; // 8 deflates Data; any other code stores Data as it is
    uint16_t Flag = 0; // bit 3 also writes a data descriptor and zero local sizes
    bool DescriptorSignature = true; // the descriptor's signature is optional
    uint32_t DosDateTime = 0x413B73DD;
    QByteArray Extra;
    QByteArray Comment;
    // Lies and overrides.
    std::optional<QByteArray> Payload; // the bytes stored instead of the (de)compressed Data
    std::optional<uint32_t> CompressedSize;
    std::optional<uint32_t> UncompressedSize;
    std::optional<uint32_t> LocalHeaderOffset;
    std::optional<uint16_t> LocalMethod;
    std::optional<uint16_t> LocalFlag;
    std::optional<QByteArray> LocalName;
    std::optional<uint32_t> LocalSignature;
    std::optional<uint32_t> Crc; // in the local header, the descriptor and the directory
    // Sizes (and the directory's offset) as 0xFFFFFFFF, the true values in a
    // ZIP64 extra field in front of Extra.
    bool Zip64 = false;
};

class TArchive
{
public:
    TEntry &Add(const QByteArray &name, const QByteArray &data, uint16_t method = 0)
    {
        TEntry e;
        e.Name = name;
        e.Data = data;
        e.Method = method;
        Entries.push_back(e);
        return Entries.back();
    }

    QByteArray Build() const
    {
        QByteArray out = Prefix;
        std::vector<uint32_t> offsets;
        std::vector<uint32_t> compressedSizes;
        for (const TEntry &e : Entries) {
            offsets.push_back(uint32_t(out.size()));
            const QByteArray payload = Payload(e);
            compressedSizes.push_back(uint32_t(payload.size()));
            const uint16_t flag = e.LocalFlag.value_or(e.Flag);
            const bool descriptor = flag & (1u << 3);
            PutU32(out, e.LocalSignature.value_or(0x04034b50));
            PutU16(out, 20);
            PutU16(out, flag);
            PutU16(out, e.LocalMethod.value_or(e.Method));
            PutU32(out, e.DosDateTime);
            const bool zip64 = e.Zip64 && !descriptor;
            const QByteArray extra =
                (zip64 ? Zip64Extra({uint64_t(e.Data.size()), uint64_t(payload.size())}) : QByteArray())
                + e.Extra;
            PutU32(out, descriptor ? 0 : CrcOf(e));
            PutU32(out,
                descriptor  ? 0
                    : zip64 ? 0xFFFFFFFF
                            : e.CompressedSize.value_or(uint32_t(payload.size())));
            PutU32(out,
                descriptor  ? 0
                    : zip64 ? 0xFFFFFFFF
                            : e.UncompressedSize.value_or(uint32_t(e.Data.size())));
            const QByteArray localName = e.LocalName.value_or(e.Name);
            PutU16(out, uint32_t(localName.size()));
            PutU16(out, uint32_t(extra.size()));
            out += localName;
            out += extra;
            out += payload;
            if (descriptor) {
                if (e.DescriptorSignature)
                    PutU32(out, 0x08074b50);
                PutU32(out, CrcOf(e));
                PutU32(out, uint32_t(payload.size()));
                PutU32(out, uint32_t(e.Data.size()));
            }
        }
        const uint32_t directoryStart = uint32_t(out.size());
        for (size_t i = 0; i < Entries.size(); ++i) {
            const TEntry &e = Entries[i];
            PutU32(out, 0x02014b50);
            PutU16(out, 0x031E);
            PutU16(out, 20);
            PutU16(out, e.Flag);
            PutU16(out, e.Method);
            PutU32(out, e.DosDateTime);
            const QByteArray extra =
                (e.Zip64 ? Zip64Extra(
                     {uint64_t(e.Data.size()), uint64_t(compressedSizes[i]), uint64_t(offsets[i])})
                         : QByteArray())
                + e.Extra;
            PutU32(out, CrcOf(e));
            PutU32(out, e.Zip64 ? 0xFFFFFFFF : e.CompressedSize.value_or(compressedSizes[i]));
            PutU32(out, e.Zip64 ? 0xFFFFFFFF : e.UncompressedSize.value_or(uint32_t(e.Data.size())));
            PutU16(out, uint32_t(e.Name.size()));
            PutU16(out, uint32_t(extra.size()));
            PutU16(out, uint32_t(e.Comment.size()));
            PutU16(out, 0);
            PutU16(out, 0);
            PutU32(out, 0);
            PutU32(out, e.Zip64 ? 0xFFFFFFFF : e.LocalHeaderOffset.value_or(offsets[i]));
            out += e.Name;
            out += extra;
            out += e.Comment;
        }
        const uint32_t directorySize = uint32_t(out.size()) - directoryStart;
        out += BeforeEndRecord;
        uint16_t count = EntryCount.value_or(uint16_t(Entries.size()));
        uint32_t size32 = DirectorySize.value_or(directorySize);
        uint32_t offset32 = DirectoryOffset.value_or(directoryStart);
        if (Zip64End) {
            const uint64_t zip64EndAt = uint64_t(out.size());
            PutU32(out, 0x06064b50);
            PutU64(out, 44);
            PutU16(out, 45);
            PutU16(out, 45);
            PutU32(out, 0);
            PutU32(out, 0);
            PutU64(out, Zip64EntryCount.value_or(Entries.size()));
            PutU64(out, Zip64EntryCount.value_or(Entries.size()));
            PutU64(out, directorySize);
            PutU64(out, Zip64DirectoryOffset.value_or(directoryStart));
            PutU32(out, 0x07064b50);
            PutU32(out, 0);
            PutU64(out, Zip64EndOffset.value_or(zip64EndAt));
            PutU32(out, 1);
            count = 0xFFFF;
            if (Zip64EndSentinels)
                size32 = offset32 = 0xFFFFFFFF;
        }
        PutU32(out, 0x06054b50);
        PutU16(out, DiskNumber.value_or(0));
        PutU16(out, DirectoryDisk.value_or(0));
        PutU16(out, DiskEntryCount.value_or(count));
        PutU16(out, count);
        PutU32(out, size32);
        PutU32(out, offset32);
        PutU16(out, CommentLength.value_or(uint16_t(Comment.size())));
        out += Comment;
        return out;
    }

    std::vector<TEntry> Entries;
    QByteArray Prefix; // bytes before the first local header
    QByteArray BeforeEndRecord; // bytes between the directory and the end record
    QByteArray Comment; // the archive comment
    // Any one field of the end record can lie; EntryCount sets both counts.
    std::optional<uint16_t> DiskNumber;
    std::optional<uint16_t> DirectoryDisk;
    std::optional<uint16_t> DiskEntryCount;
    std::optional<uint16_t> EntryCount;
    std::optional<uint32_t> DirectorySize;
    std::optional<uint32_t> DirectoryOffset;
    std::optional<uint16_t> CommentLength;
    // A ZIP64 end record and its locator before the end record, whose count
    // then holds 0xFFFF (and size and offset 0xFFFFFFFF with the sentinels).
    bool Zip64End = false;
    bool Zip64EndSentinels = true;
    std::optional<uint64_t> Zip64EntryCount;
    std::optional<uint64_t> Zip64DirectoryOffset;
    std::optional<uint64_t> Zip64EndOffset; // where the locator says the ZIP64 end record is

private:
    static uint32_t CrcOf(const TEntry &e) { return e.Crc.value_or(Crc32(e.Data)); }

    static QByteArray Payload(const TEntry &e)
    {
        if (e.Payload)
            return *e.Payload;
        return e.Method == 8 ? RawDeflate(e.Data) : e.Data;
    }
};

// Only an end record: the smallest archive, with no entries.
inline QByteArray EmptyArchive(const QByteArray &comment = QByteArray())
{
    TArchive a;
    a.Comment = comment;
    return a.Build();
}

inline bool WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace ZipBuilder
