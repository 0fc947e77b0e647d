// The buffered byte sink every export writes through, to a file or a device.
#pragma once

#include <QString>

#include <memory>
#include <vector>

class QIODevice;

// Where an export's bytes go: a file descriptor the sink owns, or a device
// that the caller opened and keeps. Bytes are gathered in a large buffer so a
// big listing costs few system calls; a refused write raises EInOutError.
class TOutputSink
{
public:
    static constexpr qsizetype BufferSize = 64 * 1024;

    // Takes ownership of fd; fileName names the file in error messages.
    TOutputSink(int fd, QString fileName);
    explicit TOutputSink(QIODevice &device);
    TOutputSink(const TOutputSink &) = delete;
    TOutputSink &operator=(const TOutputSink &) = delete;
    // Flushes and releases without reporting: the error that ends an export
    // is the one already on its way.
    ~TOutputSink();

    void Write(const char *data, qsizetype size);
    void WriteByte(char byte)
    {
        if (FUsed == BufferSize)
            Flush();
        FBuffer[size_t(FUsed++)] = byte;
    }
    // Writes out the buffer and closes the descriptor (a device stays open).
    void Close();
    // Writes out the buffer now, for a reader waiting on what came so far.
    void Flush();

private:
    void WriteOut(const char *data, qsizetype size);
    [[noreturn]] void Fail(int err) const;

    int FFd = -1;
    QIODevice *FDevice = nullptr;
    QString FFileName;
    std::vector<char> FBuffer;
    qsizetype FUsed = 0;
    bool FClosed = false;
};

// Takes the file lock that keeps other writers out while an export holds the
// file, then empties a regular file. Returns 0 or the errno of the failure.
int LockAndEmpty(int fd);
