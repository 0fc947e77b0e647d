// The listing as JSON or JSON lines for programs.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

class TOutputSink;

// One row of a listing as data for programs: the facts, not only their texts.
struct TJsonRow
{
    QString Name; // the whole name, extension included
    QByteArray NameBytes; // the name as the file system spells it
    QString Path; // the folder, with a trailing "/"
    QByteArray PathBytes;
    QString Extension;
    bool IsFolder = false;
    int64_t Size = 0; // files only, and folders whose size is a total
    bool SizeIsTotal = false; // a folder's: the files below it, each counted once
    bool HasModified = true;
    int64_t ModifiedMs = 0; // Unix milliseconds
    int OffsetSeconds = 0; // the local offset the texts were made with
    QString SizeText; // as the listing shows them
    QString ModifiedText;
    // Set by a writer that reads names and values alone: neither the texts
    // nor the file system's bytes need be made, and Path may be the
    // listing's own text, valid while the listing is.
    bool WithoutTexts = false;
};

// Writes rows as UTF-8 JSON while they come: one array of objects, or with
// lines set one object per line. A name or path that is not valid UTF-8 is
// written with U+FFFD in place of the bad bytes, and its exact bytes follow in
// base64 as nameBytes or pathBytes; the fields are there only then.
class TJsonListingWriter
{
public:
    TJsonListingWriter(TOutputSink &sink, bool lines);
    ~TJsonListingWriter();
    TJsonListingWriter(const TJsonListingWriter &) = delete;
    TJsonListingWriter &operator=(const TJsonListingWriter &) = delete;

    void Write(const TJsonRow &row);
    // Ends the array and writes out what is buffered.
    void Finish();
    // Writes out the rows so far, through the sink, while more are to come.
    void Push();

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

// "2012-09-27T14:05:09.123+02:00": the local time with its offset; the
// milliseconds only when there are any. A null text for a time outside the
// years 1601 to 9999.
QString Iso8601Text(int64_t unixMs, int offsetSeconds);
