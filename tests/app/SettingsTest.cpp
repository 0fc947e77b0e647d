#include "WindowFixture.h"
#include "fileutils/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QSplitter>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

class SettingsTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        FScreen = TfrmMain::ScreenSize;
        TfrmMain::ScreenSize = [] {
            return QSize(1920, 1080);
        };
        FAvailable = TfrmMain::AvailableScreenSize;
        TfrmMain::AvailableScreenSize = [] {
            return QSize(1920, 1050);
        };
    }
    void TearDown() override
    {
        WindowFixture::TearDown();
        TfrmMain::ScreenSize = FScreen;
        TfrmMain::AvailableScreenSize = FAvailable;
    }
    QString IniPath() const
    {
        // The test executable's base name names the file.
        const QString base = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        return FTemp.path() + QStringLiteral("/config/") + base + QLatin1Char('/') + base
            + QStringLiteral(".ini");
    }
    void WriteIni(const QByteArray &text)
    {
        QDir().mkpath(QFileInfo(IniPath()).path());
        QFile f(IniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QByteArray ReadIni() const
    {
        QFile f(IniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    std::function<QSize()> FScreen;
    std::function<QSize()> FAvailable;
};

TEST_F(SettingsTest, FirstStartUsesTheDefaultsCentredOnTheScreen)
{
    TfrmMain &w = Window();
    EXPECT_EQ(w.size(), QSize(735, 735));
    EXPECT_EQ(w.pos(), QPoint(592, 172));
    EXPECT_TRUE(w.cbFiles->isChecked());
    EXPECT_EQ(w.ExportTypeIndex(), 1);
}

TEST_F(SettingsTest, ShutdownWritesEverythingInOrderAndARestartRestoresIt)
{
    {
        TfrmMain &w = Window();
        w.cbFolders->setChecked(true);
        w.cbExt->setChecked(true);
        w.cbGridLines->setChecked(false);
        w.cbExportType->setCurrentIndex(5);
        w.resize(900, 700);
        w.move(10, 20);
        DestroyWindow();
    }
    const QByteArray ini = ReadIni();
    EXPECT_TRUE(
        ini.startsWith("[Settings]\r\nShowFiles=1\r\nShowFolders=1\r\nShowExtensions=1\r\nShowHeaders=1\r\n"
                       "ExportType=5\r\nShowGrid=0\r\n[Position]\r\nLeft=10\r\nTop=20\r\nWidth=900\r\n"
                       "Height=700\r\n[State]\r\nWindow=0\r\n[grpFolders]\r\nTop="))
        << ini.toStdString();
    EXPECT_TRUE(ini.contains("[grpFiles]\r\nTop="));
    EXPECT_TRUE(ini.contains("[HorzSplitter]\r\nTop="));

    TfrmMain &w = Window();
    EXPECT_TRUE(w.cbFolders->isChecked());
    EXPECT_TRUE(w.cbExt->isChecked());
    EXPECT_FALSE(w.cbGridLines->isChecked());
    EXPECT_FALSE(w.sgFiles.ShowVertLines()); // its change handler ran
    EXPECT_EQ(w.ExportTypeIndex(), 5);
    EXPECT_EQ(w.size(), QSize(900, 700));
    EXPECT_EQ(w.pos(), QPoint(10, 20));
}

TEST_F(SettingsTest, ValuesThatAreNotOfTheirTypeGiveTheDefaults)
{
    WriteIni("[settings]\r\nshowfolders=yes\r\nShowExtensions=0x1\r\nShowHeaders=2\r\nExportType=7\r\n"
             "[Position]\r\nWidth=2000\r\n[grpFolders]\r\nWidth=272,5\r\n");
    TfrmMain &w = Window();
    EXPECT_FALSE(w.cbFolders->isChecked());
    EXPECT_TRUE(w.cbExt->isChecked());
    EXPECT_TRUE(w.cbHeaders->isChecked());
    EXPECT_EQ(w.ExportTypeIndex(), 7);
    EXPECT_EQ(w.cbExportType->currentIndex(), -1);
    // A width beyond the screen is cut to the available area; the default left follows it.
    EXPECT_EQ(w.width(), 1920);
    EXPECT_EQ(w.x(), 0);
    // Index 7 selects no export type: both commands do nothing.
    w.btnPreviewClick();
    w.btnSaveClick();
    EXPECT_TRUE(FOpener.Opened.isEmpty());
    DestroyWindow();
    EXPECT_TRUE(ReadIni().contains("ExportType=7\r\n"));
}

TEST_F(SettingsTest, AHugeStoredSizeIsCutToTheAvailableScreen)
{
    WriteIni("[Position]\r\nWidth=2147483647\r\nHeight=2147483647\r\nTop=5\r\n"
             "[grpFolders]\r\nWidth=2147483647\r\n[grpFiles]\r\nHeight=2147483647\r\n");
    TfrmMain &w = Window();
    EXPECT_EQ(w.size(), QSize(1920, 1050));
    EXPECT_EQ(w.pos(), QPoint(0, 5));
    w.show();
    const QList<int> folders = w.VertSplitter->sizes();
    const QList<int> files = w.HorzSplitter->sizes();
    EXPECT_LE(folders.value(0) + folders.value(1), 1920);
    EXPECT_LE(files.value(0) + files.value(1), 1050);
    DestroyWindow();
    EXPECT_TRUE(ReadIni().contains("Width=1920\r\nHeight=1050\r\n"));
}

TEST_F(SettingsTest, UnreadableControlValuesLeaveTheDesignSizesAndSaveThem)
{
    // The panels' sizes as shown, and the control sections as saved.
    const auto run = [this] {
        TfrmMain &w = Window();
        w.show();
        QCoreApplication::processEvents();
        QStringList seen{QString::number(w.grpFolders->width()), QString::number(w.grpFiles->height())};
        DestroyWindow();
        const TIniFile ini(IniPath());
        for (const char *section : {"grpFolders", "grpFiles", "HorzSplitter"})
            for (const char *key : {"Top", "Left", "Width", "Height"})
                seen << ini.ReadString(QLatin1String(section), QLatin1String(key), QString());
        return seen;
    };
    const QStringList firstStart = run();
    QFile::remove(IniPath());
    WriteIni("[grpFolders]\r\nWidth=272,5\r\n[grpFiles]\r\nHeight=abc\r\n");
    EXPECT_EQ(run(), firstStart);
}

TEST_F(SettingsTest, WithoutASettingsFolderTheWindowKeepsItsDesignGeometry)
{
    qputenv("XDG_CONFIG_HOME", "/proc/cartola-settings");
    TfrmMain &w = Window();
    EXPECT_EQ(w.size(), QSize(630, 677));
    EXPECT_EQ(w.pos(), QPoint((1920 - 630) / 2, (1080 - 677) / 2));
    EXPECT_TRUE(w.cbFiles->isChecked());
    DestroyWindow();
    EXPECT_TRUE(FErrors.isEmpty());
}

TEST_F(SettingsTest, HandEditedLinesSurviveASave)
{
    WriteIni("; my notes\r\n[Other]\r\nkeep=this\r\n[Settings]\r\nShowFiles=1\r\nColour=blue\r\n");
    Window();
    DestroyWindow();
    const QByteArray ini = ReadIni();
    EXPECT_TRUE(
        ini.startsWith("; my notes\r\n[Other]\r\nkeep=this\r\n[Settings]\r\nShowFiles=1\r\nColour=blue\r\n"))
        << ini.toStdString();
}

TEST_F(SettingsTest, MaximizedIsRestoredAndAnUnwritableFileIsReported)
{
    WriteIni("[State]\r\nWindow=2\r\n");
    TfrmMain &w = Window();
    EXPECT_TRUE(w.windowState().testFlag(Qt::WindowMaximized));
    // A folder in the file's place cannot be replaced.
    QFile::remove(IniPath());
    QDir().mkpath(IniPath());
    DestroyWindow();
    ASSERT_EQ(FErrors.size(), 1);
    EXPECT_EQ(FErrors[0], QStringLiteral("Unable to write to ") + IniPath() + QLatin1Char('.'));
    EXPECT_TRUE(QFileInfo(IniPath()).isDir());
}

TEST_F(SettingsTest, LeftoversOfACutShortSaveGoAtTheNextSaveButNotOneBeingWritten)
{
    WriteIni("[Settings]\r\nShowFiles=1\r\n");
    const QString stale = IniPath() + QStringLiteral(".zQ81Kp");
    const QString held = IniPath() + QStringLiteral(".Wr1t3s");
    for (const QString &path : {stale, held}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Settings]\r\nShowF");
    }
    // Another instance in the middle of its save holds its file locked.
    const int writer = ::open(QFile::encodeName(held).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    Window();
    DestroyWindow();
    ::close(writer);
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_TRUE(QFileInfo::exists(held));
    EXPECT_TRUE(ReadIni().contains("[Position]"));
}

TEST_F(SettingsTest, ControlSectionsHoldXUnderTopAndYUnderLeft)
{
    TfrmMain &w = Window();
    w.show();
    w.HorzSplitter->setSizes({300, 240});
    QCoreApplication::processEvents();
    const QPoint filesAt = w.grpFiles->mapTo(&w, QPoint(0, 0));
    const int filesHeight = w.grpFiles->height();
    DestroyWindow();
    const QByteArray ini = ReadIni();
    EXPECT_TRUE(ini.contains(
        QStringLiteral("[grpFiles]\r\nTop=%1\r\nLeft=%2\r\n").arg(filesAt.x()).arg(filesAt.y()).toUtf8()))
        << ini.toStdString();
    TfrmMain &again = Window();
    again.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(again.grpFiles->height(), filesHeight);
}

} // namespace
