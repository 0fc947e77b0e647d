// The stream that inflates deflated entries.
#pragma once

#include "zip/Stream.h"

#include <memory>
#include <zlib.h>

// Raw deflate data of the archive stream, read out decompressed. At the end
// of the deflate data the archive stream is left just after it.
class TInflateStream : public TStream
{
public:
    static constexpr int64_t kInputBufferSize = 65536;

    explicit TInflateStream(TSeekableStream &source);
    ~TInflateStream() override;
    TInflateStream(const TInflateStream &) = delete;
    TInflateStream &operator=(const TInflateStream &) = delete;

    int64_t Read(void *buffer, int64_t count) override;

private:
    TSeekableStream &FSource;
    z_stream FZStream{};
    std::unique_ptr<unsigned char[]> FInput;
    // Where our next input read starts, should someone else move the source.
    int64_t FSourcePosition;
    bool FEnded = false;
};
