// The window's controls, their texts, initial states and docking.
#include "app/DriveComboBox.h"
#include "app/FolderTreeModel.h"
#include "app/GridModel.h"
#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "export/ExportFormat.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QGroupBox *GroupBox(const char *name, const char *caption, QWidget *parent)
{
    auto *box = new QGroupBox(QString::fromLatin1(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

template <class W> W *Named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QTableView *GridView(const char *name, QWidget *parent)
{
    auto *view = Named(new QTableView(parent), name);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Arrow keys move between cells; Tab leaves the grid for the next control.
    view->setTabKeyNavigation(false);
    return view;
}

void DescribeForAssistiveTechnology(TfrmMain &w)
{
    // Screen readers announce these; the captions carry "&" for their accelerators.
    const auto name = [](QWidget *widget, const QString &text) {
        widget->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    };
    name(w.cbDrives, w.GroupBox4->title());
    name(w.cbExportType, QStringLiteral("Export type"));
    for (QAbstractButton *button : std::initializer_list<QAbstractButton *>{w.btnPreview,
             w.btnSave,
             w.cbFiles,
             w.cbFolders,
             w.cbExt,
             w.cbHeaders,
             w.cbGridLines,
             w.btnEmail,
             w.btnHome})
        name(button, button->text());
    name(w.edMask, w.Label1->text().trimmed());
    name(w.cbSort, w.Label3->text());
    name(w.tvFolderTree, w.grpFolders->title());
    name(w.memoPreview, w.grpPreview->title());
    name(w.Image1, w.grpPreview->title());
    name(w.stgZippedFilesView, QStringLiteral("Archive entries"));
    name(w.sgFilesView, w.grpFiles->title());
    w.btnEmail->setAccessibleDescription(QStringLiteral("Write an e-mail to the maker"));
    w.btnHome->setAccessibleDescription(QStringLiteral("Open the maker's web page"));

    // Top to bottom, left to right, as the window reads.
    const QList<QWidget *> order{w.cbDrives,
        w.cbExportType,
        w.btnPreview,
        w.btnSave,
        w.cbFiles,
        w.cbFolders,
        w.cbExt,
        w.cbHeaders,
        w.cbGridLines,
        w.edMask,
        w.cbSort,
        w.tvFolderTree,
        w.stgZippedFilesView,
        w.memoPreview,
        w.sgFilesView,
        w.btnEmail,
        w.btnHome};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace

void TfrmMain::BuildLayout()
{
    setObjectName(QStringLiteral("frmMain"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->setSpacing(0);

    // The four option groups along the top.
    Panel1 = Named(new QWidget(this), "Panel1");
    auto *top = new QHBoxLayout(Panel1);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(3);

    GroupBox4 = GroupBox("GroupBox4", "&Drives:", Panel1);
    auto *drives = new QVBoxLayout(GroupBox4);
    cbDrives = Named(new TDriveComboBox(GroupBox4), "cbDrives");
    cbDrives->setMinimumWidth(114);
    drives->addWidget(cbDrives);
    drives->addStretch();

    GroupBox1 = GroupBox("GroupBox1", "File Op&tions", Panel1);
    auto *fileOptions = new QGridLayout(GroupBox1);
    cbExportType = Named(new QComboBox(GroupBox1), "cbExportType");
    for (const TExportFormat &format : ExportFormats())
        cbExportType->addItem(QString::fromLatin1(format.Caption));
    cbExportType->setCurrentIndex(1);
    btnPreview = Named(new QPushButton(QStringLiteral("&Preview"), GroupBox1), "btnPreview");
    btnSave = Named(new QPushButton(QStringLiteral("&Save"), GroupBox1), "btnSave");
    fileOptions->addWidget(cbExportType, 0, 0, 1, 2);
    fileOptions->addWidget(btnPreview, 1, 0);
    fileOptions->addWidget(btnSave, 1, 1);

    GroupBox2 = GroupBox("GroupBox2", "Show:", Panel1);
    auto *show = new QGridLayout(GroupBox2);
    cbFiles = Named(new QCheckBox(QStringLiteral("F&iles"), GroupBox2), "cbFiles");
    cbFolders = Named(new QCheckBox(QStringLiteral("F&olders"), GroupBox2), "cbFolders");
    cbExt = Named(new QCheckBox(QStringLiteral("E&xtensions"), GroupBox2), "cbExt");
    cbHeaders = Named(new QCheckBox(QStringLiteral("He&aders"), GroupBox2), "cbHeaders");
    cbGridLines = Named(new QCheckBox(QStringLiteral("&GridLines"), GroupBox2), "cbGridLines");
    cbFiles->setChecked(true);
    cbHeaders->setChecked(true);
    cbGridLines->setChecked(true);
    show->addWidget(cbFiles, 0, 0);
    show->addWidget(cbFolders, 1, 0);
    show->addWidget(cbExt, 0, 1);
    show->addWidget(cbHeaders, 1, 1);
    show->addWidget(cbGridLines, 2, 1);

    GroupBox3 = GroupBox("GroupBox3", "Options:", Panel1);
    auto *options = new QGridLayout(GroupBox3);
    Label1 = Named(new QLabel(QStringLiteral("&Mask:  "), GroupBox3), "Label1");
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label1->setContentsMargins(0, 0, 3, 0);
    edMask = Named(new QLineEdit(QStringLiteral("*.*"), GroupBox3), "edMask");
    Label3 = Named(new QLabel(QStringLiteral("So&rt:"), GroupBox3), "Label3");
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label3->setContentsMargins(0, 0, 3, 0);
    cbSort = Named(new QComboBox(GroupBox3), "cbSort");
    Label1->setBuddy(edMask);
    Label3->setBuddy(cbSort);
    options->addWidget(Label1, 0, 0);
    options->addWidget(edMask, 0, 1);
    options->addWidget(Label3, 1, 0);
    options->addWidget(cbSort, 1, 1);

    // Scaled in proportion to their widths in the form.
    top->addWidget(GroupBox4, 129);
    top->addWidget(GroupBox1, 156);
    top->addWidget(GroupBox2, 165);
    top->addWidget(GroupBox3, 160);
    outer->addWidget(Panel1);

    // Folders | preview above, the listing below, each pair under a splitter.
    HorzSplitter = Named(new QSplitter(Qt::Vertical, this), "HorzSplitter");
    HorzSplitter->setHandleWidth(5);
    HorzSplitter->setChildrenCollapsible(false);
    VertSplitter = Named(new QSplitter(Qt::Horizontal, HorzSplitter), "VertSplitter");
    VertSplitter->setHandleWidth(5);
    VertSplitter->setChildrenCollapsible(false);

    grpFolders = GroupBox("grpFolders", "&Folders", VertSplitter);
    grpFolders->setMinimumWidth(20);
    auto *folders = new QVBoxLayout(grpFolders);
    folders->setContentsMargins(10, 10, 10, 10);
    tvFolderTree = Named(new QTreeView(grpFolders), "tvFolderTree");
    tvFolderTree->setHeaderHidden(true);
    tvFolderTree->setUniformRowHeights(true);
    tvFolderTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    folders->addWidget(tvFolderTree);

    grpPreview = GroupBox("grpPreview", "Pre&view", VertSplitter);
    auto *preview = new QGridLayout(grpPreview);
    preview->setContentsMargins(10, 10, 10, 10);
    // The three previews share one place; the one raised last covers the others.
    pnlZip = Named(new QWidget(grpPreview), "pnlZip");
    auto *zip = new QVBoxLayout(pnlZip);
    zip->setContentsMargins(0, 0, 0, 0);
    stgZippedFilesView = GridView("stgZippedFiles", pnlZip);
    lblZipFileC = Named(new QLabel(QStringLiteral("Files:"), pnlZip), "lblZipFileC");
    lblZipFileC->setWordWrap(false);
    lblZipFileC->setContentsMargins(8, 0, 0, 0);
    zip->addWidget(stgZippedFilesView);
    zip->addWidget(lblZipFileC);
    memoPreview = Named(new QPlainTextEdit(grpPreview), "memoPreview");
    memoPreview->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoPreview->setTabChangesFocus(true);
    Image1 = Named(new TImageViewer(grpPreview), "Image1");
    preview->addWidget(pnlZip, 0, 0);
    preview->addWidget(memoPreview, 0, 0);
    preview->addWidget(Image1, 0, 0);

    VertSplitter->addWidget(grpFolders);
    VertSplitter->addWidget(grpPreview);
    VertSplitter->setStretchFactor(1, 1);
    VertSplitter->setSizes({350, 263});

    grpFiles = GroupBox("grpFiles", "Fi&les:", HorzSplitter);
    auto *files = new QVBoxLayout(grpFiles);
    files->setContentsMargins(10, 10, 10, 10);
    files->setSpacing(2);
    sgFilesView = GridView("sgFiles", grpFiles);
    files->addWidget(sgFilesView);
    auto *bottom = new QHBoxLayout();
    bottom->setContentsMargins(0, 1, 0, 1);
    lblCountDir = Named(new QLabel(QStringLiteral("Folder/File Count:"), grpFiles), "lblCountDir");
    lblCountDir->setContentsMargins(8, 0, 0, 0);
    btnEmail = Named(new QPushButton(QStringLiteral("&Email"), grpFiles), "btnEmail");
    btnHome = Named(new QPushButton(QStringLiteral("&Home"), grpFiles), "btnHome");
    bottom->addWidget(lblCountDir, 1);
    bottom->addWidget(btnEmail);
    bottom->addSpacing(6);
    bottom->addWidget(btnHome);
    files->addLayout(bottom);

    HorzSplitter->addWidget(VertSplitter);
    HorzSplitter->addWidget(grpFiles);
    HorzSplitter->setStretchFactor(0, 1);
    HorzSplitter->setSizes({272, 305});
    outer->addWidget(HorzSplitter, 1);

    // Models over the grid tables and the tree.
    FFilesModel = new TGridModel(sgFiles, this);
    FFilesModel->Attach(sgFilesView);
    FZippedModel = new TGridModel(stgZippedFiles, this);
    FZippedModel->Attach(stgZippedFilesView);
    FTreeModel = new TFolderTreeModel(FTree, this);
    tvFolderTree->setModel(FTreeModel);

    DescribeForAssistiveTechnology(*this);
}
