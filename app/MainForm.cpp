#include "app/MainForm.h"

#include "app/DriveComboBox.h"
#include "app/FolderTreeModel.h"
#include "app/GridModel.h"
#include "fileutils/FileUtils.h"
#include "listing/DisplayTable.h"
#include "listing/FolderScan.h"
#include "listing/GridColumns.h"
#include "listing/StringGridSort.h"
#include "platform/Errors.h"
#include "platform/LocaleServices.h"
#include "platform/PortalOpen.h"
#include "platform/ShellOpen.h"
#include "platform/SpecialFolders.h"
#include "zip/ZipFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTreeView>

namespace {

const QString kHomeDirectory = QStringLiteral("Home Directory");
const QString kHomePage = QStringLiteral("https://www.orley-software.example/cartola");
const QString kEmailAddress = QStringLiteral("cartola@orley-software.example");

// A scan can take a moment on a big folder: say so with the cursor.
class TWaitCursor
{
public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor &) = delete;
    TWaitCursor &operator=(const TWaitCursor &) = delete;
};

} // namespace

std::function<QSize()> TfrmMain::ScreenSize = [] {
    const QScreen *s = QGuiApplication::primaryScreen();
    return s ? s->geometry().size() : QSize(1920, 1080);
};

std::function<QSize()> TfrmMain::AvailableScreenSize = [] {
    const QScreen *s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry().size() : QSize(1920, 1080);
};

std::function<void(const QString &)> TfrmMain::PictureChecked;

void TMisc::Open(const QString &sCommand)
{
    ShellOpen(sCommand);
}

TfrmMain::TfrmMain(QWidget *parent)
    : QWidget(parent)
    , stgZippedFiles(ZippedFilesColumns())
{
    ErrorDisplay = [this](const QString &text) {
        QMessageBox::critical(this, QStringLiteral("Cartola"), text, QMessageBox::Ok);
    };
    AssociationErrorBox = [](const QString &text) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok);
        box.exec();
    };
    BuildLayout();
    ApplyStyle();
    BindEvents();
    FormCreate();
    // While the desktop portal is asked to open a file the window keeps
    // painting, but takes no input that could start anything else.
    SetPortalWaitObserver([this](bool waiting) {
        setEnabled(!waiting);
    });
}

TfrmMain::~TfrmMain()
{
    SetPortalWaitObserver(nullptr);
    if (!FDestroyed) {
        try {
            FormDestroy();
        } catch (const std::exception &e) {
            ShowException(e);
        }
    }
    // The models let go of the tables and the tree before those go.
    delete FFilesModel;
    delete FZippedModel;
    delete FTreeModel;
}

void TfrmMain::ShowException(const std::exception &e)
{
    const auto *error = dynamic_cast<const EError *>(&e);
    const QString message = error ? error->Message() : QString::fromLocal8Bit(e.what());
    if (ErrorDisplay)
        ErrorDisplay(ErrorDisplayText(message));
}

std::function<void()> TfrmMain::Guarded(void (TfrmMain::*handler)())
{
    return [this, handler] {
        try {
            (this->*handler)();
        } catch (const std::exception &e) {
            ShowException(e);
        }
    };
}

