#include "WindowFixture.h"
#include "app/ImageViewer.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <zlib.h>

namespace {

// What a screen reader says for each accessible object below the window: its
// name. Grids and trees are not opened up; their cells are the model's business.
// (tests/app/atspi-check reads the same through AT-SPI, from another process.)
void CollectNames(QAccessibleInterface *node, QHash<QObject *, QString> &names, int depth = 0)
{
    if (!node || depth > 32)
        return;
    if (QObject *object = node->object())
        names.insert(object, node->text(QAccessible::Name));
    const QAccessible::Role role = node->role();
    if (role == QAccessible::Table || role == QAccessible::Tree || role == QAccessible::List)
        return;
    for (int i = 0; i < node->childCount(); ++i)
        CollectNames(node->child(i), names, depth + 1);
}

// A stored (uncompressed) ZIP archive with one entry, written byte by byte.
QByteArray OneEntryZip(const QByteArray &name, const QByteArray &data)
{
    QByteArray out;
    const auto u16 = [&out](quint16 v) {
        out.append(char(v & 0xFF)).append(char(v >> 8));
    };
    const auto u32 = [&](quint32 v) {
        u16(quint16(v & 0xFFFF));
        u16(quint16(v >> 16));
    };
    const quint32 crc = crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size()));
    u32(0x04034b50);
    u16(20), u16(0), u16(0), u16(0), u16(0x5821);
    u32(crc), u32(quint32(data.size())), u32(quint32(data.size()));
    u16(quint16(name.size())), u16(0);
    out.append(name).append(data);
    const quint32 central = quint32(out.size());
    u32(0x02014b50);
    u16(20), u16(20), u16(0), u16(0), u16(0), u16(0x5821);
    u32(crc), u32(quint32(data.size())), u32(quint32(data.size()));
    u16(quint16(name.size())), u16(0), u16(0), u16(0), u16(0);
    u32(0), u32(0);
    out.append(name);
    const quint32 centralSize = quint32(out.size()) - central;
    u32(0x06054b50);
    u16(0), u16(0), u16(1), u16(1);
    u32(centralSize), u32(central), u16(0);
    return out;
}

class AccessibilityTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        MakeDir(QStringLiteral("docs/sub"));
        MakeFile(QStringLiteral("docs/notes.txt"), "hello");
        MakeFile(QStringLiteral("docs/pack.zip"), OneEntryZip("inner.txt", "inside"));
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        picture.save(Home() + QStringLiteral("/docs/tile.png"));
    }

    // Shown and active, as shortcuts and Tab need.
    TfrmMain &Shown()
    {
        TfrmMain &w = Window();
        w.resize(900, 640);
        w.show();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        return w;
    }

    // The controls in the order Tab should visit them, whether shown or not.
    static QList<QWidget *> TabOrder(TfrmMain &w)
    {
        return {w.cbDrives,
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
    }

    // One row per control: what a screen reader names it, the caption that
    // labels it (on the control itself, its group box or its label; "&"
    // removed) and the Alt key that moves the focus to it.
    struct TControlRow
    {
        QWidget *Control;
        const char *Name;
        QWidget *Captioned = nullptr; // shows Caption
        const char *Caption = nullptr;
        int Key = 0; // with Alt; 0 where the caption's key does more than focus
    };
    static std::vector<TControlRow> Controls(TfrmMain &w)
    {
        return {
            {w.GroupBox4, "Drives:", w.GroupBox4, "Drives:"},
            {w.cbDrives, "Drives:", nullptr, nullptr, Qt::Key_D},
            {w.GroupBox1, "File Options", w.GroupBox1, "File Options"},
            {w.cbExportType, "Export type", nullptr, nullptr, Qt::Key_T},
            {w.btnPreview, "Preview", w.btnPreview, "Preview"},
            {w.btnSave, "Save", w.btnSave, "Save"},
            {w.GroupBox2, "Show:"},
            {w.cbFiles, "Files", w.cbFiles, "Files"},
            {w.cbFolders, "Folders", w.cbFolders, "Folders"},
            {w.cbExt, "Extensions", w.cbExt, "Extensions"},
            {w.cbHeaders, "Headers", w.cbHeaders, "Headers"},
            {w.cbGridLines, "GridLines", w.cbGridLines, "GridLines", Qt::Key_G},
            {w.GroupBox3, "Options:"},
            {w.edMask, "Mask:", w.Label1, "Mask:  ", Qt::Key_M},
            {w.cbSort, "Sort:", w.Label3, "Sort:", Qt::Key_R},
            {w.grpFolders, "Folders", w.grpFolders, "Folders"},
            {w.tvFolderTree, "Folders", nullptr, nullptr, Qt::Key_F},
            {w.grpPreview, "Preview", w.grpPreview, "Preview"},
            {w.memoPreview, "Text preview", nullptr, nullptr, Qt::Key_V},
            {w.Image1, "Picture preview"},
            {w.stgZippedFilesView, "Archive entries"},
            {w.grpFiles, "Files:", w.grpFiles, "Files:"},
            {w.sgFilesView, "Files:", nullptr, nullptr, Qt::Key_L},
            {w.btnEmail, "Email", w.btnEmail, "Email"},
            {w.btnHome, "Home", w.btnHome, "Home"},
        };
    }

    // The caption a widget shows, accelerator mark included.
    static QString CaptionOf(QWidget *widget)
    {
        if (const auto *group = qobject_cast<QGroupBox *>(widget))
            return group->title();
        if (const auto *button = qobject_cast<QAbstractButton *>(widget))
            return button->text();
        if (const auto *label = qobject_cast<QLabel *>(widget))
            return label->text();
        return {};
    }
};

TEST_F(AccessibilityTest, TheAccessibilityTreeNamesEveryControl)
{
    TfrmMain &w = Shown();
    PickRow({QStringLiteral("docs")}, QStringLiteral("notes.txt"));
    QHash<QObject *, QString> names;
    CollectNames(QAccessible::queryAccessibleInterface(&w), names);

    for (const TControlRow &row : Controls(w)) {
        SCOPED_TRACE(row.Control->objectName().toStdString());
        ASSERT_TRUE(names.contains(row.Control)) << "not in the accessibility tree";
        EXPECT_EQ(names.value(row.Control), QString::fromUtf8(row.Name));
    }
    // Labels speak their own text, without the accelerator's "&".
    EXPECT_EQ(names.value(w.Label1).trimmed(), QStringLiteral("Mask:"));
    EXPECT_EQ(names.value(w.Label3), QStringLiteral("Sort:"));
    EXPECT_EQ(names.value(w.lblCountDir), w.lblCountDir->text());
    // A combo box keeps its name whatever entry it shows; the entry is its
    // value, its description and the one selected item of its list.
    for (const int index : {0, 3}) {
        w.cbExportType->setCurrentIndex(index);
        QAccessibleInterface *combo = QAccessible::queryAccessibleInterface(w.cbExportType);
        EXPECT_EQ(combo->text(QAccessible::Name), QStringLiteral("Export type"));
        EXPECT_EQ(combo->text(QAccessible::Value), w.cbExportType->itemText(index));
        EXPECT_EQ(combo->text(QAccessible::Description), w.cbExportType->itemText(index));
        QAccessibleInterface *list = combo->child(0);
        ASSERT_NE(list, nullptr);
        QStringList selected;
        for (int i = 0; i < list->childCount(); ++i)
            if (list->child(i)->state().selected)
                selected << list->child(i)->text(QAccessible::Name);
        EXPECT_EQ(selected, QStringList{w.cbExportType->itemText(index)});
    }

    // Nothing that takes the focus is left without a name.
    for (QWidget *child : w.findChildren<QWidget *>()) {
        if (child->focusPolicy() == Qt::NoFocus || !child->isVisibleTo(&w) || child->focusProxy())
            continue;
        if (!names.contains(child))
            continue; // parts of a compound control (a view's viewport, scroll bars)
        EXPECT_FALSE(names.value(child).isEmpty())
            << child->metaObject()->className() << " " << child->objectName().toStdString();
    }
}

