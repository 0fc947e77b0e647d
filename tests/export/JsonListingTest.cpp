#include "export/JsonListing.h"
#include "export/OutputSink.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(JsonListing, TimesWithTheirOffset)
{
    const struct
    {
        int64_t Ms;
        int Offset;
        const char *Text;
    } cases[] = {
        {0, 0, "1970-01-01T00:00:00+00:00"},
        {-1, 0, "1969-12-31T23:59:59.999+00:00"},
        {1348754709123, 7200, "2012-09-27T16:05:09.123+02:00"},
        {1348754709000, -19800, "2012-09-27T08:35:09-05:30"},
        {1709164800000, 0, "2024-02-29T00:00:00+00:00"},
        {1709164799000, 3600, "2024-02-29T00:59:59+01:00"},
        {951782400000, 0, "2000-02-29T00:00:00+00:00"},
        {-11644473600000, 0, "1601-01-01T00:00:00+00:00"},
        {253402300799999, 0, "9999-12-31T23:59:59.999+00:00"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Iso8601Text(c.Ms, c.Offset), QLatin1String(c.Text)) << c.Ms;
    // No text, and no overflow, for what no date holds.
    const std::pair<int64_t, int> outside[] = {{INT64_MAX, 0},
        {INT64_MAX, 50400},
        {INT64_MAX, -50400},
        {INT64_MIN, -50400},
        {int64_t(1) << 50, 0},
        {253402300800000, 0},
        {253402300799999, 1},
        {-11644473600001, 0},
        {-11644473600000, -1}};
    for (const auto &[ms, offset] : outside)
        EXPECT_TRUE(Iso8601Text(ms, offset).isNull()) << ms << " " << offset;
}

QByteArray Written(bool lines, const std::vector<TJsonRow> &rows)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    TOutputSink sink(buffer);
    TJsonListingWriter writer(sink, lines);
    for (const TJsonRow &row : rows)
        writer.Write(row);
    writer.Finish();
    sink.Close();
    return buffer.data();
}

TEST(JsonListing, ArraysLinesAndNamesThatAreNotUtf8)
{
    TJsonRow file;
    file.NameBytes = "caf\xe9 \"x\".txt";
    file.Name = QString::fromUtf8(file.NameBytes);
    file.PathBytes = "/p/";
    file.Path = QStringLiteral("/p/");
    file.Extension = QStringLiteral(".txt");
    file.Size = 5000000000;
    file.ModifiedMs = 0;
    file.SizeText = QStringLiteral("4.65 GB");
    file.ModifiedText = QStringLiteral("1/1/1970");
    TJsonRow folder;
    folder.NameBytes = "\xc3\xa9t\xc3\xa9";
    folder.Name = QString::fromUtf8(folder.NameBytes);
    folder.PathBytes = "/p\xff/";
    folder.Path = QString::fromUtf8(folder.PathBytes);
    folder.IsFolder = true;
    folder.HasModified = false;

    const QByteArray fileJson =
        "{\"name\":\"caf\xef\xbf\xbd \\\"x\\\".txt\",\"nameBytes\":\"Y2Fm6SAieCIudHh0\","
        "\"path\":\"/p/\",\"extension\":\".txt\",\"type\":\"file\",\"size\":5000000000,"
        "\"modified\":\"1970-01-01T00:00:00+00:00\",\"sizeText\":\"4.65 GB\","
        "\"modifiedText\":\"1/1/1970\"}";
    const QByteArray folderJson =
        "{\"name\":\"\xc3\xa9t\xc3\xa9\",\"path\":\"/p\xef\xbf\xbd/\",\"pathBytes\":\"L3D/Lw==\","
        "\"extension\":\"\",\"type\":\"folder\",\"size\":null,\"modified\":null,"
        "\"sizeText\":\"\",\"modifiedText\":\"\"}";
    EXPECT_EQ(Written(false, {file, folder}), "[\n" + fileJson + ",\n" + folderJson + "\n]\n");
    EXPECT_EQ(Written(true, {file, folder}), fileJson + "\n" + folderJson + "\n");
    EXPECT_EQ(Written(false, {}), QByteArray("[\n]\n"));
    EXPECT_EQ(Written(true, {}), QByteArray());
}

TEST(JsonListing, ATimeNoDateHoldsIsNull)
{
    TJsonRow row;
    row.NameBytes = row.PathBytes = "/";
    row.Name = row.Path = QStringLiteral("/");
    row.ModifiedMs = INT64_MAX;
    row.OffsetSeconds = 3600;
    EXPECT_TRUE(Written(true, {row}).contains("\"modified\":null,"));
}

} // namespace
