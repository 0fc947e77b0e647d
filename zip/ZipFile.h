// The ZIP archive reader TZipFile.
#pragma once

#include "zip/Zip64Records.h"
#include "zip/ZipErrors.h"
#include "zip/ZipHeader.h"

#include <QString>

#include <memory>
#include <vector>

class TFileStream;
class TSeekableStream;

enum TZipMode { zmClosed, zmRead };

// Reads ZIP archives: lists the central directory and extracts single entries.
class TZipFile
{
public:
    // Whether the file holds an end-of-central-directory record near its end.
    // Never raises; false for anything but a readable regular file.
    static bool IsValid(const QString &ZipFileName);

    TZipFile();
    ~TZipFile();
    TZipFile(const TZipFile &) = delete;
    TZipFile &operator=(const TZipFile &) = delete;

    // Closes any open archive, then opens this one and reads its directory.
    // On failure nothing stays open.
    void Open(const QString &ZipFileName, TZipMode OpenMode);
    void Close();

    TZipMode Mode() const { return FMode; }
    int FileCount() const;
    QString FileName(int Index) const;
    TZipHeader FileInfo(int Index) const;
    // The same header without a copy, valid until the archive closes.
    const TZipHeader &Entry(int Index) const;
    QString FileComment(int Index) const;
    // The comment of the last end record found; survives Close.
    QString Comment() const { return FComment; }

    // Writes entry Index below Path: with CreateSubdirs under its whole stored
    // name (folders created as needed), else under the last part of it.
    void Extract(int Index, const QString &Path, bool CreateSubdirs = true);

private:
    bool FindEndRecord(TSeekableStream &stream, TDirectoryLocation &record);
    void ReadCentralDirectory();
    TZipHeader ReadLocalHeader(const TZipHeader &central);
    uint32_t ExpectedCrc(const TZipHeader &central, const TZipHeader &local, int64_t dataStart);

    TZipMode FMode = zmClosed;
    TSeekableStream *FStream = nullptr;
    std::unique_ptr<TFileStream> FFileStream;
    int64_t FStartFileData = 0;
    std::vector<TZipHeader> FFiles;
    QString FComment;
};
