#include "WindowFixture.h"
#include "app/ImageViewer.h"
#include "fileutils/TextPreview.h"
#include "listing/GridColumns.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <zlib.h>

namespace {

class PreviewTest : public WindowFixture
{
protected:
    void Preview(const QString &name) { PickRow({QStringLiteral("p")}, name); }
    void SetUp() override
    {
        WindowFixture::SetUp();
        MakeDir(QStringLiteral("p"));
    }
    static QByteArray Png(int w, int h)
    {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(Qt::red);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }
};

TEST_F(PreviewTest, APictureShowsAloneInFront)
{
    MakeFile(QStringLiteral("p/red.png"), Png(40, 30));
    Preview(QStringLiteral("red.png"));
    TfrmMain &w = Window();
    EXPECT_FALSE(w.Image1->isHidden());
    EXPECT_EQ(w.Image1->Picture().size(), QSize(40, 30));
    EXPECT_TRUE(w.memoPreview->isHidden());
    EXPECT_TRUE(w.pnlZip->isHidden());
    EXPECT_EQ(w.lblZipFileC->text(), QStringLiteral("(invalid ZIP file)"));
}

// Another user swaps a FIFO in under the picture's name between the check and
// the open. Should the preview wait on it, a writer is let in after a while so
// the test ends, and says so.
TEST_F(PreviewTest, AFifoSwappedInUnderAPicturesNameDoesNotHoldTheWindow)
{
    MakeFile(QStringLiteral("p/red.png"), Png(40, 30));
    const QString path = Home() + QStringLiteral("/p/red.png");
    const QByteArray native = QFile::encodeName(path);
    std::promise<void> done;
    std::atomic<bool> rescued{false};
    std::thread watchdog;
    bool swapped = false;
    TfrmMain::PictureChecked = [&](const QString &checked) {
        if (std::exchange(swapped, true))
            return;
        ASSERT_EQ(checked, path);
        ASSERT_EQ(::unlink(native.constData()), 0);
        ASSERT_EQ(::mkfifo(native.constData(), 0600), 0);
        watchdog = std::thread([&, future = done.get_future()] {
            if (future.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
                return;
            rescued = true;
            ::close(::open(native.constData(), O_WRONLY));
        });
    };
    Preview(QStringLiteral("red.png"));
    done.set_value();
    TfrmMain::PictureChecked = nullptr;
    if (watchdog.joinable())
        watchdog.join();
    ASSERT_TRUE(swapped);
    EXPECT_FALSE(rescued) << "the preview waited on the FIFO";
    TfrmMain &w = Window();
    EXPECT_TRUE(w.Image1->isHidden());
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join(QLatin1Char('\n')).toStdString();
}

TEST_F(PreviewTest, APictureTooLargeToDecodeStaysHidden)
{
    // A valid PNG header claiming 60000 x 60000 pixels: past the decoder's allocation limit.
    QByteArray ihdr("IHDR");
    for (const uint32_t v : {60000u, 60000u})
        for (int shift = 24; shift >= 0; shift -= 8)
            ihdr.append(char((v >> shift) & 0xFF));
    ihdr.append("\x08\x02\x00\x00\x00", 5);
    const uint32_t crc =
        uint32_t(crc32(0, reinterpret_cast<const Bytef *>(ihdr.constData()), uInt(ihdr.size())));
    QByteArray png("\x89PNG\r\n\x1a\n\x00\x00\x00\x0d", 12);
    png += ihdr;
    for (int shift = 24; shift >= 0; shift -= 8)
        png.append(char((crc >> shift) & 0xFF));
    MakeFile(QStringLiteral("p/huge.png"), png);
    Preview(QStringLiteral("huge.png"));
    EXPECT_TRUE(Window().Image1->isHidden());
    EXPECT_TRUE(FErrors.isEmpty());
}

TEST_F(PreviewTest, AHugeTextFileShowsItsBeginning)
{
    const QString path = Home() + QStringLiteral("/p/big.log");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("start");
        ASSERT_TRUE(f.resize(qint64(64) * 1024 * 1024)); // sparse: costs no disk
    }
    Preview(QStringLiteral("big.log"));
    const QString text = Window().memoPreview->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("start")));
    // The preview's share of it, the one long line shown in pieces of 4096 characters.
    EXPECT_EQ(text.size(), kTextPreviewLimit + kTextPreviewLimit / 4096 - 1);
    EXPECT_EQ(text.indexOf(QLatin1Char('\n')), 4096);
}

