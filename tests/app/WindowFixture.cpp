#include "WindowFixture.h"

#include "listing/GridColumns.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QTableView>
#include <QTreeView>

void WindowFixture::SetUp()
{
    ASSERT_TRUE(FTemp.isValid());
    FHome = FTemp.path() + QStringLiteral("/home");
    QDir().mkpath(FHome);
    QDir().mkpath(FTemp.path() + QStringLiteral("/config"));
    QDir().mkpath(FTemp.path() + QStringLiteral("/tmp"));
    qputenv("HOME", QFile::encodeName(FHome));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(FTemp.path() + QStringLiteral("/config")));
    qputenv("TMPDIR", QFile::encodeName(FTemp.path() + QStringLiteral("/tmp")));
    SetShellOpener(&FOpener);
}

void WindowFixture::TearDown()
{
    DestroyWindow();
    SetShellOpener(nullptr);
}

TfrmMain &WindowFixture::Window()
{
    if (!FWindow) {
        FWindow = std::make_unique<TfrmMain>();
        FWindow->ErrorDisplay = [this](const QString &text) {
            FErrors << text;
        };
        FWindow->AssociationErrorBox = [this](const QString &text) {
            FAssociationErrors << text;
        };
        // Every change a test makes to the listing, the archive table or the
        // tree is checked against the rules of Qt's item models; a breach aborts.
        for (QAbstractItemModel *model : {FWindow->sgFilesView->model(),
                 FWindow->stgZippedFilesView->model(),
                 FWindow->tvFolderTree->model()})
            new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::Fatal, model);
    }
    return *FWindow;
}

void WindowFixture::DestroyWindow()
{
    FWindow.reset();
}

QString WindowFixture::MakeDir(const QString &relative) const
{
    const QString path = FHome + QLatin1Char('/') + relative;
    QDir().mkpath(path);
    return path;
}

void WindowFixture::MakeFile(const QString &relative, const QByteArray &content) const
{
    QFile f(FHome + QLatin1Char('/') + relative);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << relative.toStdString();
    f.write(content);
}

TFolderNode *WindowFixture::Select(const QStringList &names)
{
    TFolderNode *node = &Window().FolderTree().Root();
    for (const QString &name : names) {
        TFolderNode *next = nullptr;
        for (const auto &child : node->Children)
            if (child->Text == name)
                next = child.get();
        if (!next)
            return nullptr;
        node = next;
    }
    Window().SelectNode(node);
    return node;
}

QStringList WindowFixture::Column(const TGridTable &grid, int col) const
{
    QStringList out;
    for (int r = 0; r < grid.RowCount(); ++r)
        out << grid.Cells(col, r);
    return out;
}

void WindowFixture::PickRow(const QStringList &folder, const QString &name)
{
    TfrmMain &w = Window();
    if (!w.cbExt->isChecked())
        w.cbExt->setChecked(true);
    if (!w.SelectedNode())
        Select(folder);
    for (int r = 0; r < w.sgFiles.RowCount(); ++r)
        if (w.sgFiles.Cells(fcName, r) == name) {
            // A click on the row already selected changes nothing: preview it as the scan did.
            if (w.sgFiles.Selected() == r)
                w.Guarded (&TfrmMain::sgFilesSelChanged)();
            else
                w.sgFilesView->setCurrentIndex(w.sgFilesView->model()->index(r, fcName));
            return;
        }
    ADD_FAILURE() << "not listed: " << name.toStdString();
}
