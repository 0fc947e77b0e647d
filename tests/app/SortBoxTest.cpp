#include "WindowFixture.h"
#include "listing/GridColumns.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/stat.h>

namespace {

// The order of the listing after each entry of the Sort list is picked, in
// the order of the list: two folders and three files whose name, size,
// extension and age orders all differ. "Path" finds the two folders equal
// and the sort procedure swaps them.
struct TPick
{
    int Index;
    const char *Entry;
    const char *Order; // names of the listing's rows, top to bottom
};

const TPick kPicks[] = {
    {0, "Name", "x y a.txt b.zip c.dat"},
    {1, "Path", "y x a.txt b.zip c.dat"},
    {2, "Size", "x y b.zip c.dat a.txt"},
    {3, "Extension", "x y c.dat a.txt b.zip"},
    {4, "Last modified", "y x a.txt c.dat b.zip"},
};

class SortBoxTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        MakeDir(QStringLiteral("list/x"));
        MakeDir(QStringLiteral("list/y"));
        MakeFile(QStringLiteral("list/a.txt"), QByteArray(2000, 'a'));
        MakeFile(QStringLiteral("list/b.zip"), QByteArray(10, 'b'));
        MakeFile(QStringLiteral("list/c.dat"), QByteArray(300, 'c'));
        const std::pair<const char *, int> ages[] = {
            {"list/a.txt", 1}, {"list/c.dat", 2}, {"list/b.zip", 3}, {"list/y", 1}, {"list/x", 2}};
        for (const auto &[name, day] : ages) {
            const timespec t{1600000000 + day * 86400, 0};
            const timespec times[2] = {t, t};
            const QByteArray path = QFile::encodeName(Home() + QLatin1Char('/') + QLatin1String(name));
            ASSERT_EQ(utimensat(AT_FDCWD, path.constData(), times, 0), 0);
        }
    }

    // The folder listed, the window shown and active, the focus elsewhere.
    TfrmMain &Listed()
    {
        TfrmMain &w = Window();
        w.cbFolders->setChecked(true);
        w.cbExt->setChecked(true);
        Select({QStringLiteral("list")});
        w.show();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        w.edMask->setFocus();
        return w;
    }

    std::string Order() { return Column(Window().sgFiles, fcName).join(QLatin1Char(' ')).toStdString(); }

    // Clicks the box, waits as a person would before choosing (the list
    // ignores the release of the click that opened it), clicks the entry.
    void PickWithMouse(int index)
    {
        QComboBox *box = Window().cbSort;
        QTest::mouseClick(box, Qt::LeftButton);
        QAbstractItemView *view = box->view();
        ASSERT_TRUE(QTest::qWaitFor([view] {
            return view->isVisible();
        }));
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        const QModelIndex item = view->model()->index(index, 0);
        view->scrollTo(item); // a long list scrolls
        const QRect entry = view->visualRect(item);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry.center());
        EXPECT_TRUE(QTest::qWaitFor([view] {
            return !view->isVisible();
        }));
    }

    // Alt+Down opens the list, the arrows walk to the entry, Return picks it.
    void PickWithKeys(int index)
    {
        QComboBox *box = Window().cbSort;
        box->setFocus(Qt::TabFocusReason);
        QTest::keyClick(box, Qt::Key_Down, Qt::AltModifier);
        QAbstractItemView *view = box->view();
        ASSERT_TRUE(QTest::qWaitFor([view] {
            return view->isVisible();
        }));
        const int from = view->currentIndex().row();
        for (int i = from; i < index; ++i)
            QTest::keyClick(view, Qt::Key_Down);
        for (int i = index; i < from; ++i)
            QTest::keyClick(view, Qt::Key_Up);
        QTest::keyClick(view, Qt::Key_Return);
        EXPECT_TRUE(QTest::qWaitFor([view] {
            return !view->isVisible();
        }));
    }

    void ExpectEveryPickSorts(const std::function<void(int)> &pick)
    {
        TfrmMain &w = Listed();
        ASSERT_EQ(Order(), kPicks[0].Order);
        for (const TPick &p : kPicks) {
            SCOPED_TRACE(p.Entry);
            QSignalSpy changed(w.cbSort, &QComboBox::activated);
            w.edMask->setFocus(); // the box is entered anew every time
            pick(p.Index);
            EXPECT_EQ(changed.count(), 1);
            EXPECT_EQ(w.cbSort->currentIndex(), p.Index);
            EXPECT_EQ(w.cbSort->currentText().toStdString(), p.Entry);
            EXPECT_EQ(Order(), p.Order);
        }
        EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join(QLatin1Char('\n')).toStdString();
    }
};

TEST_F(SortBoxTest, EveryEntryPickedWithTheMouseSortsByIt)
{
    ExpectEveryPickSorts([this](int index) {
        PickWithMouse(index);
    });
}

TEST_F(SortBoxTest, EveryEntryPickedWithTheKeysSortsByIt)
{
    ExpectEveryPickSorts([this](int index) {
        PickWithKeys(index);
    });
}