void TfrmMain::BindEvents()
{
    const auto guard = [this](void (TfrmMain::*handler)()) {
        return Guarded(handler);
    };
    // The selected item, not the current one: the view makes an item current
    // when the focus enters it or Ctrl moves the focus mark, and neither
    // selects anything.
    connect(tvFolderTree->selectionModel(),
        &QItemSelectionModel::selectionChanged,
        this,
        [this, scan = guard(&TfrmMain::tvFolderTreeChange)](const QItemSelection &selected) {
            if (!selected.isEmpty())
                scan();
        });
    connect(tvFolderTree, &QTreeView::clicked, this, guard(&TfrmMain::tvFolderTreeClick));
    connect(tvFolderTree, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        if (TFolderNode *node = FTreeModel->Node(index))
            ListAhead(*node);
    });
    connect(cbDrives, &TDriveComboBox::PopupAboutToShow, this, guard(&TfrmMain::cbDrivesClick));
    connect(cbDrives, &QComboBox::activated, this, guard(&TfrmMain::cbDrivesChange));
    connect(cbFiles, &QCheckBox::toggled, this, guard(&TfrmMain::tvFolderTreeChange));
    connect(cbFolders, &QCheckBox::toggled, this, guard(&TfrmMain::tvFolderTreeChange));
    connect(edMask, &QLineEdit::editingFinished, this, guard(&TfrmMain::tvFolderTreeChange));
    connect(cbExt, &QCheckBox::toggled, this, guard(&TfrmMain::cbExtChange));
    connect(cbHeaders, &QCheckBox::toggled, this, guard(&TfrmMain::cbHeadersChange));
    connect(cbGridLines, &QCheckBox::toggled, this, guard(&TfrmMain::cbGridLinesChange));
    connect(cbSort, &QComboBox::activated, this, [this, sort = guard(&TfrmMain::cbSortChange)] {
        FSortDescending = false; // the box sorts ascending, as it always has
        sort();
    });
    // The header sorts, so it no longer just sits there; the view itself never sorts.
    QHeaderView *header = sgFilesView->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) {
        try {
            sgFilesHeaderClick(column);
        } catch (const std::exception &e) {
            ShowException(e);
        }
    });
    cbSort->installEventFilter(this);
    connect(sgFilesView, &QTableView::doubleClicked, this, guard(&TfrmMain::sgFilesDblClick));
    sgFilesView->installEventFilter(this);
    stgZippedFilesView->installEventFilter(this);
    connect(stgZippedFilesView, &QTableView::doubleClicked, this, guard(&TfrmMain::stgZippedFilesDblClick));
    connect(cbExportType, &QComboBox::currentIndexChanged, this, [this](int index) {
        FExportType = index;
    });
    connect(btnPreview, &QPushButton::clicked, this, guard(&TfrmMain::btnPreviewClick));
    connect(btnSave, &QPushButton::clicked, this, guard(&TfrmMain::btnSaveClick));
    connect(btnHome, &QPushButton::clicked, this, guard(&TfrmMain::btnHomeClick));
    connect(btnEmail, &QPushButton::clicked, this, guard(&TfrmMain::btnEmailClick));

    // A change of the listing's row runs the preview; errors of table
    // operations inside a handler travel with that handler.
    sgFiles.OnSelChanged = [this] {
        sgFilesSelChanged();
    };
    const auto onError = [this](const std::exception &e) {
        ShowException(e);
    };
    FFilesModel->OnError = onError;
    FZippedModel->OnError = onError;
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == cbSort && event->type() == QEvent::FocusIn) {
        // Focus coming back from the box's own list, or with the window, never
        // left the box: rebuilding the list then would throw away the user's pick.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            Guarded (&TfrmMain::cbSortEnter)();
    } else if ((watched == sgFilesView || watched == stgZippedFilesView)
        && event->type() == QEvent::KeyPress) {
        auto *keyEvent = static_cast<QKeyEvent *>(event);
        int key =
            (keyEvent->key() == Qt::Key_Return || keyEvent->key() == Qt::Key_Enter) ? 13 : keyEvent->key();
        try {
            stgZippedFilesKeyDown(key);
        } catch (const std::exception &e) {
            ShowException(e);
            return true;
        }
        if (key == 0)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmMain::FormCreate()
{
    setWindowTitle(QStringLiteral("Cartola - Orley Software"));
    ReadSettings();
    setMinimumSize(630, 500);
    FBaseTempDir = GetBaseTempDir();
    FZipFile = std::make_unique<TZipFile>();
    pnlZip->hide();
    memoPreview->hide();
    // The listing hides the path column of sgFiles; sgFileList and sgDir are never shown: they have no view at all.
    DrivesPopulate();
    cbDrivesChange();
    cbGridLinesChange();
    cbHeadersChange();
    cbSortEnter();
}

void TfrmMain::FormDestroy()
{
    FDestroyed = true;
    // Only what this run made goes: a folder that merely has the name is never
    // ours. It goes also when the settings cannot be written.
    const auto removeTempFolders = [this] {
        FRunTempFolder.Remove();
        ReleaseUserTempDir();
    };
    try {
        SaveSettings();
    } catch (...) {
        removeTempFolders();
        throw;
    }
    FZipFile.reset();
    removeTempFolders();
}

void TfrmMain::MakeBaseTempDir()
{
    if (FRunTempFolder.IsMade())
        return;
    // The private folder is settled only now; the folder keeps its planned name.
    const QString name = FBaseTempDir.mid(FBaseTempDir.lastIndexOf(QLatin1Char('/')) + 1);
    FRunTempFolder.Make(UserTempDir() + name, NextBaseTempDir);
    FBaseTempDir = FRunTempFolder.Path();
}

void TfrmMain::cbGridLinesChange()
{
    sgFiles.SetShowVertLines(cbGridLines->isChecked());
    sgFiles.SetShowHorzLines(cbGridLines->isChecked());
}

void TfrmMain::cbHeadersChange()
{
    sgFiles.SetShowHeader(cbHeaders->isChecked());
    tvFolderTreeChange();
}

void TfrmMain::btnHomeClick()
{
    TMisc::Open(kHomePage);
}

void TfrmMain::btnEmailClick()
{
    TMisc::Open(QStringLiteral("mailto:") + kEmailAddress + QStringLiteral("?Subject=Cartola"));
}

void TfrmMain::DrivesPopulate()
{
    cbDrives->clear();
    cbDrives->addItem(kHomeDirectory);
    cbDrives->addItems(LogicalDrives());
    cbDrives->setCurrentIndex(0);
}

void TfrmMain::cbDrivesClick()
{
    DrivesPopulate();
}

void TfrmMain::cbDrivesChange()
{
    {
        // Clearing the tree selects nothing and must not start a scan.
        const QSignalBlocker block(tvFolderTree->selectionModel());
        FTree.Clear();
        tvFolderTree->selectionModel()->clear();
    }
    TFolderNode &root = FTree.Root();
    root.Tag = 0;
    root.TagString.clear();
    const QString entry = cbDrives->currentText();
    if (entry == kHomeDirectory)
        root.TagString = GetUserProfileDir();
    else
        root.TagString = entry; // a mount path is its own root
    PopulateFolder(root, 2);
    ClearGrid(sgFiles);
}

void TfrmMain::tvFolderTreeClick() { }

void TfrmMain::PopulateFolder(TFolderNode &node, int depth)
{
    FTree.PopulateFolder(node, depth, TTextComparer());
}

void TfrmMain::ListAhead(TFolderNode &node)
{
    // An opened folder shows its subfolders; listing each of them one level
    // ahead gives every one that has subfolders its expander.
    const TTextComparer comparer;
    for (const auto &child : node.Children)
        FTree.PopulateFolder(*child, 1, comparer);
}

TFolderNode *TfrmMain::SelectedNode() const
{
    return FTreeModel->Node(tvFolderTree->selectionModel()->selectedIndexes().value(0));
}

void TfrmMain::SelectNode(TFolderNode *node)
{
    const QModelIndex index = FTreeModel->IndexOf(node);
    tvFolderTree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

void TfrmMain::tvFolderTreeChange()
{
    QString mask = edMask->text();
    if (CorrectMask(mask))
        edMask->setText(mask);
    TFolderNode *node = SelectedNode();
    if (!node)
        return;
    const TWaitCursor wait;
    PopulateFolder(*node, 2);
    TScanOptions options;
    options.ShowFiles = cbFiles->isChecked();
    options.ShowFolders = cbFolders->isChecked();
    options.ShowExtensions = cbExt->isChecked();
    options.Mask = edMask->text();
    options.DecimalSeparator = DecimalSeparator();
    // The window stays blocked, but a long scan shows how far it has come:
    // the label is repainted on the spot, no input is taken.
    const QString counts = lblCountDir->text();
    options.OnProgress = [this](int done, int total) {
        lblCountDir->setText(ScanProgressText(done, total));
        lblCountDir->repaint();
    };
    options.Clock = ScanClock;
    try {
        FListing.Scan(node->TagString, options);
    } catch (...) {
        lblCountDir->setText(counts);
        throw;
    }
    // The counts belong to the new listing even when its first row's preview fails.
    lblCountDir->setText(FListing.CountText());
    if (FListing.HasRows()) {
        cbSortChange();
        sgFilesSelChanged();
    }
}

void TfrmMain::cbExtChange()
{
    tvFolderTreeChange();
}

void TfrmMain::cbSortEnter()
{
    if (sgFiles.ColumnCount() == 0)
        return;
    cbSort->clear();
    cbSort->addItems(SortChoices(sgFiles));
    cbSort->setCurrentIndex(0);
    FSortDescending = false;
}

void TfrmMain::cbSortChange()
{
    FListing.Sort(cbSort->currentIndex(), FSortDescending);
    ShowSortIndicator();
}

void TfrmMain::sgFilesHeaderClick(int column)
{
    if (column < 0 || column >= sgFiles.ColumnCount())
        return;
    const int choice = FListing.SortChoice(sgFiles.Columns(column).Header);
    if (choice < 0)
        return;
    FSortDescending = choice == cbSort->currentIndex() && !FSortDescending;
    cbSort->setCurrentIndex(choice);
    cbSortChange();
}

void TfrmMain::ShowSortIndicator()
{
    // The column the listing is sorted by; none when the choice names no column.
    int column = -1;
    const QString chosen = cbSort->currentText();
    for (int c = 0; c < sgFiles.ColumnCount(); ++c)
        if (sgFiles.Columns(c).Visible && sgFiles.Columns(c).Header == chosen)
            column = c;
    sgFilesView->horizontalHeader()->setSortIndicator(
        column, FSortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TfrmMain::StringGridSort(TGridTable &StrGrid, int SortColumn)
{
    ::StringGridSort(StrGrid, SortColumn, TTextComparer());
}

void TfrmMain::ClearGrid(TGridTable &StrGrid)
{
    ::ClearGrid(StrGrid);
}

void TfrmMain::SetSaveDialog(std::unique_ptr<ISaveDialog> dialog)
{
    FSaveDialog = std::move(dialog);
}

void TfrmMain::ApplyStyle()
{
    QFile qss(QStringLiteral(":/cartola/style.qss"));
    if (qss.open(QIODevice::ReadOnly))
        setStyleSheet(QString::fromUtf8(qss.readAll()));
}
