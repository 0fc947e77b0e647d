// The archive file as a seekable stream.
#pragma once

#include "zip/Stream.h"

#include <QString>

#include <memory>

// An archive file opened read-only through POSIX.
class TFileStream : public TSeekableStream
{
public:
    // Opens an existing regular file; anything else (missing, a folder, a
    // FIFO, a device) raises "Cannot open file". A FIFO is never opened in a
    // way that could block.
    static std::unique_ptr<TFileStream> OpenRead(const QString &fileName);

    ~TFileStream() override;
    TFileStream(const TFileStream &) = delete;
    TFileStream &operator=(const TFileStream &) = delete;

    int64_t Read(void *buffer, int64_t count) override;
    int64_t CopyToFile(int fd, int64_t count) override;
    int64_t Position() const override { return FPosition; }
    void Seek(int64_t position) override { FPosition = position < 0 ? 0 : position; }
    int64_t Size() const override { return FSize; }

private:
    TFileStream(int fd, int64_t size);

    int FFd;
    int64_t FPosition = 0;
    int64_t FSize;
};

// true when the path names a regular file (after links); never opens it.
bool IsRegularFilePath(const QString &fileName);

// The absolute form of a path, as error messages show it.
QString FullPathName(const QString &fileName);
