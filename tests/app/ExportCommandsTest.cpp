#include "WindowFixture.h"
#include "platform/Clipboard.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace {

class TFakeClipboard : public IClipboard
{
public:
    void SetText(const QString &text) override { FText = text; }
    QString Text() const override { return FText; }
    QString FText = QStringLiteral("old");
};

class TFakeSaveDialog : public ISaveDialog
{
public:
    TFakeSaveDialog(QString answer, QStringList *log)
        : FAnswer(std::move(answer))
        , FLog(log)
    { }
    void SetDefaultExt(const QString &ext) override { *FLog << QStringLiteral("ext=") + ext; }
    void SetFilter(const QString &filter) override { *FLog << QStringLiteral("filter=") + filter; }
    void SetFilterIndex(int index) override { *FLog << QStringLiteral("index=%1").arg(index); }
    bool Execute(QWidget *) override { return !FAnswer.isEmpty(); }
    QString FileName() const override { return FAnswer; }

private:
    QString FAnswer;
    QStringList *FLog;
};

class ExportCommandsTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        SetClipboard(&FClipboard);
        MakeDir(QStringLiteral("docs"));
        MakeFile(QStringLiteral("docs/a.txt"), "x");
        MakeFile(QStringLiteral("docs/b,c.txt"), "yy");
    }
    void TearDown() override
    {
        WindowFixture::TearDown();
        SetClipboard(nullptr);
    }
    TfrmMain &Listed()
    {
        TfrmMain &w = Window();
        Select({QStringLiteral("docs")});
        return w;
    }
    void SetType(int type) { Window().cbExportType->setCurrentIndex(type); }
    QString TempDir() const
    {
        return FTemp.path() + QStringLiteral("/tmp/cartola-") + QString::number(getuid()) + QLatin1Char('/');
    }
    static QByteArray Read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    TFakeClipboard FClipboard;
    QStringList FDialogLog;
};

TEST_F(ExportCommandsTest, PreviewWritesEachTypesFileAndOpensIt)
{
    TfrmMain &w = Listed();
    const struct
    {
        int type;
        const char *file;
        const char *start;
    } cases[] = {{0, "BrambleTemp.txt", "Name\t"},
        {1, "BrambleTemp.htm", "<!--"},
        {2, "BrambleTemp.csv", "Name,"},
        {3, "BrambleTemp.txt", "Name\t"},
        {5, "BrambleTemp.xls", "\x09\x08"}};
    for (const auto &c : cases) {
        FOpener.Opened.clear();
        SetType(c.type);
        w.btnPreviewClick();
        const QString path = TempDir() + QLatin1String(c.file);
        ASSERT_EQ(FOpener.Opened, QStringList{path}) << c.type;
        EXPECT_TRUE(Read(path).startsWith(c.start)) << c.type;
    }
    EXPECT_TRUE(FErrors.isEmpty());
}

TEST_F(ExportCommandsTest, PreviewThatNoApplicationTakesSaysSoWithTheFilesName)
{
    TfrmMain &w = Listed();
    const struct
    {
        int type;
        bool taken;
        QStringList said;
    } cases[] = {
        {1,
            false,
            {QStringLiteral("Could not open BrambleTemp.htm - A file association may not have been set.")}},
        {5,
            false,
            {QStringLiteral("Could not open BrambleTemp.xls - A file association may not have been set.")}},
        {1, true, {}},
        {4, false, {}}, // the clipboard type opens nothing
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type);
        FAssociationErrors.clear();
        FOpener.Opened.clear();
        FOpener.Result = c.taken;
        SetType(c.type);
        w.btnPreview->click();
        EXPECT_EQ(FAssociationErrors, c.said);
        EXPECT_EQ(FOpener.Opened.size(), c.type == 4 ? 0 : 1);
    }
    EXPECT_TRUE(FErrors.isEmpty());
}

TEST_F(ExportCommandsTest, ClipboardPreviewFillsTheMemoAndSaveOnlyTheClipboard)
{
    TfrmMain &w = Listed();
    SetType(4);
    w.btnPreviewClick();
    EXPECT_TRUE(FClipboard.FText.startsWith(Home() + QStringLiteral("/docs/")));
    EXPECT_FALSE(w.memoPreview->isHidden());
    EXPECT_TRUE(w.memoPreview->toPlainText().contains(QStringLiteral("a.txt")));
    EXPECT_TRUE(FOpener.Opened.isEmpty());

    w.memoPreview->clear();
    w.memoPreview->hide();
    FClipboard.FText.clear();
    w.btnSaveClick();
    EXPECT_TRUE(FClipboard.FText.contains(QStringLiteral("a.txt")));
    EXPECT_TRUE(w.memoPreview->isHidden());
    EXPECT_TRUE(w.memoPreview->toPlainText().isEmpty());
}

