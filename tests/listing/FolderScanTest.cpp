#include "listing/FolderEntries.h"
#include "listing/FolderScan.h"
#include "listing/GridColumns.h"
#include "platform/Errors.h"
#include "platform/FileNames.h"
#include "support/Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

void WriteFile(const QString &path, qsizetype size = 0)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(QByteArray(size, 'x'));
}

struct FolderScanTest : ::testing::Test
{
    QTemporaryDir tmp;
    TGridTable sgDir{DirColumns()};
    TGridTable sgFileList{FileListColumns()};
    TGridTable sgFiles{FilesColumns()};
    TScanOptions options;

    QString Root() const { return tmp.path(); }
    void Scan() { ScanFolder(Root(), options, sgDir, sgFileList, sgFiles); }
    QStringList Column(const TGridTable &g, int col) const
    {
        QStringList out;
        for (int r = 0; r < g.RowCount(); ++r)
            out << g.Cells(col, r);
        out.sort();
        return out;
    }
};

TEST(ScanHelpers, PadLeft)
{
    EXPECT_EQ(PadLeft(15, QLatin1Char('0'), 1234), QStringLiteral("000000000001234"));
    EXPECT_EQ(PadLeft(15, QLatin1Char('0'), 0), QStringLiteral("000000000000000"));
    EXPECT_EQ(PadLeft(15, QLatin1Char('0'), -5), QStringLiteral("0000000000000-5"));
    EXPECT_EQ(PadLeft(15, QLatin1Char('0'), 1234567890123456), QStringLiteral("234567890123456"));
}

TEST(ScanHelpers, DaySerialText)
{
    const double t = 41179.0 + (14 * 3600 + 5 * 60 + 9.123) / 86400.0;
    EXPECT_EQ(DaySerialText(t, QLatin1Char('.')), QStringLiteral("41179.5869111458"));
    EXPECT_EQ(DaySerialText(t, QLatin1Char(',')), QStringLiteral("41179,5869111458"));
    EXPECT_EQ(DaySerialText(41179.0, QLatin1Char('.')), QStringLiteral("41179"));
}

TEST(ScanHelpers, ExtensionSplitAndMask)
{
    EXPECT_EQ(ExtractExtension(QStringLiteral("archive.tar.gz")), QStringLiteral(".gz"));
    EXPECT_EQ(NameWithoutExtension(QStringLiteral("archive.tar.gz")), QStringLiteral("archive.tar"));
    EXPECT_EQ(ExtractExtension(QStringLiteral("file.")), QStringLiteral("."));
    EXPECT_EQ(ExtractExtension(QStringLiteral("README")), QString());
    EXPECT_EQ(NameWithoutExtension(QStringLiteral("README")), QStringLiteral("README"));

    QString mask = QStringLiteral("ab");
    EXPECT_TRUE(CorrectMask(mask));
    EXPECT_EQ(mask, QStringLiteral("*.*"));
    mask = QStringLiteral("*.c");
    EXPECT_FALSE(CorrectMask(mask));
    mask.clear();
    EXPECT_TRUE(CorrectMask(mask));

    EXPECT_TRUE(MaskAccepts(QStringLiteral("*.txt"), QStringLiteral(".txt")));
    EXPECT_TRUE(MaskAccepts(QStringLiteral("*.txt"), QStringLiteral(".tx")));
    EXPECT_FALSE(MaskAccepts(QStringLiteral("*.txt"), QStringLiteral(".TXT")));
    EXPECT_FALSE(MaskAccepts(QStringLiteral("*.txt"), QStringLiteral(".xt")));
    EXPECT_FALSE(MaskAccepts(QStringLiteral("*.txt"), QString()));
    EXPECT_FALSE(MaskAccepts(QStringLiteral("txt"), QStringLiteral(".txt")));
    EXPECT_TRUE(MaskAccepts(QStringLiteral("*.jpg;*.png"), QStringLiteral(".png")));
    EXPECT_TRUE(MaskAccepts(QStringLiteral("*.*"), QString()));
}

TEST(ScanHelpers, CountLabel)
{
    EXPECT_EQ(CountLabelText(3, 12), QStringLiteral("Folders: 3  Files: 12"));
}

