#include "CountingObserver.h"
#include "listing/DisplayTable.h"
#include "listing/FolderScan.h"
#include "listing/GridColumns.h"
#include "platform/Errors.h"
#include "platform/LocaleServices.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

const QString kFolder = QStringLiteral("/data/");
// 27 September 2012, 14:05:09.123 and its midnight, as the scan writes them.
const QString kAfternoon = QStringLiteral("41179.5869111458");
const QString kMidnight = QStringLiteral("41179");

class DisplayTableTest : public ::testing::Test
{
protected:
    TGridTable sgDir{DirColumns()};
    TGridTable sgFileList{FileListColumns()};
    TGridTable sgFiles{FilesColumns()};

    void SetUp() override { sgFiles.SetColumnVisible(fcPathHolder, false); }

    void AddDir(const QString &name, const QString &modified = kMidnight)
    {
        const int r = sgDir.RowCount();
        sgDir.SetRowCount(r + 1);
        sgDir.SetCells(scFullPath, r, kFolder + name);
        sgDir.SetCells(scName, r, name);
        sgDir.SetCells(scPath, r, kFolder);
        sgDir.SetCells(scLastModified, r, modified);
    }
    void AddFile(
        const QString &name, const QString &ext, const QString &size, const QString &modified = kAfternoon)
    {
        const int r = sgFileList.RowCount();
        sgFileList.SetRowCount(r + 1);
        const QString values[scCount] = {kFolder + name + ext, name, kFolder, size, ext, modified, kMidnight};
        for (int c = 0; c < scCount; ++c)
            sgFileList.SetCells(c, r, values[c]);
    }
    QStringList Column(const TGridTable &grid, int col) const
    {
        QStringList out;
        for (int r = 0; r < grid.RowCount(); ++r)
            out << grid.Cells(col, r);
        return out;
    }
    QStringList Names() const { return Column(sgFiles, fcName); }
};

TEST(SortColumns, EachChoiceSortsItsColumns)
{
    const struct
    {
        int choice, fileList, dir;
    } rows[] = {{-1, -1, -1},
        {0, scName, scName},
        {1, scName, scPath},
        {2, scSize, scName},
        {3, scExtension, scName},
        {4, scLastModified, scLastModified},
        {5, -1, -1},
        {-7, -1, -1}};
    for (const auto &row : rows) {
        EXPECT_EQ(FileListSortColumn(row.choice), row.fileList) << row.choice;
        EXPECT_EQ(DirSortColumn(row.choice), row.dir) << row.choice;
    }
}

TEST_F(DisplayTableTest, FoldersComeFirstWithEmptySizeAndExtension)
{
    AddFile(QStringLiteral("notes"), QStringLiteral(".txt"), QStringLiteral("000000000001536"));
    AddDir(QStringLiteral("src"));
    AddFile(QStringLiteral("big"), QStringLiteral(".iso"), QStringLiteral("000003000000000"));
    AddDir(QStringLiteral("docs"));
    AddFile(QStringLiteral("empty"), QString(), QStringLiteral("000000000000000"));
    SortAndMerge(0, sgDir, sgFileList, sgFiles);

    ASSERT_EQ(sgFiles.RowCount(), 5);
    EXPECT_EQ(Names(),
        (QStringList{QStringLiteral("docs"),
            QStringLiteral("src"),
            QStringLiteral("big"),
            QStringLiteral("empty"),
            QStringLiteral("notes")}));
    EXPECT_EQ(Column(sgFiles, fcSize),
        (QStringList{QString(),
            QString(),
            QStringLiteral("2.79 GB"),
            QStringLiteral("0 bytes"),
            QStringLiteral("1.5 KB")}));
    EXPECT_EQ(Column(sgFiles, fcExtension),
        (QStringList{QString(), QString(), QStringLiteral(".iso"), QString(), QStringLiteral(".txt")}));
    EXPECT_EQ(sgFiles.Cells(fcPathHolder, 0), QStringLiteral("/data/docs"));
    EXPECT_EQ(sgFiles.Cells(fcPathHolder, 4), QStringLiteral("/data/notes.txt"));
    EXPECT_EQ(sgFiles.Cells(fcPath, 4), kFolder);
}