TEST_F(ExportCommandsTest, SaveSetsTheDialogAndWritesTheChosenFile)
{
    TfrmMain &w = Listed();
    const QString target = FTemp.path() + QStringLiteral("/out.xls");
    w.SetSaveDialog(std::make_unique<TFakeSaveDialog>(target, &FDialogLog));
    SetType(5);
    w.cbGridLines->setChecked(false);
    w.btnSaveClick();
    EXPECT_EQ(FDialogLog,
        (QStringList{QStringLiteral("ext=xls"),
            QStringLiteral("filter=Excel Spreadsheet|xls|All Files|*"),
            QStringLiteral("index=0")}));
    const QByteArray xls = Read(target);
    ASSERT_GT(xls.size(), 28);
    // After BOF, CODEPAGE and DIMENSIONS, the first LABEL is the shaded header
    // without borders: attributes 00 00 80.
    EXPECT_EQ(xls.mid(28 + 8, 3), QByteArray("\x00\x00\x80", 3));
    EXPECT_TRUE(FOpener.Opened.isEmpty());
}

TEST_F(ExportCommandsTest, CancelledDialogWritesNothing)
{
    TfrmMain &w = Listed();
    w.SetSaveDialog(std::make_unique<TFakeSaveDialog>(QString(), &FDialogLog));
    SetType(3);
    w.btnSaveClick();
    EXPECT_EQ(FDialogLog.value(1), QStringLiteral("filter=Tab-Seperated Text File|txt|All Files|*"));
    EXPECT_TRUE(QDir(FTemp.path()).entryList({QStringLiteral("*.txt")}, QDir::Files).isEmpty());
}

TEST_F(ExportCommandsTest, HeadersBoxReachesEveryWriter)
{
    TfrmMain &w = Listed();
    w.cbHeaders->setChecked(false);
    SetType(2);
    w.btnPreviewClick();
    const QByteArray csv = Read(TempDir() + QStringLiteral("BrambleTemp.csv"));
    EXPECT_FALSE(csv.startsWith("Name"));
    EXPECT_TRUE(csv.contains("\"b,c\","));
    SetType(1);
    w.btnPreviewClick();
    EXPECT_FALSE(Read(TempDir() + QStringLiteral("BrambleTemp.htm")).contains("<TR BGCOLOR=#336699>"));
}

TEST_F(ExportCommandsTest, HtmlHeadingJoinsTheRootAndTheSelectedNameWithOneDelimiter)
{
    TfrmMain &w = Listed();
    SetType(1);
    w.btnPreviewClick();
    EXPECT_TRUE(Read(TempDir() + QStringLiteral("BrambleTemp.htm"))
                    .contains((QStringLiteral("<H1>") + Home() + QStringLiteral("/docs</H1>")).toUtf8()));
    w.cbDrives->setCurrentIndex(1); // "/"
    w.cbDrivesChange();
    Select({QStringLiteral("etc")});
    w.btnPreviewClick();
    EXPECT_TRUE(Read(TempDir() + QStringLiteral("BrambleTemp.htm")).contains("<H1>/etc</H1>"));
}

TEST_F(ExportCommandsTest, AWriterErrorIsShownAndNothingIsOpened)
{
    TfrmMain &w = Listed();
    SetType(2);
    w.btnPreviewClick();
    FOpener.Opened.clear();
    QFile::remove(TempDir() + QStringLiteral("BrambleTemp.csv"));
    QDir().mkpath(TempDir() + QStringLiteral("BrambleTemp.csv"));
    w.Guarded (&TfrmMain::btnPreviewClick)();
    EXPECT_EQ(FErrors, QStringList{QStringLiteral("File access denied.")});
    EXPECT_TRUE(FOpener.Opened.isEmpty());
}

// More rows than the spreadsheet holds: the file is written whole (and the
// preview opened), then the cut is shown, never a silent success.
TEST_F(ExportCommandsTest, AnXlsCutIsShownAfterTheFileIsWritten)
{
    TfrmMain &w = Listed();
    w.sgFiles.SetRowCount(70000);
    SetType(5);
    const QString preview = TempDir() + QStringLiteral("BrambleTemp.xls");
    const QString saved = FTemp.path() + QStringLiteral("/big.xls");
    w.SetSaveDialog(std::make_unique<TFakeSaveDialog>(saved, &FDialogLog));
    w.Guarded (&TfrmMain::btnPreviewClick)();
    w.Guarded (&TfrmMain::btnSaveClick)();
    const QString message = QStringLiteral("The spreadsheet holds the first 65 535 of 70 000 rows.");
    EXPECT_EQ(FErrors, (QStringList{message, message}));
    EXPECT_EQ(FOpener.Opened, QStringList{preview});
    for (const QString &path : {preview, saved})
        EXPECT_TRUE(Read(path).endsWith(QByteArray("\x0A\x00\x00\x00", 4))) << path.toStdString();
}

TEST_F(ExportCommandsTest, AnIndexWithoutEntryDoesNothing)
{
    TfrmMain &w = Listed();
    w.cbExportType->setCurrentIndex(-1);
    w.btnPreviewClick();
    w.btnSaveClick();
    EXPECT_TRUE(FOpener.Opened.isEmpty());
    EXPECT_EQ(FClipboard.FText, QStringLiteral("old"));
}

} // namespace
