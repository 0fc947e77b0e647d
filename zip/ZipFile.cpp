#include "zip/ZipFile.h"

#include "platform/CodePages.h"
#include "zip/private/ByteCursor.h"
#include "zip/private/FileStream.h"

#include <algorithm>

namespace {

constexpr uint32_t kEndRecordSignature = 0x06054b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;

constexpr int64_t kEndRecordSize = 22; // signature and fixed fields
constexpr int64_t kSearchLimit = 65535;
constexpr int64_t kSearchWindow = 1028;
constexpr int64_t kSearchStep = 1024;
constexpr size_t kCentralFixedSize = 42;
constexpr int64_t kDirectoryChunk = 1 << 20;

QString ReadErrorText()
{
    return kErrReadingZip;
}

bool HasCentralSignature(TSeekableStream &stream, int64_t position)
{
    unsigned char signature[4];
    stream.Seek(position);
    return stream.ReadFully(signature, 4) == 4 && LoadU32(signature) == kCentralHeaderSignature;
}

// Sequential reads of the central directory through one large buffer, so a
// directory of many records costs a few reads rather than several per record.
class TDirectoryReader
{
public:
    TDirectoryReader(TSeekableStream &stream, int64_t start)
        : FStream(stream)
        , FFilePosition(start)
    { }

    // Makes count bytes available at Data(); false when the file ends first.
    bool Ensure(size_t count)
    {
        if (FBuffer.size() - FOffset >= count)
            return true;
        FBuffer.erase(FBuffer.begin(), FBuffer.begin() + std::ptrdiff_t(FOffset));
        FOffset = 0;
        const int64_t left = FStream.Size() - FFilePosition;
        if (left <= 0 || FBuffer.size() + size_t(left) < count)
            return false;
        const size_t want =
            size_t(std::min<int64_t>(left, std::max<int64_t>(kDirectoryChunk, int64_t(count))));
        const size_t kept = FBuffer.size();
        FBuffer.resize(kept + want);
        FStream.Seek(FFilePosition);
        const int64_t got = FStream.ReadFully(FBuffer.data() + kept, int64_t(want));
        FBuffer.resize(kept + size_t(got));
        FFilePosition += got;
        return FBuffer.size() >= count;
    }

    // A cursor over the next count bytes, which Ensure made available.
    TByteCursor Take(size_t count, const QString &shortMessage)
    {
        TByteCursor cursor(FBuffer.data() + FOffset, count, shortMessage);
        FOffset += count;
        return cursor;
    }

private:
    TSeekableStream &FStream;
    int64_t FFilePosition;
    std::vector<unsigned char> FBuffer;
    size_t FOffset = 0;
};

// Where the central directory starts: at its recorded offset, or that far
// behind the bytes that stand in front of the archive (a self-extracting
// stub), which show as the gap between the directory's end and the end record.
int64_t DirectoryStart(TSeekableStream &stream, const TDirectoryLocation &record)
{
    const int64_t recorded = int64_t(record.Offset);
    if (record.EntryCount == 0 || record.Size > uint64_t(record.EndPosition))
        return recorded;
    const int64_t prefix = record.EndPosition - int64_t(record.Size) - recorded;
    if (prefix <= 0 || HasCentralSignature(stream, recorded)
        || !HasCentralSignature(stream, recorded + prefix))
        return recorded;
    return recorded + prefix;
}

} // namespace

TZipFile::TZipFile() = default;

TZipFile::~TZipFile()
{
    Close();
}

bool TZipFile::IsValid(const QString &ZipFileName)
{
    // Checked before any open: opening a FIFO could wait for ever.
    if (!IsRegularFilePath(ZipFileName))
        return false;
    try {
        const std::unique_ptr<TFileStream> stream = TFileStream::OpenRead(ZipFileName);
        TZipFile probe;
        TDirectoryLocation record;
        return probe.FindEndRecord(*stream, record);
    } catch (const std::exception &) {
        return false;
    }
}

bool TZipFile::FindEndRecord(TSeekableStream &stream, TDirectoryLocation &record)
{
    const int64_t size = stream.Size();
    const int64_t limit = std::min(size, kSearchLimit);
    if (limit <= 4)
        return false;
    const int64_t lowest = size - limit;
    // A candidate needs its fixed fields inside the file; one too near the end is skipped.
    const int64_t highest = size - kEndRecordSize;

    unsigned char window[kSearchWindow];
    int64_t start = std::max(size - kSearchWindow, lowest);
    for (;;) {
        const int64_t length = std::min(kSearchWindow, size - start);
        stream.Seek(start);
        if (stream.ReadFully(window, length) != length)
            throw EZipException(ReadErrorText());
        for (int64_t p = start + length - 4; p >= start; --p) {
            if (p > highest || LoadU32(window + (p - start)) != kEndRecordSignature)
                continue;
            unsigned char fixed[kEndRecordSize - 4];
            stream.Seek(p + 4);
            if (stream.ReadFully(fixed, sizeof fixed) != int64_t(sizeof fixed))
                throw EZipException(ReadErrorText());
            TByteCursor cursor(fixed, sizeof fixed, ReadErrorText());
            cursor.U16(); // this disk
            cursor.U16(); // disk of the directory
            cursor.U16(); // records on this disk
            record.EntryCount = cursor.U16();
            record.Size = cursor.U32();
            record.Offset = cursor.U32();
            record.EndPosition = p;
            const uint16_t commentLength = cursor.U16();
            FComment.clear();
            if (commentLength != 0) {
                QByteArray comment(
                    std::min<int64_t>(commentLength, size - (p + kEndRecordSize)), Qt::Uninitialized);
                comment.resize(qsizetype(stream.ReadFully(comment.data(), comment.size())));
                FComment = FromCp437(comment);
            }
            return true;
        }
        if (start == lowest)
            return false;
        start = std::max(start - kSearchStep, lowest);
    }
}