TEST_F(DisplayTableTest, DatesShowTheTimeUnlessItIsMidnight)
{
    AddDir(QStringLiteral("d"), kMidnight);
    AddFile(QStringLiteral("f"), QString(), QStringLiteral("000000000000001"), kAfternoon);
    AddFile(QStringLiteral("g"),
        QString(),
        QStringLiteral("000000000000001"),
        QStringLiteral("41179.0000057870"));
    SortAndMerge(0, sgDir, sgFileList, sgFiles);
    EXPECT_EQ(Column(sgFiles, fcLastModified),
        (QStringList{QStringLiteral("9/27/2012"),
            QStringLiteral("9/27/2012 2:05:09 PM"),
            QStringLiteral("9/27/2012")}));
}

TEST_F(DisplayTableTest, SizeOrdersByByteCountAndFoldersByName)
{
    AddFile(QStringLiteral("a"), QString(), QStringLiteral("000000000000010"));
    AddFile(QStringLiteral("b"), QString(), QStringLiteral("000000000000009"));
    AddDir(QStringLiteral("zeta"));
    AddDir(QStringLiteral("Alpha"));
    SortAndMerge(2, sgDir, sgFileList, sgFiles);
    EXPECT_EQ(Names(),
        (QStringList{
            QStringLiteral("Alpha"), QStringLiteral("zeta"), QStringLiteral("b"), QStringLiteral("a")}));
    EXPECT_EQ(sgFiles.Cells(fcSize, 2), QStringLiteral("9 bytes"));
    EXPECT_EQ(sgFiles.Cells(fcSize, 3), QStringLiteral("10 bytes"));
}

TEST_F(DisplayTableTest, ExtensionPutsFilesWithoutOneFirstAndFoldersByName)
{
    AddFile(QStringLiteral("x"), QStringLiteral(".txt"), QStringLiteral("000000000000001"));
    AddFile(QStringLiteral("README"), QString(), QStringLiteral("000000000000001"));
    AddFile(QStringLiteral("a"), QStringLiteral(".c"), QStringLiteral("000000000000001"));
    AddDir(QStringLiteral("my.dir"));
    AddDir(QStringLiteral("bin"));
    SortAndMerge(3, sgDir, sgFileList, sgFiles);
    EXPECT_EQ(Names(),
        (QStringList{QStringLiteral("bin"),
            QStringLiteral("my.dir"),
            QStringLiteral("README"),
            QStringLiteral("a"),
            QStringLiteral("x")}));
}

TEST_F(DisplayTableTest, PathSortsFoldersByPathAndFilesByName)
{
    AddDir(QStringLiteral("b"));
    sgDir.SetCells(scPath, 0, QStringLiteral("/z/"));
    AddDir(QStringLiteral("a"));
    sgDir.SetCells(scPath, 1, QStringLiteral("/y/"));
    AddFile(QStringLiteral("d"), QString(), QStringLiteral("000000000000001"));
    AddFile(QStringLiteral("c"), QString(), QStringLiteral("000000000000001"));
    SortAndMerge(1, sgDir, sgFileList, sgFiles);
    EXPECT_EQ(Names(),
        (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));
}

TEST_F(DisplayTableTest, NoChoiceKeepsTheOrderAndStillRebuilds)
{
    AddDir(QStringLiteral("z"));
    AddDir(QStringLiteral("a"));
    AddFile(QStringLiteral("y"), QString(), QStringLiteral("000000000000001"));
    AddFile(QStringLiteral("b"), QString(), QStringLiteral("000000000000002"));
    sgFiles.SetRowCount(9);
    sgFiles.SetCells(fcName, 8, QStringLiteral("stale"));
    SortAndMerge(-1, sgDir, sgFileList, sgFiles);
    EXPECT_EQ(Names(),
        (QStringList{QStringLiteral("z"), QStringLiteral("a"), QStringLiteral("y"), QStringLiteral("b")}));
    EXPECT_EQ(Column(sgDir, scName), (QStringList{QStringLiteral("z"), QStringLiteral("a")}));
}

