// The entry record TZipHeader and its stored texts.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// The code page that stored name and comment bytes are written in.
enum TZipCodePage { zcpCp437, zcpUtf8 };

// Bytes as they lie in the archive, with the code page to read them in.
struct TZipString
{
    QByteArray Bytes;
    TZipCodePage CodePage = zcpCp437;

    QString Text() const;
};

// One central directory file header; a local file header fills only
// RequiredVersion through ExtraFieldLength, FileName and ExtraField.
struct TZipHeader
{
    uint16_t MadeByVersion = 0;
    uint16_t RequiredVersion = 0;
    uint16_t Flag = 0;
    uint16_t CompressionMethod = 0;
    uint32_t ModifiedDateTime = 0;
    uint32_t CRC32 = 0;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    uint16_t FileNameLength = 0;
    uint16_t ExtraFieldLength = 0;
    uint16_t FileCommentLength = 0;
    uint16_t DiskNumberStart = 0;
    uint16_t InternalAttributes = 0;
    uint32_t ExternalAttributes = 0;
    uint32_t LocalHeaderOffset = 0;
    TZipString FileName;
    QByteArray ExtraField;
    TZipString FileComment;
};

// General purpose flag bits the reader looks at.
constexpr uint16_t kZipFlagDataDescriptor = 1u << 3;
constexpr uint16_t kZipFlagUtf8 = 1u << 11;

// The code page that a header's flag gives its name and comment.
inline TZipCodePage ZipCodePageOf(uint16_t flag)
{
    return (flag & kZipFlagUtf8) ? zcpUtf8 : zcpCp437;
}

// Display text of a compression method code ("Stored", "Deflated", ...).
QString CompressionMethodName(uint16_t method);