TEST(ScanHelpers, PathChecksInOrder)
{
    const QString base = QStringLiteral("/tmp/");
    EXPECT_NO_THROW(CheckPathText(base + QString(247 - base.size(), QLatin1Char('a'))));
    try {
        CheckPathText(base + QString(248 - base.size(), QLatin1Char('a')));
        FAIL();
    } catch (const EError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("The specified path is too long"));
    }
    const auto messageOf = [](const QString &p) {
        try {
            CheckPathText(p);
        } catch (const EError &e) {
            return e.Message();
        }
        return QString();
    };
    EXPECT_EQ(messageOf(QStringLiteral("/tmp/a:b|c")), QStringLiteral("The path format is not supported"));
    EXPECT_EQ(messageOf(QStringLiteral("/tmp/a|b")), QStringLiteral("Invalid characters in path"));
    EXPECT_EQ(messageOf(QStringLiteral("/tmp/a\nb")), QStringLiteral("Invalid characters in path"));
    EXPECT_EQ(messageOf(QStringLiteral("/tmp/<img src=x>")), QStringLiteral("Invalid characters in path"));
}

TEST_F(FolderScanTest, FileRowsHoldRawSortableValues)
{
    WriteFile(Root() + QStringLiteral("/archive.tar.gz"), 1234);
    WriteFile(Root() + QStringLiteral("/empty"), 0);
    QDir(Root()).mkdir(QStringLiteral("my.dir"));
    Scan();
    ASSERT_EQ(sgFileList.RowCount(), 2);
    EXPECT_EQ(sgDir.RowCount(), 0); // folders not shown
    EXPECT_EQ(sgFiles.RowCount(), 1);
    int r = sgFileList.Cells(scName, 0) == QStringLiteral("archive.tar") ? 0 : 1;
    const QString P = Root() + QLatin1Char('/');
    EXPECT_EQ(sgFileList.Cells(scFullPath, r), P + QStringLiteral("archive.tar.gz"));
    EXPECT_EQ(sgFileList.Cells(scName, r), QStringLiteral("archive.tar"));
    EXPECT_EQ(sgFileList.Cells(scPath, r), P);
    EXPECT_EQ(sgFileList.Cells(scSize, r), QStringLiteral("000000000001234"));
    EXPECT_EQ(sgFileList.Cells(scExtension, r), QStringLiteral(".gz"));
    // A day serial of today: five integer digits and a fraction.
    const double serial = sgFileList.Cells(scLastModified, r).toDouble();
    EXPECT_GT(serial, 45000.0);
    EXPECT_EQ(sgFileList.Cells(scLastModified, r).indexOf(QLatin1Char('.')), 5);
    EXPECT_FALSE(sgFileList.Cells(scLastAccess, r).isEmpty());
    EXPECT_EQ(sgFileList.Cells(scSize, 1 - r), QStringLiteral("000000000000000"));
    EXPECT_EQ(sgFileList.Cells(scExtension, 1 - r), QString());
}

TEST_F(FolderScanTest, OptionsMaskAndDotNames)
{
    for (const char *n : {"a.txt", "a.tx", "a.TXT", "a.xt", "README", ".profile"})
        WriteFile(Root() + QLatin1Char('/') + QLatin1String(n));
    QDir(Root()).mkdir(QStringLiteral(".cache"));
    QDir(Root()).mkdir(QStringLiteral("my.dir"));
    options.ShowFolders = true;
    options.ShowExtensions = true;
    options.Mask = QStringLiteral("*.txt");
    Scan();
    EXPECT_EQ(Column(sgFileList, scName), (QStringList{QStringLiteral("a.tx"), QStringLiteral("a.txt")}));
    EXPECT_EQ(Column(sgDir, scName), QStringList{QStringLiteral("my.dir")});
    EXPECT_EQ(sgDir.Cells(scSize, 0), QString());

    options.Mask = QStringLiteral("*.*");
    options.ShowExtensions = false;
    Scan();
    EXPECT_EQ(sgFileList.RowCount(), 5);
    EXPECT_EQ(sgDir.Cells(scName, 0), QStringLiteral("my.dir"));

    options.ShowFiles = false;
    options.ShowFolders = false;
    Scan();
    EXPECT_EQ(sgFileList.RowCount(), 0);
    EXPECT_EQ(sgDir.RowCount(), 0);
    EXPECT_EQ(sgFiles.RowCount(), 1);
}

