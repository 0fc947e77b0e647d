#include "WindowFixture.h"
#include "listing/GridColumns.h"
#include "tools/ZipBuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include <algorithm>

namespace {

using MainWindowTest = WindowFixture;

TEST_F(MainWindowTest, FirstStartShowsTheFormsDefaults)
{
    TfrmMain &w = Window();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Cartola - Orley Software"));
    EXPECT_TRUE(w.cbFiles->isChecked());
    EXPECT_FALSE(w.cbFolders->isChecked());
    EXPECT_FALSE(w.cbExt->isChecked());
    EXPECT_TRUE(w.cbHeaders->isChecked());
    EXPECT_TRUE(w.cbGridLines->isChecked());
    EXPECT_EQ(w.cbExportType->currentText(), QStringLiteral("HTML"));
    EXPECT_EQ(w.cbDrives->currentText(), QStringLiteral("Home Directory"));
    EXPECT_EQ(w.cbSort->currentText(), QStringLiteral("Name"));
    EXPECT_EQ(w.edMask->text(), QStringLiteral("*.*"));
    EXPECT_EQ(w.sgFiles.RowCount(), 1);
    EXPECT_EQ(w.sgDir.RowCount(), 0);
    EXPECT_EQ(w.sgFileList.RowCount(), 0);
    EXPECT_EQ(w.SelectedNode(), nullptr);
    EXPECT_EQ(w.lblCountDir->text(), QStringLiteral("Folder/File Count:"));
    EXPECT_EQ(w.minimumSize(), QSize(630, 500));
    EXPECT_FALSE(w.sgFiles.Columns(fcPathHolder).Visible);
    EXPECT_TRUE(FErrors.isEmpty());
}

TEST_F(MainWindowTest, SortChoicesAreTheVisibleHeaders)
{
    TfrmMain &w = Window();
    QStringList items;
    for (int i = 0; i < w.cbSort->count(); ++i)
        items << w.cbSort->itemText(i);
    EXPECT_EQ(items,
        (QStringList{QStringLiteral("Name"),
            QStringLiteral("Path"),
            QStringLiteral("Size"),
            QStringLiteral("Extension"),
            QStringLiteral("Last modified")}));
}

TEST_F(MainWindowTest, GridLinesSwitchOffAndOnWithoutTouchingData)
{
    MakeDir(QStringLiteral("docs"));
    MakeFile(QStringLiteral("docs/a.txt"), "x");
    TfrmMain &w = Window();
    Select({QStringLiteral("docs")});
    const QString before = w.sgFiles.Cells(fcName, 0);
    w.cbGridLines->setChecked(false);
    EXPECT_FALSE(w.sgFiles.ShowVertLines());
    EXPECT_FALSE(w.sgFiles.ShowHorzLines());
    EXPECT_FALSE(w.sgFilesView->showGrid());
    EXPECT_EQ(w.sgFiles.Cells(fcName, 0), before);
    w.cbGridLines->setChecked(true);
    EXPECT_TRUE(w.sgFiles.ShowVertLines() && w.sgFiles.ShowHorzLines());
    EXPECT_TRUE(w.sgFilesView->showGrid());
}

TEST_F(MainWindowTest, HeadersToggleHidesTheHeaderAndRescans)
{
    MakeDir(QStringLiteral("docs"));
    MakeFile(QStringLiteral("docs/a.txt"), "x");
    TfrmMain &w = Window();
    Select({QStringLiteral("docs")});
    EXPECT_EQ(w.sgFileList.RowCount(), 1);
    MakeFile(QStringLiteral("docs/b.txt"), "y");
    w.cbHeaders->setChecked(false);
    EXPECT_FALSE(w.sgFiles.ShowHeader());
    EXPECT_TRUE(w.sgFilesView->horizontalHeader()->isHidden());
    EXPECT_EQ(w.sgFileList.RowCount(), 2);
    EXPECT_EQ(w.lblCountDir->text(), QStringLiteral("Folders: 0  Files: 2"));
}

TEST_F(MainWindowTest, SelectingAFolderListsFoldersFirstThenFiles)
{
    MakeDir(QStringLiteral("work/zeta"));
    MakeDir(QStringLiteral("work/Alpha"));
    MakeFile(QStringLiteral("work/b.log"), QByteArray(1536, 'x'));
    MakeFile(QStringLiteral("work/A.txt"), "x");
    TfrmMain &w = Window();
    w.cbFolders->setChecked(true);
    w.cbExt->setChecked(true);
    Select({QStringLiteral("work")});
    EXPECT_EQ(Column(w.sgFiles, fcName),
        (QStringList{QStringLiteral("Alpha"),
            QStringLiteral("zeta"),
            QStringLiteral("A.txt"),
            QStringLiteral("b.log")}));
    EXPECT_EQ(w.sgFiles.Cells(fcSize, 0), QString());
    EXPECT_EQ(w.sgFiles.Cells(fcSize, 3), QStringLiteral("1.5 KB"));
    EXPECT_EQ(w.sgFiles.Cells(fcPath, 3), Home() + QStringLiteral("/work/"));
    EXPECT_EQ(w.lblCountDir->text(), QStringLiteral("Folders: 2  Files: 2"));
    // The view shows the same rows.
    EXPECT_EQ(w.sgFilesView->model()->rowCount(), 4);
    EXPECT_EQ(w.sgFilesView->model()->index(2, fcName).data().toString(), QStringLiteral("A.txt"));
    EXPECT_TRUE(w.sgFilesView->isColumnHidden(fcPathHolder));
}

TEST_F(MainWindowTest, MaskCorrectionAndTheMaskFilter)
{
    MakeDir(QStringLiteral("m"));
    MakeFile(QStringLiteral("m/a.txt"));
    MakeFile(QStringLiteral("m/b.png"));
    TfrmMain &w = Window();
    Select({QStringLiteral("m")});
    w.edMask->setText(QStringLiteral("*.png"));
    Q_EMIT w.edMask->editingFinished();
    EXPECT_EQ(Column(w.sgFiles, fcName), QStringList{QStringLiteral("b")});
    w.edMask->setText(QStringLiteral("ab"));
    Q_EMIT w.edMask->editingFinished();
    EXPECT_EQ(w.edMask->text(), QStringLiteral("*.*"));
    EXPECT_EQ(w.sgFiles.RowCount(), 2);
}

TEST_F(MainWindowTest, ViewClicksBecomeSelectionRequestsAndTableMovesTheView)
{
    MakeDir(QStringLiteral("s"));
    for (const char *n : {"a", "b", "c"})
        MakeFile(QStringLiteral("s/") + QLatin1String(n));
    TfrmMain &w = Window();
    Select({QStringLiteral("s")});
    w.sgFilesView->setCurrentIndex(w.sgFilesView->model()->index(2, fcName));
    EXPECT_EQ(w.sgFiles.Selected(), 2);
    w.sgFiles.RequestSelected(1);
    EXPECT_EQ(w.sgFilesView->currentIndex().row(), 1);
}

TEST_F(MainWindowTest, AnErrorInAHandlerReachesTheErrorDisplayWithItsFullStop)
{
    const QString folder = MakeDir(QStringLiteral("long"));
    const QString name(248 - folder.size() - 1, QLatin1Char('n'));
    MakeFile(QStringLiteral("long/") + name);
    TfrmMain &w = Window();
    Select({QStringLiteral("long")});
    ASSERT_EQ(FErrors.size(), 1);
    EXPECT_EQ(FErrors.first(), QStringLiteral("The specified path is too long."));
    EXPECT_EQ(w.sgFiles.RowCount(), 1); // emptied, nothing merged
}

TEST_F(MainWindowTest, HomeAndEmailOpenTheMakersLinks)
{
    TfrmMain &w = Window();
    w.btnHomeClick();
    w.btnEmailClick();
    ASSERT_EQ(FOpener.Opened.size(), 2);
    EXPECT_TRUE(FOpener.Opened[0].startsWith(QStringLiteral("https://")));
    EXPECT_TRUE(FOpener.Opened[1].startsWith(QStringLiteral("mailto:")));
    EXPECT_TRUE(FOpener.Opened[1].endsWith(QStringLiteral("?Subject=Cartola")));
}

TEST_F(MainWindowTest, ThePerRunTemporaryFolderIsGoneAfterClosing)
{
    MakeDir(QStringLiteral("p"));
    ZipBuilder::TArchive a;
    a.Add("docs/readme.txt", "read me");
    ASSERT_TRUE(ZipBuilder::WriteBytes(Home() + QStringLiteral("/p/x.zip"), a.Build()));
    TfrmMain &w = Window();
    const QString temp = w.FBaseTempDir;
    EXPECT_FALSE(temp.endsWith(QLatin1Char('/')));
    EXPECT_TRUE(temp.contains(QStringLiteral("/cartola-")));
    EXPECT_FALSE(QFileInfo::exists(temp)); // made only when first written
    PickRow({QStringLiteral("p")}, QStringLiteral("x.zip"));
    w.stgZippedFilesDblClick();
    EXPECT_TRUE(QFileInfo(temp + QStringLiteral("/x.zip/docs")).isDir());
    DestroyWindow();
    EXPECT_FALSE(QFileInfo::exists(temp));
}

// Counts the paint events of one widget.
class TPaintCounter : public QObject
{
public:
    int Paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        Paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(MainWindowTest, ALongScanShowsItsProgressInTheCountLabel)
{
    // A clock that runs fast makes every scan a long one; it also looks at the
    // label each time the scan asks for the time.
    MakeDir(QStringLiteral("many"));
    MakeDir(QStringLiteral("broken"));
    for (int i = 0; i < 2000; ++i) {
        MakeFile(QStringLiteral("many/f%1.txt").arg(i));
        MakeFile(QStringLiteral("broken/f%1.txt").arg(i));
    }
    MakeFile(QStringLiteral("broken/say \"cheese\".txt"));
    TfrmMain &w = Window();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    TPaintCounter painted;
    w.lblCountDir->installEventFilter(&painted);
    QStringList seen;
    int paintsSeen = 0;
    int64_t now = 0;
    w.ScanClock = [&] {
        seen << w.lblCountDir->text();
        paintsSeen = painted.Paints;
        return now += 400;
    };
    const QString reading = QStringLiteral("Reading\u2026 ");

    Select({QStringLiteral("many")});
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](const QString &text) {
        return text.startsWith(reading) && text.endsWith(QStringLiteral(" of 2,000 files"));
    })) << seen.join(QLatin1Char('|')).toStdString();
    EXPECT_GT(paintsSeen, 0); // shown while the scan was still running
    EXPECT_EQ(w.lblCountDir->text(), QStringLiteral("Folders: 0  Files: 2000"));

    // A scan that fails leaves the label as it was before it.
    seen.clear();
    Select({QStringLiteral("broken")});
    EXPECT_EQ(FErrors, QStringList{QStringLiteral("Invalid characters in path.")});
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](const QString &text) {
        return text.startsWith(reading);
    }));
    EXPECT_EQ(w.lblCountDir->text(), QStringLiteral("Folders: 0  Files: 2000"));
}

} // namespace
