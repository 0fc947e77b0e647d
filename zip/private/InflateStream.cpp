#include "zip/private/InflateStream.h"

#include "zip/ZipErrors.h"

#include <algorithm>
#include <climits>

namespace {

[[noreturn]] void RaiseZlibError(int code)
{
    throw EZlibError(QString::fromLatin1(zError(code)));
}

} // namespace

TInflateStream::TInflateStream(TSeekableStream &source)
    : FSource(source)
    , FInput(new unsigned char[kInputBufferSize])
    , FSourcePosition(source.Position())
{
    // Negative window bits: bare deflate data, no zlib or gzip wrapper.
    const int result = inflateInit2(&FZStream, -MAX_WBITS);
    if (result < 0)
        RaiseZlibError(result);
}

TInflateStream::~TInflateStream()
{
    inflateEnd(&FZStream);
}

int64_t TInflateStream::Read(void *buffer, int64_t count)
{
    auto *out = static_cast<unsigned char *>(buffer);
    int64_t left = count;
    while (left > 0 && !FEnded) {
        bool dry = false;
        if (FZStream.avail_in == 0) {
            if (FSource.Position() != FSourcePosition)
                FSource.Seek(FSourcePosition);
            const int64_t got = FSource.Read(FInput.get(), kInputBufferSize);
            if (got > 0) {
                FSourcePosition += got;
                FZStream.next_in = FInput.get();
                FZStream.avail_in = uInt(got);
            }
            // Without input zlib may still owe output it has decoded; one more call collects it.
            dry = got <= 0;
        }
        const uInt room = uInt(std::min<int64_t>(left, UINT_MAX));
        FZStream.next_out = out;
        FZStream.avail_out = room;
        const int result = inflate(&FZStream, Z_NO_FLUSH);
        const uInt produced = room - FZStream.avail_out;
        out += produced;
        left -= produced;
        if (dry && (result == Z_BUF_ERROR || (produced == 0 && result != Z_STREAM_END)))
            break;
        // Raw data never asks for a dictionary; if it did, no call could make progress.
        if (result < 0 || result == Z_NEED_DICT)
            RaiseZlibError(result);
        if (result == Z_STREAM_END) {
            FEnded = true;
            if (FZStream.avail_in > 0) {
                FSourcePosition -= FZStream.avail_in;
                FSource.Seek(FSourcePosition);
                FZStream.avail_in = 0;
            }
        }
    }
    return count - left;
}
