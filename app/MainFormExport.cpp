// The Preview and Save commands of the six export types.
#include "app/MainForm.h"
#include "export/ExportFormat.h"
#include "export/uNativeXLSExport.h"
#include "fileutils/FileUtils.h"
#include "platform/Clipboard.h"
#include "platform/Errors.h"
#include "platform/PrivateTemp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QStringList>

#include <algorithm>
#include <unistd.h>

namespace {

// "Text File|*.txt|All Files|*" -> "Text File (*.txt)", "All Files (*)".
QStringList NameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
    return filters;
}

// The toolkit's save dialog; it keeps the name chosen last time.
class TQtSaveDialog : public ISaveDialog
{
public:
    void SetDefaultExt(const QString &ext) override { FDefaultExt = ext; }
    void SetFilter(const QString &filter) override { FFilter = filter; }
    void SetFilterIndex(int index) override { FFilterIndex = index; }
    bool Execute(QWidget *owner) override
    {
        QFileDialog dialog(owner);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setDefaultSuffix(FDefaultExt);
        const QStringList filters = NameFilters(FFilter);
        dialog.setNameFilters(filters);
        // Index 0 and 1 both mean the first filter.
        if (!filters.isEmpty())
            dialog.selectNameFilter(filters.value(std::max(FFilterIndex - 1, 0)));
        if (!FFileName.isEmpty())
            dialog.selectFile(FFileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        FFileName = dialog.selectedFiles().first();
        return true;
    }
    QString FileName() const override { return FFileName; }

private:
    QString FDefaultExt;
    QString FFilter;
    int FFilterIndex = 0;
    QString FFileName;
};

} // namespace

QString TfrmMain::HtmlHeading() const
{
    // A drive root ends in its delimiter ("/"); a home folder does not, and
    // needs one before the folder's name.
    const QString &root = FTree.Root().TagString;
    const TFolderNode *node = SelectedNode();
    if (!node)
        return root;
    return root.endsWith(QLatin1Char('/')) ? root + node->Text : root + QLatin1Char('/') + node->Text;
}

void TfrmMain::ExportListing(const TExportFormat &format, const QString &fileName, QIODevice *device)
{
    TExportOptions options;
    options.Headers = cbHeaders->isChecked();
    options.GridLines = cbGridLines->isChecked();
    options.Heading = HtmlHeading();
    ExportGrid(format, {fileName, device}, options, sgFiles);
}

void TfrmMain::btnPreviewClick()
{
    const TExportFormat *format = ExportFormatAt(ExportTypeIndex());
    if (!format)
        return;
    if (format->WritesFile()) {
        // A new file of our own in the private folder, written through its descriptor.
        const QString name = QString::fromLatin1(format->PreviewFile);
        QString path;
        const int fd = CreatePrivateFile(name, path);
        QFile file;
        if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            throw EInOutError(5, path);
        }
        try {
            ExportListing(*format, path, &file);
        } catch (const ESpreadsheetCut &) {
            // The file is whole: it is shown, and then the cut is reported.
            file.close();
            if (!ShellOpenFile(path))
                ReportNotOpened(path);
            throw;
        }
        file.close();
        // A press that opens nothing must say so, as opening an archive entry does.
        if (!ShellOpenFile(path))
            ReportNotOpened(path);
    } else {
        memoPreview->clear();
        memoPreview->show();
        ExportListing(*format, QString());
        memoPreview->insertPlainText(Clipboard().Text());
    }
}

void TfrmMain::btnSaveClick()
{
    const TExportFormat *format = ExportFormatAt(ExportTypeIndex());
    if (!format)
        return;
    if (format->WritesFile()) {
        if (!FSaveDialog)
            FSaveDialog = std::make_unique<TQtSaveDialog>();
        FSaveDialog->SetDefaultExt(QString::fromLatin1(format->DefaultExt));
        FSaveDialog->SetFilter(QString::fromLatin1(format->Filter));
        FSaveDialog->SetFilterIndex(0);
        if (!FSaveDialog->Execute(this))
            return;
        ExportListing(*format, FSaveDialog->FileName());
    } else {
        ExportListing(*format, QString());
    }
}
