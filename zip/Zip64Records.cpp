#include "zip/Zip64Records.h"

#include "zip/ZipErrors.h"
#include "zip/ZipHeader.h"
#include "zip/private/ByteCursor.h"
#include "zip/private/Stream.h"

#include <climits>

namespace {

constexpr uint32_t kLocatorSignature = 0x07064b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr int64_t kLocatorSize = 20;
constexpr int64_t kZip64EndSize = 56; // without extensible data
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint32_t kMax32 = 0xFFFFFFFF;

[[noreturn]] void RaiseBadEndRecord()
{
    throw EZipException(QString(kErrZip64EndRecord));
}

uint64_t U64(TByteCursor &cursor)
{
    const uint64_t low = cursor.U32();
    return low | (uint64_t(cursor.U32()) << 32);
}

// Reads the fixed part of a ZIP64 end record at position; false when there is none.
bool ReadEndRecordAt(TSeekableStream &stream, int64_t position, TDirectoryLocation &location)
{
    if (position < 0 || position > stream.Size() - kZip64EndSize)
        return false;
    unsigned char fixed[kZip64EndSize];
    stream.Seek(position);
    if (stream.ReadFully(fixed, kZip64EndSize) != kZip64EndSize || LoadU32(fixed) != kZip64EndSignature)
        return false;
    TByteCursor cursor(fixed + 4, kZip64EndSize - 4, QString());
    U64(cursor); // size of the record
    cursor.U16(); // made by
    cursor.U16(); // needed
    cursor.U32(); // this disk
    cursor.U32(); // disk of the directory
    U64(cursor); // records on this disk
    location.EntryCount = U64(cursor);
    location.Size = U64(cursor);
    location.Offset = U64(cursor);
    location.EndPosition = position;
    return true;
}

} // namespace

bool ReadZip64EndRecord(TSeekableStream &stream, int64_t endRecordPosition, TDirectoryLocation &location)
{
    const int64_t locatorPosition = endRecordPosition - kLocatorSize;
    unsigned char locator[kLocatorSize];
    bool found = false;
    if (locatorPosition >= 0) {
        stream.Seek(locatorPosition);
        found =
            stream.ReadFully(locator, kLocatorSize) == kLocatorSize && LoadU32(locator) == kLocatorSignature;
    }
    if (!found) {
        if (location.Offset == kMax32 || location.Size == kMax32)
            throw EZipException(QString(kErrZip64Locator));
        return false;
    }
    TByteCursor cursor(locator + 8, 8, QString());
    const uint64_t recorded = U64(cursor);
    TDirectoryLocation found64;
    const bool atRecorded =
        recorded <= uint64_t(INT64_MAX) && ReadEndRecordAt(stream, int64_t(recorded), found64);
    // Bytes in front of the archive move the record as far as the directory:
    // then it stands just before the locator, and where the record says the
    // directory ends is where the locator says the record begins.
    if (!atRecorded && !ReadEndRecordAt(stream, locatorPosition - kZip64EndSize, found64))
        RaiseBadEndRecord();
    if (found64.EntryCount > uint64_t(INT_MAX) || found64.Size > uint64_t(INT64_MAX)
        || found64.Offset > uint64_t(INT64_MAX))
        RaiseBadEndRecord();
    if (!atRecorded && found64.Offset + found64.Size != recorded)
        RaiseBadEndRecord();
    location = found64;
    return true;
}

void ApplyZip64ExtraField(TZipHeader &header, bool central)
{
    const bool wantUncompressed = header.UncompressedSize == kMax32;
    const bool wantCompressed = header.CompressedSize == kMax32;
    const bool wantOffset = central && header.LocalHeaderOffset == kMax32;
    if (!wantUncompressed && !wantCompressed && !wantOffset)
        return;

    const QString shortField = kErrZip64FieldShort;
    const auto *extra = reinterpret_cast<const unsigned char *>(header.ExtraField.constData());
    TByteCursor blocks(extra, size_t(header.ExtraField.size()), QString());
    while (blocks.Has(4)) {
        const uint16_t id = blocks.U16();
        const uint16_t length = blocks.U16();
        if (!blocks.Has(length))
            break;
        const QByteArray data = blocks.Bytes(length);
        if (id != kZip64ExtraId)
            continue;
        TByteCursor field(reinterpret_cast<const unsigned char *>(data.constData()), length, shortField);
        // A local header carries both sizes once it carries either.
        const bool both = !central && length >= 16;
        if (wantUncompressed || both)
            header.UncompressedSize = U64(field);
        if (wantCompressed || both)
            header.CompressedSize = U64(field);
        if (wantOffset)
            header.LocalHeaderOffset = U64(field);
        // Beyond any file: a lie that would turn negative in a position.
        if (header.UncompressedSize > uint64_t(INT64_MAX) || header.CompressedSize > uint64_t(INT64_MAX)
            || header.LocalHeaderOffset > uint64_t(INT64_MAX))
            throw EZipException(QString(kErrZip64FieldInvalid));
        return;
    }
    throw EZipException(QString(kErrZip64FieldMissing));
}
