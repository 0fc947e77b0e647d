#include "WindowFixture.h"
#include "listing/GridColumns.h"
#include "tools/ZipBuilder.h"

#include <QFile>
#include <QFileInfo>

namespace {

using namespace ZipBuilder;

class ArchivePreviewTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        MakeDir(QStringLiteral("p"));
    }
    void Put(const QString &name, const QByteArray &bytes)
    {
        ASSERT_TRUE(WriteBytes(Home() + QStringLiteral("/p/") + name, bytes));
    }
    void Pick(const QString &name) { PickRow({QStringLiteral("p")}, name); }
    static QByteArray Photos()
    {
        TArchive a;
        a.Add("docs/", {});
        a.Add("docs/readme.txt", "read me", 8);
        TEntry &bad = a.Add("old.bin", "x");
        bad.DosDateTime = 0;
        a.Add("packed.bz2", "zz").Method = 12;
        a.Entries[1].Comment = "first";
        a.Comment = "Backup";
        return a.Build();
    }
};

TEST_F(ArchivePreviewTest, AnArchiveListsItsEntriesWithCountAndComment)
{
    Put(QStringLiteral("photos.zip"), Photos());
    Pick(QStringLiteral("photos.zip"));
    TfrmMain &w = Window();
    EXPECT_FALSE(w.pnlZip->isHidden());
    EXPECT_EQ(w.lblZipFileC->text(), QStringLiteral("Files: 4Backup"));
    ASSERT_EQ(w.stgZippedFiles.RowCount(), 4);
    EXPECT_EQ(w.stgZippedFiles.Cells(zcFilePath, 1), QStringLiteral("docs/readme.txt"));
    EXPECT_EQ(w.stgZippedFiles.Cells(zcUncompressedSize, 1), QStringLiteral("7 bytes"));
    EXPECT_EQ(w.stgZippedFiles.Cells(zcLastModified, 1), QStringLiteral("9/27/2012 2:30:58 PM"));
    EXPECT_EQ(w.stgZippedFiles.Cells(zcMethod, 1), QStringLiteral("Deflated"));
    EXPECT_EQ(w.stgZippedFiles.Cells(zcComment, 1), QStringLiteral("first"));
    EXPECT_EQ(w.stgZippedFiles.Cells(zcLastModified, 2), QStringLiteral("(invalid)"));
    EXPECT_EQ(w.stgZippedFiles.Cells(zcMethod, 3), QStringLiteral("BZIP2"));
    EXPECT_EQ(w.stgZippedFilesView->model()->rowCount(), 4);
}

TEST_F(ArchivePreviewTest, DocumentContainersAndTextNamedArchivesShowTheTableInFront)
{
    TArchive doc;
    doc.Add("[Content_Types].xml", "<Types/>", 8);
    doc.Add("word/document.xml", "<w:document/>", 8);
    Put(QStringLiteral("report.docx"), doc.Build());
    Put(QStringLiteral("notes.txt"), EmptyArchive());
    TfrmMain &w = Window();
    Pick(QStringLiteral("report.docx"));
    EXPECT_EQ(w.lblZipFileC->text(), QStringLiteral("Files: 2"));
    EXPECT_EQ(w.stgZippedFiles.Cells(zcFilePath, 1), QStringLiteral("word/document.xml"));
    Pick(QStringLiteral("notes.txt"));
    EXPECT_FALSE(w.memoPreview->isHidden());
    EXPECT_FALSE(w.pnlZip->isHidden());
    EXPECT_EQ(w.lblZipFileC->text(), QStringLiteral("Files: 0"));
    EXPECT_EQ(w.stgZippedFiles.RowCount(), 0);
}

TEST_F(ArchivePreviewTest, ADamagedDirectoryIsReportedWithThePanelShown)
{
    TArchive a;
    a.Add("a.txt", "x");
    a.DirectoryOffset = 3;
    Put(QStringLiteral("bad.zip"), a.Build());
    Pick(QStringLiteral("bad.zip"));
    ASSERT_FALSE(FErrors.isEmpty());
    EXPECT_EQ(FErrors.last(), QStringLiteral("Invalid Zip Central Header signature."));
    EXPECT_FALSE(Window().pnlZip->isHidden());
}

TEST_F(ArchivePreviewTest, OpeningAnEntryExtractsBelowTheRunFolderAndHandsItOn)
{
    Put(QStringLiteral("photos.zip"), Photos());
    Pick(QStringLiteral("photos.zip"));
    TfrmMain &w = Window();
    w.stgZippedFiles.RequestSelected(1);
    int key = 13;
    w.stgZippedFilesKeyDown(key); // Enter in the listing opens the entry too
    EXPECT_EQ(key, 0);
    const QString target = w.FBaseTempDir + QStringLiteral("/photos.zip/docs/readme.txt");
    ASSERT_EQ(FOpener.Opened, QStringList{target});
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("read me"));
    EXPECT_TRUE(FAssociationErrors.isEmpty());

    // A folder entry hands on the folder itself.
    w.stgZippedFiles.RequestSelected(0);
    w.stgZippedFilesDblClick();
    EXPECT_EQ(FOpener.Opened.last(), w.FBaseTempDir + QStringLiteral("/photos.zip/docs/"));
    EXPECT_TRUE(QFileInfo(FOpener.Opened.last()).isDir());
}

TEST_F(ArchivePreviewTest, AnUnassociatedTypeShowsTheErrorBox)
{
    TArchive a;
    a.Add("readme.xyz", "data");
    Put(QStringLiteral("a.zip"), a.Build());
    Pick(QStringLiteral("a.zip"));
    FOpener.Result = false;
    Window().stgZippedFilesDblClick();
    EXPECT_EQ(FAssociationErrors,
        QStringList{QStringLiteral("Could not open readme.xyz - A file association may not have been set.")});
}

TEST_F(ArchivePreviewTest, AnEntryThatCannotBeExtractedWritesNothing)
{
    Put(QStringLiteral("photos.zip"), Photos());
    Pick(QStringLiteral("photos.zip"));
    TfrmMain &w = Window();
    w.stgZippedFiles.RequestSelected(3);
    w.Guarded (&TfrmMain::stgZippedFilesDblClick)();
    EXPECT_EQ(FErrors, QStringList{QStringLiteral("Item not found.")});
    EXPECT_FALSE(QFileInfo::exists(w.FBaseTempDir + QStringLiteral("/photos.zip/packed.bz2")));
    EXPECT_TRUE(FOpener.Opened.isEmpty());
}

} // namespace
