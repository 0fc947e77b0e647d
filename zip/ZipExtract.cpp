#include "platform/PlatformErrors.h"
#include "zip/CompressionHandlers.h"
#include "zip/ExtractTarget.h"
#include "zip/ZipFile.h"
#include "zip/private/ByteCursor.h"
#include "zip/private/Stream.h"

#include <algorithm>
#include <vector>

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kDescriptorSignature = 0x08074b50;
constexpr size_t kLocalFixedSize = 26;
constexpr int64_t kExactCopyBuffer = 61440;
constexpr int64_t kBlockSize = 4096;

[[noreturn]] void RaiseReadError()
{
    throw EStreamError(QString(kErrStreamRead));
}

// Exactly count bytes, else "Stream read error" before the short piece is written.
void CopyExactly(TStream &data, TExtractOutput &output, int64_t count)
{
    // Stored bytes go from the archive to the file in the kernel where it can.
    count -= output.CopyFrom(data, count);
    if (count <= 0)
        return;
    std::vector<char> buffer(size_t(std::min(count, kExactCopyBuffer)));
    while (count > 0) {
        const int64_t want = std::min(count, int64_t(buffer.size()));
        if (data.ReadFully(buffer.data(), want) != want)
            RaiseReadError();
        output.Write(buffer.data(), size_t(want));
        count -= want;
    }
}

// Blocks until the data runs out, but never past the size the directory
// declares: a lying archive cannot fill the disk.
void CopyBlocks(TStream &data, TExtractOutput &output, int64_t limit)
{
    char block[kBlockSize];
    while (limit > 0) {
        const int64_t got = data.ReadFully(block, kBlockSize);
        const int64_t keep = std::min(got, limit);
        output.Write(block, size_t(keep));
        limit -= keep;
        if (got < kBlockSize)
            break;
    }
}

bool IsEncrypted(const TZipHeader &h)
{
    return (h.Flag & kZipFlagEncrypted) || h.CompressionMethod == kZipMethodAes;
}

[[noreturn]] void RaiseEncrypted()
{
    throw EZipException(QString(kErrEntryEncrypted));
}

} // namespace

TZipHeader TZipFile::ReadLocalHeader(const TZipHeader &central)
{
    const QString badSignature = kErrLocalSignature;
    if (central.LocalHeaderOffset > uint64_t(FStream->Size()))
        throw EZipException(badSignature);
    FStream->Seek(int64_t(central.LocalHeaderOffset) + FStartFileData);
    unsigned char fixed[4 + kLocalFixedSize];
    if (FStream->ReadFully(fixed, 4) != 4 || LoadU32(fixed) != kLocalHeaderSignature)
        throw EZipException(badSignature);
    if (FStream->ReadFully(fixed + 4, kLocalFixedSize) != int64_t(kLocalFixedSize))
        RaiseReadError();
    TByteCursor cursor(fixed + 4, kLocalFixedSize, QString(kErrStreamRead));
    TZipHeader local;
    local.RequiredVersion = cursor.U16();
    local.Flag = cursor.U16();
    local.CompressionMethod = cursor.U16();
    local.ModifiedDateTime = cursor.U32();
    local.CRC32 = cursor.U32();
    local.CompressedSize = cursor.U32();
    local.UncompressedSize = cursor.U32();
    local.FileNameLength = cursor.U16();
    local.ExtraFieldLength = cursor.U16();
    const auto variable = [this](uint16_t length) {
        QByteArray bytes(length, Qt::Uninitialized);
        if (FStream->ReadFully(bytes.data(), length) != length)
            RaiseReadError();
        return bytes;
    };
    local.FileName = {variable(local.FileNameLength), ZipCodePageOf(local.Flag)};
    local.ExtraField = variable(local.ExtraFieldLength);
    ApplyZip64ExtraField(local, false);
    return local;
}

// The CRC-32 the entry's bytes must have: the directory's, or, when that is 0
// and the sizes follow the data, the one of the data descriptor.
uint32_t TZipFile::ExpectedCrc(const TZipHeader &central, const TZipHeader &local, int64_t dataStart)
{
    if (!(local.Flag & kZipFlagDataDescriptor) || central.CRC32 != 0)
        return central.CRC32;
    if (central.CompressedSize > uint64_t(FStream->Size() - dataStart))
        return central.CRC32;
    unsigned char descriptor[8];
    FStream->Seek(dataStart + int64_t(central.CompressedSize));
    if (FStream->ReadFully(descriptor, 8) != 8)
        return central.CRC32;
    // The descriptor's signature is optional.
    return LoadU32(descriptor) == kDescriptorSignature ? LoadU32(descriptor + 4) : LoadU32(descriptor);
}

void TZipFile::Extract(int Index, const QString &Path, bool CreateSubdirs)
{
    if (FMode != zmRead)
        throw EZipException(QString(kErrMustBeOpenForReading));
    if (Index < 0 || size_t(Index) >= FFiles.size())
        throw EZipException(QString(kErrFileNotFound));
    // A copy: a handler gets the reader and could change its entries.
    const TZipHeader central = FFiles[size_t(Index)];
    // Its bytes would be ciphertext: refused before anything is created.
    if (IsEncrypted(central))
        RaiseEncrypted();
    const TZipHeader local = ReadLocalHeader(central);
    if (IsEncrypted(local))
        RaiseEncrypted();
    const int64_t dataStart = FStream->Position();

    const TStreamConstructor makeStream = FindDecompressor(central.CompressionMethod);
    std::unique_ptr<TStream> data = makeStream ? makeStream(*FStream, *this, local) : nullptr;
    if (!data)
        throw EZipException(QString(kErrItemNotFound));

    TExtractOutput output(PlanExtractTarget(Path, central.FileName.Text(), CreateSubdirs));
    if (!output.HasFile())
        return;
    if (!(local.Flag & kZipFlagDataDescriptor))
        CopyExactly(*data, output, int64_t(central.UncompressedSize));
    else if (central.CompressionMethod == 0)
        // Stored data has no end marker; the directory's size is all there is.
        CopyExactly(*data, output, int64_t(central.CompressedSize));
    else
        CopyBlocks(*data, output, int64_t(central.UncompressedSize));
    output.Close();
    if (output.Crc() != ExpectedCrc(central, local, dataStart))
        throw EZipException(QString(kErrCrcErrorIn) + central.FileName.Text());
    output.Commit();
}
