#include "export/JsonListing.h"

#include "export/OutputSink.h"
#include "platform/LocaleServices.h"

#include <cstdio>
#include <optional>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace {

constexpr size_t kFlushAt = 64 * 1024;

bool IsValidUtf8(const QByteArray &bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return QString::fromUtf8(bytes).toUtf8() == bytes;
    return true;
}

// Days since 1970-01-01 to the civil date (proleptic Gregorian).
void CivilFromDays(int64_t z, int64_t &y, unsigned &m, unsigned &d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
}

int64_t FloorDiv(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// A number of at least width digits, zeros in front ("%0*lld" for one >= 0).
void PutNumber(char *&p, int64_t value, int width)
{
    char digits[20];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n < width)
        digits[n++] = '0';
    while (n > 0)
        *p++ = digits[--n];
}

} // namespace

QString Iso8601Text(int64_t unixMs, int offsetSeconds)
{
    const std::optional<int64_t> inRange = LocalMillisecondsInDateRange(unixMs, offsetSeconds);
    if (!inRange)
        return {};
    const int64_t local = *inRange;
    const int64_t days = FloorDiv(local, 86400000);
    const int64_t inDay = local - days * 86400000;
    int64_t y = 0;
    unsigned m = 0;
    unsigned d = 0;
    CivilFromDays(days, y, m, d);
    const int ms = int(inDay % 1000);
    const int s = int(inDay / 1000);
    const int offset = offsetSeconds < 0 ? -offsetSeconds : offsetSeconds;
    // Laid out by hand: a big listing makes one per row.
    char text[64];
    char *p = text;
    PutNumber(p, y, 4);
    *p++ = '-';
    PutNumber(p, m, 2);
    *p++ = '-';
    PutNumber(p, d, 2);
    *p++ = 'T';
    PutNumber(p, s / 3600, 2);
    *p++ = ':';
    PutNumber(p, s / 60 % 60, 2);
    *p++ = ':';
    PutNumber(p, s % 60, 2);
    if (ms != 0) {
        *p++ = '.';
        PutNumber(p, ms, 3);
    }
    *p++ = offsetSeconds < 0 ? '-' : '+';
    PutNumber(p, offset / 3600, 2);
    *p++ = ':';
    PutNumber(p, offset / 60 % 60, 2);
    return QString::fromLatin1(text, p - text);
}

struct TJsonListingWriter::TState
{
    TOutputSink &Sink;
    bool Lines;
    bool First = true;
    rapidjson::StringBuffer Buffer;
    rapidjson::Writer<rapidjson::StringBuffer> Writer;

    TState(TOutputSink &sink, bool lines)
        : Sink(sink)
        , Lines(lines)
        , Writer(Buffer)
    { }

    void Put(const char *text)
    {
        while (*text)
            Buffer.Put(*text++);
    }
    void Flush()
    {
        Sink.Write(Buffer.GetString(), qsizetype(Buffer.GetSize()));
        Buffer.Clear();
    }
    void Value(const QString &value)
    {
        const QByteArray utf8 = value.toUtf8();
        Writer.String(utf8.constData(), rapidjson::SizeType(utf8.size()));
    }
    void Text(const char *key, const QString &value)
    {
        Writer.Key(key);
        Value(value);
    }
    void Bytes(const char *key, const QByteArray &bytes)
    {
        if (IsValidUtf8(bytes))
            return;
        const QByteArray base64 = bytes.toBase64();
        Writer.Key(key);
        Writer.String(base64.constData(), rapidjson::SizeType(base64.size()));
    }
};

TJsonListingWriter::TJsonListingWriter(TOutputSink &sink, bool lines)
    : FState(std::make_unique<TState>(sink, lines))
{
    if (!lines)
        FState->Put("[\n");
}

TJsonListingWriter::~TJsonListingWriter() = default;

void TJsonListingWriter::Write(const TJsonRow &row)
{
    TState &s = *FState;
    if (!s.Lines && !s.First)
        s.Put(",\n");
    s.First = false;
    // One document per row: the array's brackets and commas are ours.
    s.Writer.Reset(s.Buffer);
    s.Writer.StartObject();
    s.Text("name", row.Name);
    s.Bytes("nameBytes", row.NameBytes);
    s.Text("path", row.Path);
    s.Bytes("pathBytes", row.PathBytes);
    s.Text("extension", row.Extension);
    s.Writer.Key("type");
    s.Writer.String(row.IsFolder ? "folder" : "file");
    s.Writer.Key("size");
    if (row.IsFolder && !row.SizeIsTotal)
        s.Writer.Null();
    else
        s.Writer.Int64(row.Size);
    if (row.SizeIsTotal) {
        s.Writer.Key("sizeIsTotal");
        s.Writer.Bool(true);
    }
    s.Writer.Key("modified");
    const QString modified = row.HasModified ? Iso8601Text(row.ModifiedMs, row.OffsetSeconds) : QString();
    if (!modified.isNull())
        s.Value(modified);
    else
        s.Writer.Null();
    s.Text("sizeText", row.SizeText);
    s.Text("modifiedText", row.ModifiedText);
    s.Writer.EndObject();
    if (s.Lines)
        s.Buffer.Put('\n');
    if (s.Buffer.GetSize() >= kFlushAt)
        s.Flush();
}

void TJsonListingWriter::Push()
{
    FState->Flush();
    FState->Sink.Flush();
}

void TJsonListingWriter::Finish()
{
    if (!FState->Lines)
        FState->Put(FState->First ? "]\n" : "\n]\n");
    FState->Flush();
}