TEST_F(AccessibilityTest, TheOpenedSortListShowsEveryEntryWhole)
{
    TfrmMain &w = Shown();
    // The first start's size, then the smallest the window allows.
    for (const QSize size : {QSize(735, 735), w.minimumSize()}) {
        SCOPED_TRACE(size.height());
        w.resize(size);
        QTRY_COMPARE(w.size(), size);
        QTest::mouseClick(w.cbSort, Qt::LeftButton);
        QAbstractItemView *list = w.cbSort->view();
        QTRY_VERIFY(list->isVisible());
        QTest::qWait(50); // the popup's own sizing runs as it opens
        ASSERT_EQ(list->model()->rowCount(), 5);
        const QRect shown = list->viewport()->rect();
        for (int row = 0; row < 5; ++row) {
            const QModelIndex index = list->model()->index(row, 0);
            EXPECT_TRUE(shown.contains(list->visualRect(index))) << index.data().toString().toStdString();
        }
        EXPECT_EQ(list->verticalScrollBar()->maximum(), 0) << "the list scrolls";
        QTest::keyClick(list, Qt::Key_Escape);
        QTRY_VERIFY(!list->isVisible());
    }
}

TEST_F(AccessibilityTest, CaptionsShowTheirTextsWithAcceleratorsMarked)
{
    TfrmMain &w = Window();
    const auto shown = [](QString text) {
        return text.remove(QLatin1Char('&'));
    };
    QSet<QChar> keys;
    for (const TControlRow &row : Controls(w)) {
        if (!row.Captioned)
            continue;
        const QString caption = CaptionOf(row.Captioned);
        const char *text = row.Caption;
        EXPECT_EQ(shown(caption), QString::fromUtf8(text));
        const qsizetype amp = caption.indexOf(QLatin1Char('&'));
        ASSERT_GE(amp, 0) << text << " has no accelerator";
        const QChar key = caption.at(amp + 1).toUpper();
        EXPECT_FALSE(keys.contains(key)) << "Alt+" << QString(key).toStdString() << " twice";
        keys.insert(key);
    }
}

TEST_F(AccessibilityTest, AltAndTheMarkedLetterReachesItsControl)
{
    TfrmMain &w = Shown();
    PickRow({QStringLiteral("docs")}, QStringLiteral("notes.txt"));
    for (const TControlRow &row : Controls(w)) {
        if (!row.Key)
            continue;
        QWidget *const target = row.Control;
        const auto key = Qt::Key(row.Key);
        SCOPED_TRACE(target->objectName().toStdString());
        // From outside the target's group: a group's accelerator goes back to
        // the control last focused inside it.
        (target == w.tvFolderTree ? static_cast<QWidget *>(w.cbDrives) : w.tvFolderTree)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget(), target);
    }
    // A check box's accelerator also clicks it, as the mouse would.
    const bool gridLines = w.cbGridLines->isChecked();
    QTRY_COMPARE(w.cbGridLines->isChecked(), !gridLines);

    // Alt+P runs Preview: the HTML listing is written and opened.
    FOpener.Opened.clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier);
    QTRY_COMPARE(FOpener.Opened.size(), 1);
    EXPECT_TRUE(FOpener.Opened.value(0).endsWith(QStringLiteral(".htm")));
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join(QLatin1Char('\n')).toStdString();

    // Alt+S runs Save, which asks for a file name.
    QSignalSpy saved(w.btnSave, &QPushButton::clicked);
    w.SetSaveDialog(std::make_unique<TCancelledSaveDialog>());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(saved.count(), 1);
}

