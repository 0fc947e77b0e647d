// The main window TfrmMain: its controls, tables and event handlers.
#pragma once

#include "listing/FolderTree.h"
#include "listing/GridTable.h"
#include "listing/Listing.h"
#include "listing/ScanProgress.h"
#include "platform/PrivateTemp.h"

#include <QString>
#include <QWidget>

#include <exception>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QIODevice;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTableView;
class QTreeView;
class TDriveComboBox;
class TFolderTreeModel;
class TGridModel;
class TImageViewer;
class TZipFile;
struct TExportFormat;

// Opens a document, folder, web address or mailto: link; the outcome is not looked at.
class TMisc
{
public:
    TMisc() = delete;
    static void Open(const QString &sCommand);
};

// The save dialog, replaceable in tests.
class ISaveDialog
{
public:
    virtual ~ISaveDialog() = default;
    virtual void SetDefaultExt(const QString &ext) = 0;
    virtual void SetFilter(const QString &filter) = 0;
    virtual void SetFilterIndex(int index) = 0;
    virtual bool Execute(QWidget *owner) = 0;
    virtual QString FileName() const = 0;
};

// The main window. Event handlers are public so tests can call them exactly
// as the toolkit does.
class TfrmMain : public QWidget
{
    Q_OBJECT

public:
    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    // Start-up and shutdown.
    void FormCreate();
    void FormDestroy();
    void ReadSettings();
    void SaveSettings();

    // Grid lines, headers and the two link buttons.
    void cbGridLinesChange();
    void cbHeadersChange();
    void btnHomeClick();
    void btnEmailClick();

    // Drives and folder tree.
    void DrivesPopulate();
    void cbDrivesClick();
    void cbDrivesChange();
    void tvFolderTreeClick();
    void PopulateFolder(TFolderNode &node, int depth);
    void ListAhead(TFolderNode &node); // when the user opens a folder in the tree

    // Folder scan, sorting and the display table.
    void tvFolderTreeChange();
    void cbExtChange();
    void cbSortEnter();
    void cbSortChange();
    // A click on the listing's column header: sorts by it, a second click reverses.
    void sgFilesHeaderClick(int column);
    void StringGridSort(TGridTable &StrGrid, int SortColumn);
    void ClearGrid(TGridTable &StrGrid);

    // Preview of the selected row and opening archive entries.
    void sgFilesSelChanged();
    void sgFilesDblClick();
    void stgZippedFilesKeyDown(int &Key);
    void stgZippedFilesDblClick();
    QString GetSelectedPath() const;

    // Export commands.
    void btnPreviewClick();
    void btnSaveClick();

    // The standard error display: the message, "." appended by the rule, OK.
    void ShowException(const std::exception &e);
    // Wraps a handler so its errors reach the error display and go no further.
    std::function<void()> Guarded(void (TfrmMain::*handler)());

    // Seams for tests.
    std::function<void(const QString &)> ErrorDisplay; // the standard error display
    std::function<void(const QString &)> AssociationErrorBox; // "Could not open ..."
    static std::function<QSize()> ScreenSize; // read at start-up; tests set it first
    static std::function<QSize()> AvailableScreenSize; // the screen without panels
    static std::function<void(const QString &)> PictureChecked; // between a picture's check and its open
    TScanClock ScanClock; // the scan's clock for its progress; tests let time run faster
    void SetSaveDialog(std::unique_ptr<ISaveDialog> dialog);

    TFolderNode *SelectedNode() const;
    void SelectNode(TFolderNode *node);
    TFolderTree &FolderTree() { return FTree; }

    // Data and controls, named as the window knows them.
    QString FBaseTempDir;
    std::unique_ptr<TZipFile> FZipFile;

    TListing FListing;
    TGridTable &sgFiles = FListing.sgFiles;
    TGridTable &sgDir = FListing.sgDir;
    TGridTable &sgFileList = FListing.sgFileList;
    TGridTable stgZippedFiles;

    QWidget *Panel1 = nullptr;
    QGroupBox *GroupBox4 = nullptr;
    TDriveComboBox *cbDrives = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QComboBox *cbExportType = nullptr;
    QPushButton *btnPreview = nullptr;
    QPushButton *btnSave = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QCheckBox *cbFiles = nullptr;
    QCheckBox *cbFolders = nullptr;
    QCheckBox *cbExt = nullptr;
    QCheckBox *cbHeaders = nullptr;
    QCheckBox *cbGridLines = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *edMask = nullptr;
    QLabel *Label3 = nullptr;
    QComboBox *cbSort = nullptr;
    QGroupBox *grpFolders = nullptr;
    QTreeView *tvFolderTree = nullptr;
    QSplitter *VertSplitter = nullptr;
    QGroupBox *grpPreview = nullptr;
    QWidget *pnlZip = nullptr;
    QTableView *stgZippedFilesView = nullptr;
    QLabel *lblZipFileC = nullptr;
    QPlainTextEdit *memoPreview = nullptr;
    TImageViewer *Image1 = nullptr;
    QSplitter *HorzSplitter = nullptr;
    QGroupBox *grpFiles = nullptr;
    QTableView *sgFilesView = nullptr;
    QLabel *lblCountDir = nullptr;
    QPushButton *btnEmail = nullptr;
    QPushButton *btnHome = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildLayout();
    void BindEvents();
    void ApplyStyle();
    void ApplySavedSplitterSizes();
    // To the file, or into device when one is given (fileName then only names it).
    void ExportListing(const TExportFormat &format, const QString &fileName, QIODevice *device = nullptr);
    // FBaseTempDir, made now if this run has not made it yet.
    void MakeBaseTempDir();
    QString HtmlHeading() const;
    void ShowSortIndicator();
    // The association error box for a file no application took.
    void ReportNotOpened(const QString &path);
    void showEvent(QShowEvent *event) override;

    TFolderTree FTree;
    TFolderTreeModel *FTreeModel = nullptr;
    TGridModel *FFilesModel = nullptr;
    TGridModel *FZippedModel = nullptr;
    std::unique_ptr<ISaveDialog> FSaveDialog;
    bool FDestroyed = false;
    TOwnedFolder FRunTempFolder; // FBaseTempDir once made
    int FExportType = 1; // the item index, kept even when no entry has it
    float FSavedFoldersWidth = 0; // sizes read from the settings, applied once shown
    float FSavedFilesHeight = 0;
    bool FShownOnce = false;
    bool FSortDescending = false; // set by a second click on the sorted column's header

public:
    int ExportTypeIndex() const { return FExportType; }
};