void TZipFile::Open(const QString &ZipFileName, TZipMode OpenMode)
{
    Close();
    if (OpenMode != zmRead)
        return;
    std::unique_ptr<TFileStream> file = TFileStream::OpenRead(ZipFileName);
    if (file->Size() == 0)
        throw EStreamError(QString(kErrStreamRead));
    FFileStream = std::move(file);
    FStream = FFileStream.get();
    FStartFileData = FStream->Position();
    try {
        ReadCentralDirectory();
    } catch (...) {
        FFiles.clear();
        FStream = nullptr;
        FFileStream.reset();
        throw;
    }
    FMode = zmRead;
}

void TZipFile::ReadCentralDirectory()
{
    FFiles.clear();
    TDirectoryLocation record;
    if (!FindEndRecord(*FStream, record))
        throw EZipException(ReadErrorText());
    ReadZip64EndRecord(*FStream, record.EndPosition, record);
    const int64_t start = DirectoryStart(*FStream, record);
    // Bytes in front of the archive move every local header as far as the directory.
    FStartFileData += start - int64_t(record.Offset);

    // Made once: each record would otherwise make these texts anew.
    const QString badSignature = kErrCentralSignature;
    const QString readError = ReadErrorText();
    TDirectoryReader reader(*FStream, start);
    // A lying count must not reserve more than the file could hold.
    const int64_t room = std::max<int64_t>(0, FStream->Size() - start);
    FFiles.reserve(size_t(std::min<int64_t>(int64_t(record.EntryCount), room / 46)));
    for (uint64_t i = 0; i < record.EntryCount; ++i) {
        if (!reader.Ensure(4) || reader.Take(4, badSignature).U32() != kCentralHeaderSignature)
            throw EZipException(badSignature);
        if (!reader.Ensure(kCentralFixedSize))
            throw EZipException(readError);
        TByteCursor fixed = reader.Take(kCentralFixedSize, readError);
        TZipHeader h;
        h.MadeByVersion = fixed.U16();
        h.RequiredVersion = fixed.U16();
        h.Flag = fixed.U16();
        h.CompressionMethod = fixed.U16();
        h.ModifiedDateTime = fixed.U32();
        h.CRC32 = fixed.U32();
        h.CompressedSize = fixed.U32();
        h.UncompressedSize = fixed.U32();
        h.FileNameLength = fixed.U16();
        h.ExtraFieldLength = fixed.U16();
        h.FileCommentLength = fixed.U16();
        h.DiskNumberStart = fixed.U16();
        h.InternalAttributes = fixed.U16();
        h.ExternalAttributes = fixed.U32();
        h.LocalHeaderOffset = fixed.U32();
        const auto variable = [&](uint16_t length) {
            if (length == 0)
                return QByteArray();
            if (!reader.Ensure(length))
                throw EZipException(readError);
            return reader.Take(length, readError).Bytes(length);
        };
        const TZipCodePage codePage = ZipCodePageOf(h.Flag);
        h.FileName = {variable(h.FileNameLength), codePage};
        h.ExtraField = variable(h.ExtraFieldLength);
        h.FileComment = {variable(h.FileCommentLength), codePage};
        ApplyZip64ExtraField(h, true);
        FFiles.push_back(std::move(h));
    }
}

void TZipFile::Close()
{
    FMode = zmClosed;
    FFiles.clear();
    FStream = nullptr;
    FFileStream.reset();
}

const TZipHeader &TZipFile::Entry(int Index) const
{
    if (FMode == zmClosed)
        throw EZipException(QString(kErrFileMustBeOpen));
    if (Index < 0 || size_t(Index) >= FFiles.size())
        throw EError(QString(kErrArgumentOutOfRange));
    return FFiles[size_t(Index)];
}

int TZipFile::FileCount() const
{
    if (FMode == zmClosed)
        throw EZipException(QString(kErrFileMustBeOpen));
    return int(FFiles.size());
}

QString TZipFile::FileName(int Index) const
{
    return Entry(Index).FileName.Text();
}

TZipHeader TZipFile::FileInfo(int Index) const
{
    return Entry(Index);
}

QString TZipFile::FileComment(int Index) const
{
    return Entry(Index).FileComment.Text();
}