TEST_F(AccessibilityTest, TabVisitsEveryEnabledControlOnceInReadingOrder)
{
    TfrmMain &w = Shown();
    // Each kind of preview puts a different control in the preview area.
    for (const char *row : {"notes.txt", "pack.zip", "tile.png"}) {
        SCOPED_TRACE(row);
        PickRow({QStringLiteral("docs")}, QString::fromLatin1(row));
        QList<QWidget *> expected;
        for (QWidget *widget : TabOrder(w))
            if (widget->isVisible() && widget->isEnabled())
                expected << widget;
        ASSERT_GE(expected.size(), 15);

        w.cbDrives->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), w.cbDrives);
        QList<QWidget *> visited{QApplication::focusWidget()};
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget();
        }
        // Around once and back to the start.
        EXPECT_EQ(visited.mid(0, expected.size()), expected);
        EXPECT_EQ(visited.last(), w.cbDrives);

        // Shift+Tab walks the same way back.
        QList<QWidget *> back;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            back.prepend(QApplication::focusWidget());
        }
        EXPECT_EQ(back, expected);
    }
}

TEST_F(AccessibilityTest, ArrowKeysMoveThroughTheListingAndTheTree)
{
    TfrmMain &w = Shown();
    MakeFile(QStringLiteral("docs/second.txt"), "2");
    PickRow({QStringLiteral("docs")}, QStringLiteral("notes.txt"));
    const int row = w.sgFiles.Selected();
    w.sgFilesView->setFocus();
    QTest::keyClick(w.sgFilesView, Qt::Key_Down);
    EXPECT_EQ(w.sgFiles.Selected(), row + 1);
    QTest::keyClick(w.sgFilesView, Qt::Key_Up);
    EXPECT_EQ(w.sgFiles.Selected(), row);

    // In the tree, Right opens "docs" and Down goes to its subfolder, which is listed.
    w.tvFolderTree->setFocus();
    ASSERT_EQ(w.SelectedNode()->Text, QStringLiteral("docs"));
    QTest::keyClick(w.tvFolderTree, Qt::Key_Right);
    QTest::keyClick(w.tvFolderTree, Qt::Key_Down);
    ASSERT_NE(w.SelectedNode(), nullptr);
    EXPECT_EQ(w.SelectedNode()->Text, QStringLiteral("sub"));
    EXPECT_EQ(w.lblCountDir->text(), QStringLiteral("Folders: 0  Files: 0"));
}

TEST_F(AccessibilityTest, TheFocusedControlLooksDifferent)
{
    TfrmMain &w = Shown();
    PickRow({QStringLiteral("docs")}, QStringLiteral("notes.txt"));
    for (QWidget *widget : TabOrder(w)) {
        if (!widget->isVisible())
            continue;
        SCOPED_TRACE(widget->objectName().toStdString());
        w.btnHome->setFocus();
        if (widget == w.btnHome)
            w.btnEmail->setFocus();
        const QImage unfocused = widget->grab().toImage();
        widget->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(widget->hasFocus());
        EXPECT_NE(widget->grab().toImage(), unfocused);
    }
}

TEST_F(AccessibilityTest, TheWindowIconIsSharpAtEveryScale)
{
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("cartola"));
    const QIcon icon = QApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    for (const qreal scale : {1.0, 1.5, 2.0, 3.0}) {
        const QPixmap pixmap = icon.pixmap(QSize(48, 48), scale);
        // Drawn for the device pixels, not a small picture blown up.
        EXPECT_EQ(pixmap.width(), qRound(48 * scale)) << scale;
        EXPECT_FALSE(pixmap.toImage().pixelColor(pixmap.width() / 2, pixmap.height() * 3 / 4).alpha() == 0);
    }
    EXPECT_FALSE(Window().windowIcon().isNull());
}

} // namespace