TEST_F(SortBoxTest, SwitchingToAnotherWindowAndBackKeepsTheChoice)
{
    TfrmMain &w = Listed();
    PickWithKeys(2);
    ASSERT_EQ(w.cbSort->currentText().toStdString(), "Size");
    QWidget other;
    other.resize(200, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(QApplication::focusWidget(), w.cbSort);
    EXPECT_EQ(w.cbSort->currentText().toStdString(), "Size");
    // The next scan still sorts by it.
    Q_EMIT w.edMask->editingFinished();
    EXPECT_EQ(Order(), kPicks[2].Order);
}

TEST_F(SortBoxTest, EnteringTheBoxFromElsewhereResetsToNameWithoutSorting)
{
    TfrmMain &w = Listed();
    const std::pair<const char *, std::function<void()>> entries[] = {
        {"Tab",
            [&w] {
                QTest::keyClick(w.edMask, Qt::Key_Tab);
            }},
        {"Shift+Tab",
            [&w] {
                w.tvFolderTree->setFocus();
                QTest::keyClick(w.tvFolderTree, Qt::Key_Backtab, Qt::ShiftModifier);
            }},
        {"Alt+R",
            [&w] {
                QTest::keyClick(w.edMask, Qt::Key_R, Qt::AltModifier);
            }},
        {"setFocus",
            [&w] {
                w.cbSort->setFocus();
            }},
    };
    for (const auto &[how, enter] : entries) {
        SCOPED_TRACE(how);
        PickWithKeys(2);
        ASSERT_EQ(Order(), kPicks[2].Order);
        w.edMask->setFocus();
        QSignalSpy changed(w.cbSort, &QComboBox::activated);
        enter();
        ASSERT_EQ(QApplication::focusWidget(), w.cbSort);
        EXPECT_EQ(w.cbSort->currentText().toStdString(), "Name");
        EXPECT_EQ(w.cbSort->count(), 5);
        EXPECT_EQ(changed.count(), 0);
        EXPECT_EQ(Order(), kPicks[2].Order);
    }
}

// Writes whatever the window is asked to save to one file.
class TFixedSaveDialog : public ISaveDialog
{
public:
    explicit TFixedSaveDialog(QString path)
        : FPath(std::move(path))
    { }
    void SetDefaultExt(const QString &) override { }
    void SetFilter(const QString &) override { }
    void SetFilterIndex(int) override { }
    bool Execute(QWidget *) override { return true; }
    QString FileName() const override { return FPath; }

private:
    QString FPath;
};

TEST_F(SortBoxTest, AHeaderClickSortsByItsColumnAndASecondOneReverses)
{
    TfrmMain &w = Listed();
    QHeaderView *header = w.sgFilesView->horizontalHeader();
    const auto clickHeader = [header](int column) {
        const QPoint centre(
            header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
    };
    const QString saved = FTemp.path() + QStringLiteral("/saved.txt");
    w.SetSaveDialog(std::make_unique<TFixedSaveDialog>(saved));
    w.cbExportType->setCurrentIndex(3); // tab-separated text
    // The names of the saved file's rows, top to bottom.
    const auto savedOrder = [&] {
        w.btnSave->click();
        QStringList names;
        for (const QByteArray &line : ReadAll(saved).split('\n'))
            if (!line.isEmpty())
                names << QString::fromUtf8(line.left(line.indexOf('\t')));
        names.removeFirst(); // the header row
        return names.join(QLatin1Char(' ')).toStdString();
    };
    const struct
    {
        int column;
        const char *entry;
        Qt::SortOrder direction;
        const char *order;
    } clicks[] = {
        {fcSize, "Size", Qt::AscendingOrder, kPicks[2].Order},
        {fcSize, "Size", Qt::DescendingOrder, "y x a.txt c.dat b.zip"},
        {fcSize, "Size", Qt::AscendingOrder, kPicks[2].Order},
        {fcName, "Name", Qt::AscendingOrder, kPicks[0].Order},
        {fcName, "Name", Qt::DescendingOrder, "y x c.dat b.zip a.txt"},
        {fcExtension, "Extension", Qt::AscendingOrder, kPicks[3].Order},
    };
    for (const auto &c : clicks) {
        SCOPED_TRACE(c.entry);
        clickHeader(c.column);
        EXPECT_EQ(w.cbSort->currentText().toStdString(), c.entry);
        EXPECT_EQ(header->sortIndicatorSection(), c.column);
        EXPECT_EQ(header->sortIndicatorOrder(), c.direction);
        EXPECT_EQ(Order(), c.order);
        EXPECT_EQ(savedOrder(), c.order);
    }
    // The box's own pick sorts ascending again, and the indicator follows it.
    PickWithKeys(2);
    EXPECT_EQ(Order(), kPicks[2].Order);
    EXPECT_EQ(header->sortIndicatorSection(), int(fcSize));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_TRUE(FErrors.isEmpty()) << FErrors.join(QLatin1Char('\n')).toStdString();
}

} // namespace
