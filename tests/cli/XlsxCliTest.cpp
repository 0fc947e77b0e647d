#include "CliRunner.h"
#include "support/XlsxReadBack.h"

#include <QDateTime>
#include <QJsonArray>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utility>

namespace {

class XlsxCliTest : public TUtcFolderTest
{
protected:
    void SetUp() override
    {
        TUtcFolderTest::SetUp();
        Listed = Root + QStringLiteral("/Отчёт [2024]");
        Out = Root + QStringLiteral("/out/list.xlsx");
        ASSERT_TRUE(QDir(Root).mkpath(QStringLiteral("out")));
        ASSERT_TRUE(QDir(Root).mkpath(Listed + QStringLiteral("/sub")));
        File(QStringLiteral("sub/deep.txt"), 7, "2020-05-05T00:00:00");
        File(QStringLiteral("=SUM(A1).csv"), 1234567, "2024-05-06T07:08:09");
        File(QStringLiteral("Документ.txt"), 40, "2021-05-14T14:13:00");
        File(QStringLiteral("中文文件.txt"), 300, "2021-02-11T11:01:30");
    }

    void File(const QString &relative, int size, const char *utc)
    {
        const QString path = Listed + QLatin1Char('/') + relative;
        WriteFile(path, QByteArray(size, 'x'));
        QDateTime when = QDateTime::fromString(QString::fromLatin1(utc), Qt::ISODate);
        when.setTimeZone(QTimeZone::utc());
        const struct timespec times[2] = {{when.toSecsSinceEpoch(), 0}, {when.toSecsSinceEpoch(), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    }

    QStringList Xlsx(const QStringList &more) const
    {
        return QStringList{QStringLiteral("--format"), QStringLiteral("xlsx"), QStringLiteral("-o"), Out}
        + more;
    }

    // "name|path|size|extension|modified" of each row after the header.
    static QStringList Rows(const QJsonObject &book)
    {
        QStringList rows;
        const QJsonArray all = book[QLatin1String("rows")].toArray();
        for (qsizetype r = 1; r < all.size(); ++r) {
            QStringList cells;
            for (const QJsonValue cell : all[r].toArray()) {
                const QJsonValue v = cell.toObject()[QLatin1String("v")];
                cells << (v.isDouble() ? QString::number(v.toInteger()) : v.toString());
            }
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    }

    QString Listed;
    QString Out;
};

TEST_F(XlsxCliTest, ATreeReadsBackAsTheSameRows)
{
    const TCliRun run =
        RunCli(Xlsx({QStringLiteral("-r"), QStringLiteral("--sort"), QStringLiteral("size"), Listed}));
    ASSERT_EQ(run.Status, 0) << run.Err.constData();
    EXPECT_TRUE(run.Err.isEmpty()) << run.Err.constData();
    const QJsonObject book = ReadXlsx(Out);
    // "[" and "]" may not stand in a sheet's name.
    EXPECT_EQ(book[QLatin1String("sheets")].toArray(), QJsonArray{QStringLiteral("Отчёт _2024_")});
    EXPECT_EQ(book[QLatin1String("freeze")].toString(), QStringLiteral("A2"));
    EXPECT_EQ(book[QLatin1String("filter")].toString(), QStringLiteral("A1:E5"));
    const QString top = Listed + QLatin1Char('/');
    EXPECT_EQ(Rows(book),
        (QStringList{QStringLiteral("deep|%1sub/|7|.txt|2020-05-05T00:00:00").arg(top),
            QStringLiteral("Документ|%1|40|.txt|2021-05-14T14:13:00").arg(top),
            QStringLiteral("中文文件|%1|300|.txt|2021-02-11T11:01:30").arg(top),
            QStringLiteral("=SUM(A1)|%1|1234567|.csv|2024-05-06T07:08:09").arg(top)}));

    // Folders come first, without a size; names keep their extensions when asked.
    const TCliRun folders = RunCli(Xlsx({QStringLiteral("--folders"),
        QStringLiteral("--extensions"),
        QStringLiteral("--no-headers"),
        Listed}));
    ASSERT_EQ(folders.Status, 0) << folders.Err.constData();
    const QJsonArray rows = ReadXlsx(Out)[QLatin1String("rows")].toArray();
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0].toArray()[0].toObject()[QLatin1String("v")].toString(), QStringLiteral("sub"));
    EXPECT_TRUE(rows[0].toArray()[2].toObject()[QLatin1String("v")].isNull());
    EXPECT_EQ(rows[1].toArray()[0].toObject()[QLatin1String("v")].toString(), QStringLiteral("=SUM(A1).csv"));
    EXPECT_EQ(rows[1].toArray()[0].toObject()[QLatin1String("t")].toString(), QStringLiteral("s"));

    // With totals a folder's size is the sum of the files below it, a number.
    const TCliRun totals = RunCli(Xlsx({QStringLiteral("-r"),
        QStringLiteral("--folders"),
        QStringLiteral("--no-files"),
        QStringLiteral("--folder-sizes"),
        QStringLiteral("--no-headers"),
        Listed}));
    ASSERT_EQ(totals.Status, 0) << totals.Err.constData();
    const QJsonArray sub = ReadXlsx(Out)[QLatin1String("rows")].toArray();
    ASSERT_EQ(sub.size(), 1);
    EXPECT_EQ(sub[0].toArray()[2].toObject()[QLatin1String("v")].toInteger(), 7);
    EXPECT_EQ(sub[0].toArray()[2].toObject()[QLatin1String("t")].toString(), QStringLiteral("n"));
}

TEST_F(XlsxCliTest, MoreRowsThanTheBoundAreCutWithAMessageAndStatus1)
{
    QProcessEnvironment bound;
    bound.insert(QStringLiteral("CARTOLA_XLSX_MAX_ROWS"), QStringLiteral("3"));
    const TCliRun run = RunCli(Xlsx({QStringLiteral("-r"), Listed}), QString(), bound);
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, QByteArray("cartola-list: The spreadsheet holds the first 2 of 4 rows.\n"));
    EXPECT_EQ(ReadXlsx(Out)[QLatin1String("rows")].toArray().size(), 3);
}

TEST_F(XlsxCliTest, AFileIsRequiredAndAFailedWriteLeavesNothing)
{
    const TCliRun noFile = RunCli({QStringLiteral("--format"), QStringLiteral("xlsx"), Listed});
    EXPECT_EQ(noFile.Status, 2);
    EXPECT_TRUE(noFile.Err.contains("The xlsx format needs -o FILE.")) << noFile.Err.constData();

    const TCliRun missing = RunCli({QStringLiteral("--format"),
        QStringLiteral("xlsx"),
        QStringLiteral("-o"),
        Root + QStringLiteral("/no/x.xlsx"),
        Listed});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(missing.Err.startsWith("cartola-list: Invalid file name - ")) << missing.Err.constData();

    // A write past the file-size limit fails as a full disk does, in the zip
    // (a few rows) or in the rows' temporary file (many): the old file stays whole.
    const QString many = Root + QStringLiteral("/many");
    ASSERT_TRUE(QDir(Root).mkpath(QStringLiteral("many")));
    for (int i = 0; i < 2000; ++i)
        WriteFile(many + QStringLiteral("/a-rather-long-file-name-%1.txt").arg(i), "x");
    for (const auto &[folder, limit] : {std::pair{Listed, 1024}, std::pair{many, 65536}}) {
        SCOPED_TRACE(folder.toStdString());
        WriteFile(Out, "old");
        QProcess p;
        p.setProcessEnvironment(CliEnvironment({}));
        p.setChildProcessModifier([limit = rlim_t(limit)] {
            const rlimit fileSize{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &fileSize);
        });
        p.start(QStringLiteral(CARTOLA_LIST_EXE), Xlsx({folder}));
        TCliRun full;
        FinishCli(p, full);
        EXPECT_EQ(full.Status, 1);
        // The library may say its part first; the last line is ours.
        const QList<QByteArray> lines = full.Err.trimmed().split('\n');
        EXPECT_TRUE(lines.last().startsWith("cartola-list: I/O error")) << full.Err.constData();
        EXPECT_EQ(ReadAll(Out), QByteArray("old"));
        EXPECT_EQ(QDir(Root + QStringLiteral("/out")).entryList(QDir::Files),
            QStringList{QStringLiteral("list.xlsx")});
    }
}

TEST(XlsxCliHelpTest, HelpAndUsageNameTheFormat)
{
    const TCliRun help = RunCli({QStringLiteral("--help")});
    EXPECT_TRUE(help.Out.contains("json, jsonl or xlsx")) << help.Out.constData();
    const TCliRun unknown = RunCli({QStringLiteral("--format"), QStringLiteral("xlsm"), QStringLiteral(".")});
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_TRUE(unknown.Err.contains("json, jsonl or xlsx.")) << unknown.Err.constData();
}

} // namespace
