// The settings file: options, export type and geometry across runs.
#include "app/MainForm.h"
#include "fileutils/IniFile.h"
#include "platform/SpecialFolders.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QSplitter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

const QString kSettings = QStringLiteral("Settings");
const QString kPosition = QStringLiteral("Position");
const QString kState = QStringLiteral("State");

// The folder of the settings file exists, or nothing is read or written.
bool PrepareSettingsPath(QString &path)
{
    path = SettingsFilePath(AppDataDir(), ExecutablePath());
    return ForceDirectories(QFileInfo(path).path());
}

// The controls whose place and size the settings keep, in creation order,
// each with its geometry in the window's client area.
struct TSavedControl
{
    QString Name;
    QRectF Geometry;
};

std::vector<TSavedControl> SavedControls(const TfrmMain &w)
{
    const auto inWindow = [&w](const QWidget *widget) {
        return QRectF(QRect(widget->mapTo(&w, QPoint(0, 0)), widget->size()));
    };
    return {{QStringLiteral("grpFolders"), inWindow(w.grpFolders)},
        {QStringLiteral("grpFiles"), inWindow(w.grpFiles)},
        {QStringLiteral("HorzSplitter"), inWindow(w.HorzSplitter->handle(1))}};
}

} // namespace

void TfrmMain::ReadSettings()
{
    QString path;
    if (!PrepareSettingsPath(path))
        return;
    const TIniFile ini(path);
    cbFiles->setChecked(ini.ReadBool(kSettings, QStringLiteral("ShowFiles"), true));
    cbFolders->setChecked(ini.ReadBool(kSettings, QStringLiteral("ShowFolders"), false));
    cbExt->setChecked(ini.ReadBool(kSettings, QStringLiteral("ShowExtensions"), false));
    cbHeaders->setChecked(ini.ReadBool(kSettings, QStringLiteral("ShowHeaders"), true));
    // No range check: an index without an entry selects nothing and is kept.
    const int exportType = ini.ReadInteger(kSettings, QStringLiteral("ExportType"), 1);
    cbExportType->setCurrentIndex(exportType);
    FExportType = exportType;
    cbGridLines->setChecked(ini.ReadBool(kSettings, QStringLiteral("ShowGrid"), true));

    const int state = ini.ReadInteger(kState, QStringLiteral("Window"), 0);
    const Qt::WindowState windowStateRead = state == 2 ? Qt::WindowMaximized
        : state == 1                                   ? Qt::WindowMinimized
                                                       : Qt::WindowNoState;

    const QSize screenSize = ScreenSize();
    // A size beyond the screen is no window anyone can use, and a huge one
    // costs gigabytes of backing store: the file is not trusted that far.
    const QSize available = AvailableScreenSize();
    resize(std::min(ini.ReadInteger(kPosition, QStringLiteral("Width"), 735), available.width()), height());
    resize(width(), std::min(ini.ReadInteger(kPosition, QStringLiteral("Height"), 735), available.height()));
    const int left = ini.ReadInteger(kPosition, QStringLiteral("Left"), (screenSize.width() - width()) / 2);
    const int top = ini.ReadInteger(kPosition, QStringLiteral("Top"), (screenSize.height() - height()) / 2);
    move(left, top);
    // The toolkit drops a maximized state on a later resize, so the state goes
    // last: the size and place above become the normal geometry.
    setWindowState(windowStateRead);

    // "Top" holds the horizontal place and "Left" the vertical one. Docked
    // controls take their place from the layout; their sizes drive the
    // splitters. The window is not laid out yet, so a size that is missing or
    // does not read as a number leaves the control as the layout makes it.
    constexpr float kUnread = std::numeric_limits<float>::quiet_NaN();
    for (const TSavedControl &control : SavedControls(*this)) {
        const float w = ini.ReadSingle(control.Name, QStringLiteral("Width"), kUnread);
        const float h = ini.ReadSingle(control.Name, QStringLiteral("Height"), kUnread);
        if (control.Name == QLatin1String("grpFolders") && !std::isnan(w))
            FSavedFoldersWidth = w;
        if (control.Name == QLatin1String("grpFiles") && !std::isnan(h))
            FSavedFilesHeight = h;
    }
    ApplySavedSplitterSizes();
}

void TfrmMain::ApplySavedSplitterSizes()
{
    if (FSavedFoldersWidth > 0) {
        const QList<int> sizes = VertSplitter->sizes();
        const int total = sizes.value(0) + sizes.value(1);
        const int first = int(std::min(FSavedFoldersWidth, float(total)) + 0.5f);
        VertSplitter->setSizes({first, std::max(total - first, 1)});
    }
    if (FSavedFilesHeight > 0) {
        const QList<int> sizes = HorzSplitter->sizes();
        const int total = sizes.value(0) + sizes.value(1);
        const int second = int(std::min(FSavedFilesHeight, float(total)) + 0.5f);
        HorzSplitter->setSizes({std::max(total - second, 1), second});
    }
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!FShownOnce) {
        FShownOnce = true;
        ApplySavedSplitterSizes();
    }
}

void TfrmMain::SaveSettings()
{
    QString path;
    if (!PrepareSettingsPath(path))
        return;
    TIniFile ini(path);
    ini.WriteBool(kSettings, QStringLiteral("ShowFiles"), cbFiles->isChecked());
    ini.WriteBool(kSettings, QStringLiteral("ShowFolders"), cbFolders->isChecked());
    ini.WriteBool(kSettings, QStringLiteral("ShowExtensions"), cbExt->isChecked());
    ini.WriteBool(kSettings, QStringLiteral("ShowHeaders"), cbHeaders->isChecked());
    ini.WriteInteger(kSettings, QStringLiteral("ExportType"), FExportType);
    ini.WriteBool(kSettings, QStringLiteral("ShowGrid"), cbGridLines->isChecked());

    ini.WriteInteger(kPosition, QStringLiteral("Left"), x());
    ini.WriteInteger(kPosition, QStringLiteral("Top"), y());
    ini.WriteInteger(kPosition, QStringLiteral("Width"), width());
    ini.WriteInteger(kPosition, QStringLiteral("Height"), height());
    ini.WriteInteger(kState, QStringLiteral("Window"), windowState().testFlag(Qt::WindowMaximized) ? 2 : 0);

    for (const TSavedControl &control : SavedControls(*this)) {
        const QRectF &g = control.Geometry;
        ini.WriteSingle(control.Name, QStringLiteral("Top"), float(g.x()));
        ini.WriteSingle(control.Name, QStringLiteral("Left"), float(g.y()));
        ini.WriteSingle(control.Name, QStringLiteral("Width"), float(g.width()));
        ini.WriteSingle(control.Name, QStringLiteral("Height"), float(g.height()));
    }
    ini.UpdateFile();
}
