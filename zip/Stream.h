// The stream interfaces the reader and extraction use.
#pragma once

#include <cstdint>

// A source of bytes read front to back.
class TStream
{
public:
    virtual ~TStream() = default;

    // Reads up to count bytes; fewer only at the end of the data (or on a
    // read failure, which looks the same to the caller).
    virtual int64_t Read(void *buffer, int64_t count) = 0;

    // Reads until count bytes are in or the data ends; returns how many.
    int64_t ReadFully(void *buffer, int64_t count);

    // Writes up to count bytes of the data straight into the open file fd, in
    // the kernel, and returns how many; 0 when this stream cannot or when it
    // holds fewer than count bytes. The caller copies the rest itself.
    virtual int64_t CopyToFile(int fd, int64_t count)
    {
        (void)fd;
        (void)count;
        return 0;
    }
};

// A stream with a position that can be moved, such as an archive file.
class TSeekableStream : public TStream
{
public:
    virtual int64_t Position() const = 0;
    virtual void Seek(int64_t position) = 0;
    virtual int64_t Size() const = 0;
};