TEST_F(DisplayTableTest, TheSortStaysInTheStagingGrids)
{
    AddFile(QStringLiteral("b"), QStringLiteral(".txt"), QStringLiteral("000000000000001"));
    AddFile(QStringLiteral("a"), QStringLiteral(".txt"), QStringLiteral("000000000000002"));
    AddFile(QStringLiteral("c"), QStringLiteral(".c"), QStringLiteral("000000000000003"));
    SortAndMerge(0, sgDir, sgFileList, sgFiles);
    EXPECT_EQ(Column(sgFileList, scName),
        (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    // The next choice starts from the name order: equal extensions come out
    // as the quicksort leaves them, here not by name.
    SortAndMerge(3, sgDir, sgFileList, sgFiles);
    EXPECT_EQ(Names(), (QStringList{QStringLiteral("c"), QStringLiteral("b"), QStringLiteral("a")}));
}

TEST_F(DisplayTableTest, NothingToShowLeavesNoRows)
{
    sgFiles.SetRowCount(3);
    SortAndMerge(0, sgDir, sgFileList, sgFiles);
    EXPECT_EQ(sgFiles.RowCount(), 0);
}

TEST_F(DisplayTableTest, TheSelectionMovesToTheBlankFirstRow)
{
    AddFile(QStringLiteral("a"), QString(), QStringLiteral("000000000000001"));
    AddFile(QStringLiteral("b"), QString(), QStringLiteral("000000000000001"));
    SortAndMerge(0, sgDir, sgFileList, sgFiles);
    sgFiles.RequestSelected(1);
    QStringList seen;
    sgFiles.OnSelChanged = [&] {
        seen << sgFiles.Cells(fcName, sgFiles.Selected());
    };
    SortAndMerge(0, sgDir, sgFileList, sgFiles);
    EXPECT_EQ(seen, QStringList{QString()});
    EXPECT_EQ(sgFiles.Selected(), 0);
    EXPECT_EQ(sgFiles.Cells(fcName, 0), QStringLiteral("a"));
}

TEST_F(DisplayTableTest, AShownTableResetsOnce)
{
    AddDir(QStringLiteral("d"));
    AddFile(QStringLiteral("a"), QString(), QStringLiteral("000000000000001"));
    CountingObserver observer;
    sgFiles.SetObserver(&observer);
    SortAndMerge(0, sgDir, sgFileList, sgFiles);
    EXPECT_EQ(observer.resets, 1);
    EXPECT_EQ(observer.cells, 0);
}

TEST_F(DisplayTableTest, UnchangedCellsAreCopiedAsTheyAre)
{
    // Texts that a compact table could take for numbers or share with the first row.
    AddFile(QStringLiteral("0042"), QStringLiteral("."), QStringLiteral("000000000000001"));
    AddFile(QStringLiteral("0042.5"), QStringLiteral(".5"), QStringLiteral("000000000000002"));
    AddFile(QStringLiteral("004"), QStringLiteral("1.50"), QStringLiteral("000000000000003"));
    MergeIntoDisplayTable(sgDir, sgFileList, sgFiles);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(sgFiles.Cells(fcName, r), sgFileList.Cells(scName, r));
        EXPECT_EQ(sgFiles.Cells(fcPathHolder, r), sgFileList.Cells(scFullPath, r));
        EXPECT_EQ(sgFiles.Cells(fcExtension, r), sgFileList.Cells(scExtension, r));
    }
}

TEST_F(DisplayTableTest, ANonNumericDateStopsTheMergeKeepingTheCellsBefore)
{
    // A scan that failed leaves an unwritten row in the folder grid.
    sgDir.SetRowCount(1);
    AddFile(QStringLiteral("a"), QStringLiteral(".txt"), QStringLiteral("000000000001024"));
    try {
        SortAndMerge(-1, sgDir, sgFileList, sgFiles);
        FAIL() << "no error";
    } catch (const EError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'' is not a valid floating point value"));
    }
    ASSERT_EQ(sgFiles.RowCount(), 2);
    EXPECT_EQ(sgFiles.Cells(fcName, 1), QStringLiteral("a"));
    EXPECT_EQ(sgFiles.Cells(fcSize, 1), QStringLiteral("1 KB"));
    EXPECT_EQ(sgFiles.Cells(fcExtension, 1), QStringLiteral(".txt"));
    EXPECT_EQ(sgFiles.Cells(fcLastModified, 1), QString());
    EXPECT_FALSE(sgFiles.Updating());
}

TEST_F(DisplayTableTest, TheErrorNamesTheCellOfAFileRow)
{
    AddDir(QStringLiteral("d"));
    AddFile(QStringLiteral("a"), QString(), QStringLiteral("000000000000001"));
    AddFile(QStringLiteral("b"), QString(), QStringLiteral("000000000000001"), QStringLiteral("41179.5.1"));
    try {
        MergeIntoDisplayTable(sgDir, sgFileList, sgFiles);
        FAIL() << "no error";
    } catch (const EError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'41179.5.1' is not a valid floating point value"));
    }
    EXPECT_EQ(Column(sgFiles, fcLastModified),
        (QStringList{QStringLiteral("9/27/2012"), QStringLiteral("9/27/2012 2:05:09 PM"), QString()}));
}

TEST_F(DisplayTableTest, ABigTableStopsAtTheSameCellAsASmallOne)
{
    // Big enough that the dates are made beside the other columns.
    constexpr int kRows = 6000;
    constexpr int kBad = 5000;
    for (int r = 0; r < kRows; ++r)
        AddFile(QString::number(r),
            QStringLiteral(".t"),
            QStringLiteral("000000000000001"),
            r == kBad ? QStringLiteral("x") : kAfternoon);
    EXPECT_RAISES(MergeIntoDisplayTable(sgDir, sgFileList, sgFiles),
        QStringLiteral("'x' is not a valid floating point value"));
    ASSERT_EQ(sgFiles.RowCount(), kRows);
    for (const int r : {0, kBad - 1, kBad, kRows - 1}) {
        EXPECT_EQ(sgFiles.Cells(fcName, r), QString::number(r));
        EXPECT_EQ(sgFiles.Cells(fcSize, r), QStringLiteral("1 bytes"));
        EXPECT_EQ(sgFiles.Cells(fcLastModified, r).isEmpty(), r >= kBad) << r;
    }
    EXPECT_FALSE(sgFiles.Updating());
}

TEST(DisplayText, OddStagingTextsDoNotFail)
{
    EXPECT_EQ(SizeDisplayText(QStringLiteral("000000000001234")), QStringLiteral("1.20 KB"));
    EXPECT_EQ(SizeDisplayText(QString()), QString());
    EXPECT_EQ(SizeDisplayText(QStringLiteral("0000000000000-5")), QString());
    // Far outside the calendar: no date to show, and no crash.
    for (const char *serial : {"1E300", "-1E300", "2958466", "-693594"})
        EXPECT_EQ(LastModifiedDisplayText(QString::fromLatin1(serial)), QString()) << serial;
    EXPECT_EQ(LastModifiedDisplayText(QStringLiteral("2958465")), QStringLiteral("12/31/9999"));
}

// A file's time shows what its 15-digit day serial shows, also where the text
// is made from the milliseconds: around seconds, midnights and the years the
// shortcut stops at, under offsets on both sides of UTC.
TEST(DisplayText, AFilesTimeShowsWhatItsDaySerialShows)
{
    constexpr int64_t kDay = 86400000;
    const int64_t until = (100000 - 25569) * kDay; // 2173-10-14
    std::vector<int64_t> times{-1, 0, 1, 999, 1000, 1001, until - 1, until, until + 1, -kDay - 1};
    uint64_t seed = 42;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        const int64_t day = int64_t(seed >> 40) % (until / kDay) * kDay;
        times.insert(times.end(), {day - 1, day, day + 1, day + int64_t(seed % kDay)});
    }
    const QChar separator = DecimalSeparator();
    TDateTimeTexts texts;
    for (const int offset : {-43200, -1, 0, 3600, 50400}) {
        for (const int64_t ms : times) {
            const QString serial = DaySerialText(UnixMillisecondsToDateTime(ms, offset), separator);
            ASSERT_EQ(LastModifiedDisplayText(ms, offset, separator, texts),
                LastModifiedDisplayText(serial, separator, texts))
                << ms << " at " << offset;
        }
    }
}

TEST(DisplayText, DatesAreReadWithTheLocalesSeparator)
{
    SetUserLocale(QLocale(QLocale::German, QLocale::Germany));
    const QString afternoon = LastModifiedDisplayText(QStringLiteral("41179,5"));
    EXPECT_THROW(LastModifiedDisplayText(QStringLiteral("41179.5")), EError);
    SetUserLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(afternoon, QStringLiteral("27.09.2012 12:00:00"));
}

TEST_F(DisplayTableTest, SortChoicesSkipHiddenColumns)
{
    EXPECT_EQ(SortChoices(sgFiles),
        (QStringList{QStringLiteral("Name"),
            QStringLiteral("Path"),
            QStringLiteral("Size"),
            QStringLiteral("Extension"),
            QStringLiteral("Last modified")}));
    sgFiles.SetColumnVisible(fcPath, false);
    EXPECT_EQ(SortChoices(sgFiles).size(), 4);
    EXPECT_FALSE(SortChoices(sgFiles).contains(QStringLiteral("Path")));
}

} // namespace