TEST_F(PreviewTest, BestFitShrinksButNeverEnlarges)
{
    TImageViewer viewer;
    viewer.resize(100, 100);
    QImage small(40, 30, QImage::Format_RGB32);
    viewer.SetPicture(small);
    EXPECT_DOUBLE_EQ(viewer.FitScale(), 1.0);
    viewer.SetPicture(QImage(400, 200, QImage::Format_RGB32));
    EXPECT_DOUBLE_EQ(viewer.FitScale(), 0.25);
}

TEST_F(PreviewTest, TextExtensionsAreCaseSensitiveAndMarksAreDropped)
{
    MakeFile(QStringLiteral("p/notes.txt"), "hello \x80");
    MakeFile(QStringLiteral("p/NOTES.TXT"), "upper");
    MakeFile(QStringLiteral("p/wide.log"),
        QByteArray("\xFF\xFE"
                   "h\0i\0",
            6));
    MakeFile(QStringLiteral("p/empty.log"));
    MakeFile(QStringLiteral("p/picture.txt"), Png(4, 4));
    TfrmMain &w = Window();
    Preview(QStringLiteral("notes.txt"));
    EXPECT_FALSE(w.memoPreview->isHidden());
    EXPECT_EQ(w.memoPreview->toPlainText(), QStringLiteral("hello ") + QChar(0x20AC));
    EXPECT_TRUE(w.Image1->isHidden());
    Preview(QStringLiteral("NOTES.TXT"));
    EXPECT_TRUE(w.memoPreview->isHidden());
    EXPECT_EQ(w.memoPreview->toPlainText(), QStringLiteral("hello ") + QChar(0x20AC)); // kept while hidden
    Preview(QStringLiteral("wide.log"));
    EXPECT_EQ(w.memoPreview->toPlainText(), QStringLiteral("hi"));
    Preview(QStringLiteral("empty.log"));
    EXPECT_FALSE(w.memoPreview->isHidden());
    EXPECT_EQ(w.memoPreview->toPlainText(), QString());
    // A picture with a text extension shows both; the text is in front.
    Preview(QStringLiteral("picture.txt"));
    EXPECT_FALSE(w.Image1->isHidden());
    EXPECT_FALSE(w.memoPreview->isHidden());
}

// Without a mark, valid UTF-8 is read as UTF-8 (a cut last character
// included) and anything else in the ANSI code page, 1252 here.
TEST_F(PreviewTest, UTF8WithoutAMarkShowsAsWritten)
{
    const struct
    {
        const char *Name;
        QByteArray Bytes;
        QString Shown;
    } files[] = {
        {"ru.txt",
            "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 caf\xC3\xA9",
            QString::fromUtf8("\u041F\u0440\u0438\u0432\u0435\u0442 caf\u00E9")},
        {"cut.txt", "caf\xC3", QStringLiteral("caf") + QChar(0xFFFD)},
        {"ansi.txt", "caf\xE9 \x80", QStringLiteral("caf\u00E9 \u20AC")},
        {"overlong.txt", "\xC0\xAF", QStringLiteral("\u00C0\u00AF")},
        {"surrogate.txt", "\xED\xB0\x80", QStringLiteral("\u00ED\u00B0\u20AC")},
    };
    for (const auto &f : files)
        MakeFile(QStringLiteral("p/") + QLatin1String(f.Name), f.Bytes);
    TfrmMain &w = Window();
    for (const auto &f : files) {
        Preview(QLatin1String(f.Name));
        EXPECT_EQ(w.memoPreview->toPlainText(), f.Shown) << f.Name;
    }
}

TEST_F(PreviewTest, AFolderNamedLikeATextFileIsReported)
{
    MakeDir(QStringLiteral("p/notes.txt"));
    TfrmMain &w = Window();
    w.cbFolders->setChecked(true);
    Preview(QStringLiteral("notes.txt"));
    ASSERT_FALSE(FErrors.isEmpty());
    EXPECT_EQ(FErrors.last(), QStringLiteral("The specified file was not found."));
    EXPECT_FALSE(w.memoPreview->isHidden());
}

TEST_F(PreviewTest, AFifoIsNeverOpened)
{
    ASSERT_EQ(mkfifo(QFile::encodeName(Home() + QStringLiteral("/p/x.txt")).constData(), 0600), 0);
    ASSERT_EQ(mkfifo(QFile::encodeName(Home() + QStringLiteral("/p/y.zip")).constData(), 0600), 0);
    TfrmMain &w = Window();
    Preview(QStringLiteral("x.txt")); // would block forever if opened
    Preview(QStringLiteral("y.zip"));
    EXPECT_TRUE(w.pnlZip->isHidden());
    EXPECT_TRUE(w.Image1->isHidden());
}

