// The stream of stored (uncompressed) entries.
#pragma once

#include "zip/Stream.h"

// The archive's bytes unchanged from its current position. It has no end of
// its own: whoever reads it bounds the count.
class TStoredStream : public TStream
{
public:
    explicit TStoredStream(TSeekableStream &source)
        : FSource(source)
    { }

    int64_t Read(void *buffer, int64_t count) override { return FSource.Read(buffer, count); }
    int64_t CopyToFile(int fd, int64_t count) override { return FSource.CopyToFile(fd, count); }

private:
    TSeekableStream &FSource;
};
