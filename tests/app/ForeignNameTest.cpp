#include "WindowFixture.h"
#include "app/ImageViewer.h"
#include "listing/GridColumns.h"
#include "platform/FileNames.h"
#include "tools/ZipBuilder.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPlainTextEdit>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Names that are not UTF-8 (Latin-1 bytes, a stray byte) list as a UTF-8
// reader shows them, and still preview and open as the files they are.
class ForeignNameTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        MakeDir(QStringLiteral("p"));
    }
    QByteArray Bytes(const QByteArray &name) const { return QFile::encodeName(Home()) + "/p/" + name; }
    void Put(const QByteArray &name, const QByteArray &content) const
    {
        const int fd = ::open(Bytes(name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0) << name.toStdString();
        ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
        ::close(fd);
    }
};

TEST_F(ForeignNameTest, ATextFileShowsAndOpensUnderItsOwnBytes)
{
    Put("b\xFF"
        "d.txt",
        "hello");
    const QString shown = QStringLiteral("b\uFFFDd.txt");
    PickRow({QStringLiteral("p")}, shown);
    TfrmMain &w = Window();
    ASSERT_TRUE(FErrors.isEmpty()) << FErrors.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(w.memoPreview->isHidden());
    EXPECT_EQ(w.memoPreview->toPlainText(), QStringLiteral("hello"));
    EXPECT_EQ(w.sgFiles.Cells(fcName, w.sgFiles.Selected()), shown);

    w.sgFilesDblClick();
    ASSERT_EQ(FOpener.Opened.size(), 1);
    EXPECT_EQ(EncodeFileName(FOpener.Opened[0]),
        Bytes("b\xFF"
              "d.txt"));
}

TEST_F(ForeignNameTest, APictureShows)
{
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    Put("\xE9t\xE9.png", png);
    PickRow({QStringLiteral("p")}, QStringLiteral("\uFFFDt\uFFFD.png"));
    TfrmMain &w = Window();
    EXPECT_TRUE(FErrors.isEmpty());
    EXPECT_FALSE(w.Image1->isHidden());
    EXPECT_EQ(w.Image1->Picture().size(), QSize(8, 6));
}

TEST_F(ForeignNameTest, AnArchiveListsAndItsEntryOpens)
{
    ZipBuilder::TArchive archive;
    archive.Add("readme.txt", "read me", 8);
    Put("\xE9t\xE9.zip", archive.Build());
    PickRow({QStringLiteral("p")}, QStringLiteral("\uFFFDt\uFFFD.zip"));
    TfrmMain &w = Window();
    ASSERT_TRUE(FErrors.isEmpty()) << FErrors.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(w.pnlZip->isHidden());
    ASSERT_EQ(w.stgZippedFiles.RowCount(), 1);

    int key = 13;
    w.stgZippedFilesKeyDown(key);
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(FOpener.Opened.size(), 1);
    QFile opened(FOpener.Opened[0]);
    ASSERT_TRUE(opened.open(QIODevice::ReadOnly)) << FOpener.Opened[0].toStdString();
    EXPECT_EQ(opened.readAll(), QByteArray("read me"));
}

TEST_F(ForeignNameTest, AFolderOfSuchANameListsItsFiles)
{
    ASSERT_EQ(::mkdir(Bytes("d\xFF").constData(), 0700), 0);
    Put("d\xFF/inner.txt", "x");
    Window();
    Select({QStringLiteral("p")});
    ASSERT_NE(Select({QStringLiteral("p"), QStringLiteral("d\uFFFD")}), nullptr);
    TfrmMain &w = Window();
    EXPECT_EQ(Column(w.sgFiles, fcName), QStringList{QStringLiteral("inner")});
    EXPECT_EQ(w.sgFiles.Cells(fcPath, 0), Home() + QStringLiteral("/p/d\uFFFD/"));
}

} // namespace