TEST_F(FolderScanTest, LinksAndUnreadableFoldersNeverStopTheScan)
{
    WriteFile(Root() + QStringLiteral("/real.txt"));
    ASSERT_EQ(
        symlink("/nonexistent/target", QFile::encodeName(Root() + QStringLiteral("/dangling")).constData()),
        0);
    ASSERT_TRUE(QDir(Root()).mkdir(QStringLiteral("sub")));
    ASSERT_EQ(symlink("sub", QFile::encodeName(Root() + QStringLiteral("/tosub")).constData()), 0);
    ASSERT_TRUE(QDir(Root()).mkdir(QStringLiteral("locked")));
    chmod(QFile::encodeName(Root() + QStringLiteral("/locked")).constData(), 0);
    // A name that is not UTF-8.
    const QByteArray raw = QFile::encodeName(Root()) + "/\xff\xfe.log";
    FILE *fp = fopen(raw.constData(), "w");
    ASSERT_NE(fp, nullptr);
    fclose(fp);

    options.ShowFolders = true;
    Scan();
    EXPECT_EQ(sgFileList.RowCount(), 3); // real, dangling, the odd name
    EXPECT_EQ(Column(sgDir, scName),
        (QStringList{QStringLiteral("locked"), QStringLiteral("sub"), QStringLiteral("tosub")}));

    // The unreadable folder lists nothing, without an error (as root, checked as another user).
    GiveToUnprivileged(Root());
    EXPECT_EQ(AsUnprivileged([&]() -> std::string {
        try {
            ScanFolder(Root() + QStringLiteral("/locked"), options, sgDir, sgFileList, sgFiles);
        } catch (const EError &e) {
            return e.Message().toStdString();
        }
        return sgFileList.RowCount() == 0 && sgDir.RowCount() == 0 ? "" : "rows of an unreadable folder";
    }),
        "");
    chmod(QFile::encodeName(Root() + QStringLiteral("/locked")).constData(), 0700);
    // The temporary folder's own clean-up cannot spell this name, and would leave the folder behind.
    unlink(raw.constData());
}

// The columns people read show a name that is not UTF-8 as a UTF-8 reader
// does; the hidden full path keeps its bytes, and costs nothing for the rest.
TEST_F(FolderScanTest, NamesThatAreNotUtf8KeepTheirBytesInTheFullPath)
{
    const QByteArray root = QFile::encodeName(Root());
    const int fd = ::open((root
                              + "/b\xFF"
                                "d.txt")
                              .constData(),
        O_WRONLY | O_CREAT,
        0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_EQ(::mkdir((root + "/\xE9t\xE9").constData(), 0700), 0);
    WriteFile(Root() + QStringLiteral("/plain.txt"));
    options.ShowFolders = true;
    options.ShowExtensions = true;
    Scan();
    ASSERT_EQ(sgFileList.RowCount(), 2);
    ASSERT_EQ(sgDir.RowCount(), 1);
    for (int r = 0; r < sgFileList.RowCount(); ++r) {
        const QString name = sgFileList.Cells(scName, r);
        const QByteArray bytes = name == QStringLiteral("plain.txt") ? QByteArray("plain.txt")
                                                                     : QByteArray("b\xFF"
                                                                                  "d.txt");
        EXPECT_TRUE(name == QStringLiteral("plain.txt") || name == QStringLiteral("b\uFFFDd.txt"))
            << name.toStdString();
        EXPECT_EQ(EncodeFileName(sgFileList.Cells(scFullPath, r)), root + '/' + bytes);
        EXPECT_EQ(sgFileList.Cells(scExtension, r), QStringLiteral(".txt"));
    }
    EXPECT_EQ(sgDir.Cells(scName, 0), QStringLiteral("\uFFFDt\uFFFD"));
    EXPECT_EQ(EncodeFileName(sgDir.Cells(scFullPath, 0)), root + "/\xE9t\xE9");
}

TEST_F(FolderScanTest, MissingFolderGivesAnEmptyListing)
{
    ScanFolder(Root() + QStringLiteral("/gone"), options, sgDir, sgFileList, sgFiles);
    EXPECT_EQ(sgDir.RowCount(), 0);
    EXPECT_EQ(sgFileList.RowCount(), 0);
    EXPECT_EQ(sgFiles.RowCount(), 1);
}

TEST_F(FolderScanTest, AFileGoneWithItsFolderIsAPathNotFound)
{
    // Whatever goes between reading the names and looking at them.
    const std::pair<bool, const char *> rows[] = {
        {true, "The specified path was not found"}, {false, "The specified file was not found"}};
    const QString file = Root() + QStringLiteral("/a.txt");
    for (const auto &[folderGoes, message] : rows) {
        SCOPED_TRACE(message);
        WriteFile(file);
        TFolderEntries::OnNamesRead = [&, folderGoes = folderGoes] {
            QFile::remove(file);
            if (folderGoes)
                rmdir(QFile::encodeName(Root()).constData());
        };
        try {
            Scan();
            ADD_FAILURE() << "no error";
        } catch (const EError &e) {
            EXPECT_EQ(e.Message().toStdString(), message);
        }
        TFolderEntries::OnNamesRead = nullptr;
        QDir().mkpath(Root());
    }
}

TEST_F(FolderScanTest, TooLongPathStopsTheScanAndKeepsThePartialRow)
{
    const QString P = Root() + QLatin1Char('/');
    WriteFile(P + QString(247 - P.size(), QLatin1Char('a')));
    Scan();
    EXPECT_EQ(sgFileList.RowCount(), 1);

    QDir(Root()).remove(QString(247 - P.size(), QLatin1Char('a')));
    WriteFile(P + QString(248 - P.size(), QLatin1Char('b')));
    try {
        Scan();
        FAIL();
    } catch (const EError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("The specified path is too long"));
    }
    ASSERT_EQ(sgFileList.RowCount(), 1);
    EXPECT_FALSE(sgFileList.Cells(scLastModified, 0).isEmpty());
    EXPECT_TRUE(sgFileList.Cells(scLastAccess, 0).isEmpty());
    EXPECT_EQ(sgDir.RowCount(), 1); // the empty row stays after an error
    EXPECT_FALSE(sgFileList.Updating());
}

