// The preview of the selected row and the opening of archive entries.
#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "fileutils/FileUtils.h"
#include "fileutils/PathNames.h"
#include "fileutils/TextPreview.h"
#include "listing/GridColumns.h"
#include "platform/Errors.h"
#include "platform/FileNames.h"
#include "platform/LocaleServices.h"
#include "zip/ExtractTarget.h"
#include "zip/ZipEntryTexts.h"
#include "zip/ZipFile.h"

#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QPlainTextEdit>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsRegularFile(const QString &path)
{
    struct stat st
    { };
    return ::stat(EncodeFileName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// A FIFO, socket or device (or a link to one): nothing to preview, and
// nothing to report, since the user merely looked at its row.
bool IsSpecialFile(const QString &path)
{
    struct stat st
    { };
    return ::stat(EncodeFileName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

// A missing or non-regular file, or one the decoder does not know, gives no
// picture. The file is checked again on the descriptor that is read: what has
// the name may change after the check, and a FIFO must not hold the window.
// followLink is false for names the user did not pick.
QImage LoadPicture(const QString &path, bool followLink = true)
{
    if (!IsRegularFile(path))
        return {};
    if (TfrmMain::PictureChecked)
        TfrmMain::PictureChecked(path);
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW);
    const int fd = ::open(EncodeFileName(path).constData(), flags);
    if (fd < 0) {
        if (errno == ENOENT || errno == ELOOP)
            return {};
        throw EFOpenError(path, errno);
    }
    struct stat st
    { };
    QFile file;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

// The icon of an application bundle, Name.icns in its resources.
QImage LoadBundleIcon(const QString &path)
{
    const QString name = NameWithoutExtension(path, TNameStart::nsSlashOrColon);
    const QString first = path + QStringLiteral("/Contents/Resources/") + name + QStringLiteral(".icns");
    if (IsRegularFile(first))
        return LoadPicture(first, false);
    QString second = first;
    second.remove(QLatin1Char(' '));
    if (IsRegularFile(second))
        return LoadPicture(second, false);
    return {};
}

// The text box lays out a line as a whole: a single line of megabytes (a
// minified file, a sparse one) would freeze the window for seconds. Such lines
// are shown in pieces.
QString BreakLongLines(const QString &text)
{
    constexpr qsizetype kMaxLine = 4096;
    QString out;
    qsizetype copied = 0; // text before this index is in out
    qsizetype lineLength = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            lineLength = 0;
        } else if (++lineLength > kMaxLine) {
            out += QStringView(text).mid(copied, i - copied);
            out += QLatin1Char('\n');
            copied = i;
            lineLength = 1;
        }
    }
    if (copied == 0)
        return text;
    out += QStringView(text).mid(copied);
    return out;
}

} // namespace

QString TfrmMain::GetSelectedPath() const
{
    return sgFiles.Cells(fcPathHolder, sgFiles.Selected());
}

void TfrmMain::sgFilesSelChanged()
{
    if (sgFiles.Selected() < 0)
        return;
    memoPreview->hide();
    const QString path = sgFiles.Cells(fcPathHolder, sgFiles.Selected());

    Image1->Clear();
    if (path.size() >= 3 && CompareText(path.right(3), QStringLiteral("app")) == 0)
        Image1->SetPicture(LoadBundleIcon(path));
    else
        Image1->SetPicture(LoadPicture(path));
    if (Image1->HasPicture()) {
        Image1->show();
        Image1->raise();
    } else {
        Image1->hide();
    }

    if (TextPreviewExtensions().contains(ExtractExtension(path, TNameStart::nsSlashOrColon))
        && !IsSpecialFile(path)) {
        memoPreview->raise();
        memoPreview->show();
        memoPreview->setPlainText(BreakLongLines(ReadTextPreview(path)));
    }

    if (TZipFile::IsValid(path)) {
        pnlZip->raise();
        pnlZip->show();
        FZipFile->Open(GetSelectedPath(), zmRead);
        const int count = FZipFile->FileCount();
        lblZipFileC->setText(ZipFileCountText(*FZipFile));
        stgZippedFiles.SetRowCount(count);
        stgZippedFiles.BeginUpdate();
        TDateTimeTexts dates;
        for (int i = 0; i < count; ++i) {
            TZipEntryTexts texts = ZipEntryTexts(*FZipFile, i, dates);
            stgZippedFiles.SetCells(zcFilePath, i, std::move(texts.FilePath));
            stgZippedFiles.SetCells(zcCompressedSize, i, std::move(texts.CompressedSize));
            stgZippedFiles.SetCells(zcUncompressedSize, i, std::move(texts.UncompressedSize));
            stgZippedFiles.SetCells(zcLastModified, i, std::move(texts.LastModified));
            stgZippedFiles.SetCells(zcMethod, i, std::move(texts.Method));
            stgZippedFiles.SetCells(zcComment, i, std::move(texts.Comment));
        }
        stgZippedFiles.EndUpdate();
        FZipFile->Close();
    } else {
        pnlZip->hide();
        lblZipFileC->setText(QStringLiteral("(invalid ZIP file)"));
        stgZippedFiles.SetRowCount(0);
    }
}

void TfrmMain::sgFilesDblClick()
{
    TMisc::Open(sgFiles.Cells(fcPathHolder, sgFiles.Selected()));
}

void TfrmMain::stgZippedFilesKeyDown(int &Key)
{
    if (Key != 13)
        return;
    Key = 0;
    stgZippedFilesDblClick();
}

void TfrmMain::stgZippedFilesDblClick()
{
    const QString path = sgFiles.Cells(fcPathHolder, sgFiles.Selected());
    if (!TZipFile::IsValid(path))
        return;
    FZipFile->Open(GetSelectedPath(), zmRead);
    const int index = stgZippedFiles.Selected();
    if (index < 0) {
        FZipFile->Close();
        return;
    }
    MakeBaseTempDir();
    const QString folder = FBaseTempDir + QLatin1Char('/') + sgFiles.Cells(fcName, sgFiles.Selected());
    FZipFile->Extract(index, folder, true);
    const QString target = JoinExtractPath(folder, FZipFile->FileName(index));
    if (!ShellOpenFile(target))
        ReportNotOpened(target);
    FZipFile->Close();
}

void TfrmMain::ReportNotOpened(const QString &path)
{
    const QString name = FileNameOf(path, TNameStart::nsSlashOrColon);
    AssociationErrorBox(
        QStringLiteral("Could not open %1 - A file association may not have been set.").arg(name));
}
