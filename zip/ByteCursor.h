// The bounds-checked little-endian reader of archive records.
#pragma once

#include "zip/ZipErrors.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// Little-endian fields out of a byte range; every read is bounds-checked and
// a read past the end raises the cursor's message.
class TByteCursor
{
public:
    TByteCursor(const unsigned char *data, size_t size, QString shortMessage)
        : FData(data)
        , FSize(size)
        , FShortMessage(std::move(shortMessage))
    { }

    size_t Remaining() const { return FSize - FOffset; }
    bool Has(size_t count) const { return count <= Remaining(); }

    uint16_t U16()
    {
        const unsigned char *p = Take(2);
        return uint16_t(p[0] | (p[1] << 8));
    }

    uint32_t U32()
    {
        const unsigned char *p = Take(4);
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    }

    QByteArray Bytes(size_t count)
    {
        const unsigned char *p = Take(count);
        return QByteArray(reinterpret_cast<const char *>(p), qsizetype(count));
    }

private:
    const unsigned char *Take(size_t count)
    {
        if (!Has(count))
            throw EZipException(FShortMessage);
        const unsigned char *p = FData + FOffset;
        FOffset += count;
        return p;
    }

    const unsigned char *FData;
    size_t FSize;
    size_t FOffset = 0;
    QString FShortMessage;
};

// The 32-bit little-endian value at p.
inline uint32_t LoadU32(const unsigned char *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
