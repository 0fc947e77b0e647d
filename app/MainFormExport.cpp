// The Preview and Save commands of the six export types.
#include "app/MainForm.h"
#include "export/uNativeXLSExport.h"
#include "export/uSGExports.h"
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

enum TExportKind { ekText = 0, ekHTML = 1, ekCSV = 2, ekTSV = 3, ekClipboard = 4, ekXLS = 5 };

struct TExportType
{
    const char *PreviewFile;
    const char *DefaultExt;
    const char *Filter; // description|pattern pairs
};

constexpr TExportType kExportTypes[] = {
    {"BrambleTemp.txt", "txt", "Text File|*.txt|All Files|*"},
    {"BrambleTemp.htm", "html", "HTML File|*.html|All Files|*"},
    {"BrambleTemp.csv", "csv", "Comma-Seperated Text File|*.csv|All Files|*"},
    {"BrambleTemp.txt", "txt", "Tab-Seperated Text File|txt|All Files|*"},
    {nullptr, nullptr, nullptr},
    {"BrambleTemp.xls", "xls", "Excel Spreadsheet|xls|All Files|*"},
};

bool IsFileType(int type)
{
    return type >= ekText && type <= ekXLS && type != ekClipboard;
}

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
    const TFolderNode *node = SelectedNode();
    return FTree.Root().TagString + (node ? node->Text : QString());
}

void TfrmMain::ExportListing(int type, const QString &fileName, QIODevice *device)
{
    const bool headers = cbHeaders->isChecked();
    switch (type) {
    case ekText:
    case ekTSV:
        if (device)
            GridToDelimited(*device, QLatin1Char('\t'), headers, sgFiles);
        else
            GridToDelimited(fileName, QLatin1Char('\t'), headers, sgFiles);
        break;
    case ekCSV:
        if (device)
            GridToDelimited(*device, QLatin1Char(','), headers, sgFiles);
        else
            GridToDelimited(fileName, QLatin1Char(','), headers, sgFiles);
        break;
    case ekHTML:
        if (device)
            GridToHTML(*device, fileName, sgFiles, HtmlHeading(), headers);
        else
            GridToHTML(fileName, sgFiles, HtmlHeading(), headers);
        break;
    case ekXLS:
        if (device)
            GridToXLS(*device, headers, cbGridLines->isChecked(), sgFiles);
        else
            GridToXLS(fileName, headers, cbGridLines->isChecked(), sgFiles);
        break;
    default:
        break;
    }
}

void TfrmMain::btnPreviewClick()
{
    const int type = ExportTypeIndex();
    if (IsFileType(type)) {
        // A new file of our own in the private folder, written through its descriptor.
        const QString name = QString::fromLatin1(kExportTypes[type].PreviewFile);
        QString path;
        const int fd = CreatePrivateFile(name, path);
        QFile file;
        if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            throw EInOutError(5, path);
        }
        ExportListing(type, path, &file);
        file.close();
        TMisc::Open(path);
    } else if (type == ekClipboard) {
        memoPreview->clear();
        memoPreview->show();
        GridToClipboard(sgFiles);
        memoPreview->insertPlainText(Clipboard().Text());
    }
}

void TfrmMain::btnSaveClick()
{
    const int type = ExportTypeIndex();
    if (IsFileType(type)) {
        if (!FSaveDialog)
            FSaveDialog = std::make_unique<TQtSaveDialog>();
        FSaveDialog->SetDefaultExt(QString::fromLatin1(kExportTypes[type].DefaultExt));
        FSaveDialog->SetFilter(QString::fromLatin1(kExportTypes[type].Filter));
        FSaveDialog->SetFilterIndex(0);
        if (!FSaveDialog->Execute(this))
            return;
        ExportListing(type, FSaveDialog->FileName());
    } else if (type == ekClipboard) {
        GridToClipboard(sgFiles);
    }
}
