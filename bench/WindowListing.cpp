#include "app/MainForm.h"
#include "platform/LocaleServices.h"
#include "platform/ShellOpen.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

// `window-listing FOLDER OTHER` times what a user waits for in the window:
// from selecting FOLDER in the folder tree until its listing has been laid out
// and painted, offscreen. FOLDER and OTHER are subfolders of one folder, which
// becomes the home folder; the tree goes back and forth between them so every
// selection lists anew. Prints the median of five selections of FOLDER.

namespace {

class TNoOpener : public IShellOpener
{
public:
    bool Open(const QString &) override { return true; }
};

TFolderNode *Child(TfrmMain &window, const QString &name)
{
    for (const auto &child : window.FolderTree().Root().Children)
        if (child->Text == name)
            return child.get();
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: window-listing FOLDER OTHER\n");
        return 2;
    }
    const QFileInfo folder(QString::fromLocal8Bit(argv[1]));
    const QFileInfo other(QString::fromLocal8Bit(argv[2]));
    QTemporaryDir temp;
    QDir().mkpath(temp.filePath(QStringLiteral("config")));
    QDir().mkpath(temp.filePath(QStringLiteral("tmp")));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("HOME", QFile::encodeName(folder.absolutePath()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(temp.filePath(QStringLiteral("config"))));
    qputenv("TMPDIR", QFile::encodeName(temp.filePath(QStringLiteral("tmp"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(temp.path()));

    QApplication app(argc, argv);
    SetUserLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    TNoOpener opener;
    SetShellOpener(&opener);
    int status = 0;
    {
        TfrmMain window;
        window.ErrorDisplay = [&status](const QString &text) {
            std::fprintf(stderr, "error: %s\n", qPrintable(text));
            status = 1;
        };
        window.show();
        app.processEvents();
        TFolderNode *target = Child(window, folder.fileName());
        TFolderNode *away = Child(window, other.fileName());
        if (!target || !away) {
            std::fprintf(stderr, "not in the folder tree: %s or %s\n", argv[1], argv[2]);
            return 1;
        }
        std::vector<double> times;
        for (int i = 0; i < 5; ++i) {
            window.SelectNode(away);
            app.processEvents();
            QElapsedTimer timer;
            timer.start();
            window.SelectNode(target);
            window.repaint();
            app.processEvents();
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        std::sort(times.begin(), times.end());
        std::printf("window-listing-ms %.0f rows %d\n", times[times.size() / 2], window.sgFiles.RowCount());
    }
    SetShellOpener(nullptr);
    return status;
}