TEST_F(PreviewTest, LookingAtAFolderWhoseRowsAreSpecialFilesSaysNothing)
{
    MakeDir(QStringLiteral("other"));
    MakeFile(QStringLiteral("other/one.txt"), "1");
    MakeFile(QStringLiteral("other/two.txt"), "2");
    // Sorted by name, the FIFO is the first row and is previewed as the folder is listed.
    ASSERT_EQ(mkfifo(QFile::encodeName(Home() + QStringLiteral("/p/a.txt")).constData(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", QFile::encodeName(Home() + QStringLiteral("/p/b.txt")).constData()), 0);
    MakeFile(QStringLiteral("p/c.txt"), "words");
    TfrmMain &w = Window();
    w.cbExt->setChecked(true);
    Select({QStringLiteral("other")});
    ASSERT_EQ(w.lblCountDir->text(), QStringLiteral("Folders: 0  Files: 2"));
    Select({QStringLiteral("p")});
    EXPECT_EQ(w.sgFiles.Cells(fcName, w.sgFiles.Selected()), QStringLiteral("a.txt"));
    EXPECT_EQ(w.lblCountDir->text(), QStringLiteral("Folders: 0  Files: 3"));
    EXPECT_TRUE(w.memoPreview->isHidden());
    // Arrowing onto the link to a device, then onto a text file.
    w.sgFilesView->setFocus();
    QTest::keyClick(w.sgFilesView, Qt::Key_Down);
    EXPECT_EQ(w.sgFiles.Cells(fcName, w.sgFiles.Selected()), QStringLiteral("b.txt"));
    EXPECT_TRUE(w.memoPreview->isHidden());
    EXPECT_TRUE(w.Image1->isHidden());
    EXPECT_TRUE(w.pnlZip->isHidden());
    QTest::keyClick(w.sgFilesView, Qt::Key_Down);
    EXPECT_EQ(w.memoPreview->toPlainText(), QStringLiteral("words"));
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join(QLatin1Char('\n')).toStdString();
}

TEST_F(PreviewTest, TheCountsAreTheNewFoldersEvenWhenItsFirstRowCannotBePreviewed)
{
    MakeDir(QStringLiteral("other"));
    MakeFile(QStringLiteral("other/one.txt"), "1");
    ASSERT_EQ(symlink("gone", QFile::encodeName(Home() + QStringLiteral("/p/a.txt")).constData()), 0);
    MakeFile(QStringLiteral("p/b.txt"), "b");
    MakeFile(QStringLiteral("p/c.txt"), "c");
    TfrmMain &w = Window();
    Select({QStringLiteral("other")});
    Select({QStringLiteral("p")});
    EXPECT_EQ(FErrors, QStringList{QStringLiteral("The specified file was not found.")});
    EXPECT_EQ(w.lblCountDir->text(), QStringLiteral("Folders: 0  Files: 3"));
}

TEST_F(PreviewTest, TheBlankRowHidesEverything)
{
    MakeFile(QStringLiteral("p/notes.txt"), "x");
    TfrmMain &w = Window();
    Preview(QStringLiteral("notes.txt"));
    w.ClearGrid(w.sgFiles);
    w.sgFilesSelChanged();
    EXPECT_TRUE(w.memoPreview->isHidden());
    EXPECT_TRUE(w.Image1->isHidden());
    EXPECT_TRUE(w.pnlZip->isHidden());
    EXPECT_EQ(w.lblZipFileC->text(), QStringLiteral("(invalid ZIP file)"));
    EXPECT_EQ(w.stgZippedFiles.RowCount(), 0);
}

TEST_F(PreviewTest, EnterOnANonArchiveDoesNothingButIsHandled)
{
    MakeFile(QStringLiteral("p/notes.txt"), "x");
    TfrmMain &w = Window();
    Preview(QStringLiteral("notes.txt"));
    int key = 13;
    w.stgZippedFilesKeyDown(key);
    EXPECT_EQ(key, 0);
    int other = 'A';
    w.stgZippedFilesKeyDown(other);
    EXPECT_EQ(other, 'A');
    EXPECT_TRUE(FOpener.Opened.isEmpty());
    EXPECT_TRUE(FErrors.isEmpty());
}

TEST_F(PreviewTest, DoubleClickOpensTheSelectedRow)
{
    MakeDir(QStringLiteral("p/sub"));
    TfrmMain &w = Window();
    w.cbFolders->setChecked(true);
    Preview(QStringLiteral("sub"));
    w.sgFilesDblClick();
    ASSERT_EQ(FOpener.Opened.size(), 1);
    EXPECT_EQ(FOpener.Opened[0], Home() + QStringLiteral("/p/sub"));
}

} // namespace