TEST_F(FolderScanTest, ABigFolderListsEveryEntryWithItsOwnFacts)
{
    // Names are read apart from their stat results and rows are made room
    // for in advance: each row must still carry its own entry's facts.
    constexpr int kFiles = 5001;
    for (int i = 0; i < kFiles; ++i)
        WriteFile(Root() + QStringLiteral("/f%1.bin").arg(i), i % 97);
    for (int i = 0; i < 40; ++i)
        QDir(Root()).mkdir(QStringLiteral("d%1").arg(i));
    options.ShowFolders = true;
    options.ShowExtensions = true;
    Scan();
    ASSERT_EQ(sgFileList.RowCount(), kFiles);
    EXPECT_EQ(sgDir.RowCount(), 40);
    std::vector<bool> seen(kFiles, false);
    for (int r = 0; r < kFiles; ++r) {
        const QString name = sgFileList.Cells(scName, r);
        const int i = name.mid(1, name.size() - 5).toInt();
        ASSERT_FALSE(seen[size_t(i)]) << name.toStdString();
        seen[size_t(i)] = true;
        EXPECT_EQ(sgFileList.Cells(scSize, r), PadLeft(15, QLatin1Char('0'), i % 97)) << name.toStdString();
    }
    for (int r = 0; r < sgDir.RowCount(); ++r)
        EXPECT_TRUE(sgDir.Cells(scName, r).startsWith(QLatin1Char('d')));
}

TEST_F(FolderScanTest, ALongScanReportsProgressAndKeepsTheFoldersOrder)
{
    // Enough entries for the stat calls to be shared among threads; a clock
    // that runs fast makes the scan a long one without waiting.
    constexpr int kFiles = 4500;
    for (int i = 0; i < kFiles; ++i)
        WriteFile(Root() + QStringLiteral("/f%1.txt").arg(i));
    QStringList order;
    DIR *dir = opendir(QFile::encodeName(Root()).constData());
    ASSERT_NE(dir, nullptr);
    while (const dirent *entry = readdir(dir))
        if (entry->d_name[0] != '.')
            order << QFile::decodeName(entry->d_name);
    closedir(dir);
    options.ShowExtensions = true;

    for (const int64_t step : {0, 400}) {
        std::vector<std::pair<int, int>> reports;
        int64_t now = 0;
        options.Clock = [&now, step] {
            return now += step;
        };
        options.OnProgress = [&reports](int done, int total) {
            reports.emplace_back(done, total);
        };
        Scan();
        QStringList rows;
        for (int r = 0; r < sgFileList.RowCount(); ++r)
            rows << sgFileList.Cells(scName, r);
        EXPECT_EQ(rows, order) << "step " << step;
        if (step == 0) {
            EXPECT_TRUE(reports.empty()); // a quick scan shows nothing
            continue;
        }
        ASSERT_FALSE(reports.empty());
        bool namesRead = false;
        for (const auto &[done, total] : reports) {
            EXPECT_TRUE(total == -1 || total == kFiles) << total;
            EXPECT_LE(done, kFiles);
            namesRead = namesRead || total == kFiles;
        }
        EXPECT_TRUE(namesRead);
    }
}

} // namespace
