// Shows the window over a prepared home folder, picks a folder and a row, and
// writes the window as the user sees it to a PNG. Run under a real display
// server (Xvfb), so fonts and style are those of a desktop.
//
//   cartola_screenshot HOME OUTPUT.png FOLDER ROW [WIDTH HEIGHT]
#include "app/Application.h"
#include "app/MainForm.h"
#include "listing/GridColumns.h"
#include "zip/CompressionHandlers.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeView>

#include <cstdio>

namespace {

int Fail(const char *message)
{
    std::fprintf(stderr, "cartola_screenshot: %s\n", message);
    return 1;
}

TFolderNode *Child(TFolderNode &node, const QString &name)
{
    for (const auto &child : node.Children)
        if (child->Text == name)
            return child.get();
    return nullptr;
}

void Settle()
{
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 5 && argc != 7)
        return Fail("usage: cartola_screenshot HOME OUTPUT.png FOLDER ROW [WIDTH HEIGHT]");
    const QString home = QDir(QFile::decodeName(argv[1])).absolutePath();
    const QString output = QFile::decodeName(argv[2]);
    // Settings and temporary files stay out of the prepared folder and the user's own.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return Fail("no temporary folder");
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.path()));
    qputenv("TMPDIR", QFile::encodeName(scratch.path()));

    RegisterStandardCompressionHandlers();
    TApplication app(argc, argv);
    TfrmMain window;
    window.resize(argc == 7 ? QString::fromLatin1(argv[5]).toInt() : 900,
        argc == 7 ? QString::fromLatin1(argv[6]).toInt() : 640);
    window.show();
    Settle();

    TFolderNode *node = &window.FolderTree().Root();
    for (const QString &name : QString::fromLocal8Bit(argv[3]).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        node = Child(*node, name);
        if (!node)
            return Fail("folder not in the tree");
    }
    window.cbExt->setChecked(true); // names as the user knows them
    window.SelectNode(node);
    window.tvFolderTree->expand(window.tvFolderTree->currentIndex());
    Settle();

    const QString row = QString::fromLocal8Bit(argv[4]);
    bool picked = false;
    for (int r = 0; r < window.sgFiles.RowCount() && !picked; ++r)
        if (window.sgFiles.Cells(fcName, r) == row) {
            window.sgFilesView->setCurrentIndex(window.sgFilesView->model()->index(r, fcName));
            picked = true;
        }
    if (!picked)
        return Fail("row not in the listing");
    window.sgFilesView->setFocus();
    Settle();

    if (!window.grab().save(output))
        return Fail("cannot write the picture");
    std::printf("%s\n", QFile::encodeName(output).constData());
    return 0;
}
