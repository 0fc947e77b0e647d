#include "WindowFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QTreeView>

#include <functional>

namespace {

using FolderTreeTest = WindowFixture;

QStringList Names(const TFolderNode &node)
{
    QStringList out;
    for (const auto &child : node.Children)
        out << child->Text;
    return out;
}

const TFolderNode *Child(const TFolderNode &node, const QString &name)
{
    for (const auto &child : node.Children)
        if (child->Text == name)
            return child.get();
    return nullptr;
}

TEST_F(FolderTreeTest, HomeTreeIsSortedTwoLevelsDeepWithoutHiddenFolders)
{
    MakeDir(QStringLiteral("beta/one/deep"));
    MakeDir(QStringLiteral("Alpha"));
    MakeDir(QStringLiteral("gamma"));
    MakeDir(QStringLiteral(".cache/inner"));
    MakeFile(QStringLiteral("file.txt"));
    TfrmMain &w = Window();
    const TFolderNode &root = w.FolderTree().Root();
    EXPECT_EQ(root.TagString, Home());
    EXPECT_EQ(root.Tag, 1);
    EXPECT_EQ(
        Names(root), (QStringList{QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("gamma")}));
    const TFolderNode *beta = Child(root, QStringLiteral("beta"));
    ASSERT_NE(beta, nullptr);
    EXPECT_EQ(beta->TagString, Home() + QStringLiteral("/beta"));
    EXPECT_EQ(beta->Tag, 1);
    ASSERT_EQ(Names(*beta), QStringList{QStringLiteral("one")});
    const TFolderNode *one = beta->Children[0].get();
    EXPECT_EQ(one->Tag, 0);
    EXPECT_TRUE(one->Children.empty());
    // The view shows an expander on beta and on one's parent.
    EXPECT_EQ(w.tvFolderTree->model()->rowCount(), 3);
}

TEST_F(FolderTreeTest, SelectingASecondLevelItemListsItsChildrenOnce)
{
    MakeDir(QStringLiteral("beta/one/deep/deeper"));
    TfrmMain &w = Window();
    TFolderNode *one = Select({QStringLiteral("beta"), QStringLiteral("one")});
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(w.SelectedNode(), one);
    EXPECT_EQ(Names(*one), QStringList{QStringLiteral("deep")});
    EXPECT_EQ(Names(*one->Children[0]), QStringList{QStringLiteral("deeper")});
    MakeDir(QStringLiteral("beta/one/late"));
    Select({QStringLiteral("beta")});
    Select({QStringLiteral("beta"), QStringLiteral("one")});
    EXPECT_EQ(one->Children.size(), 1u);
}

TEST_F(FolderTreeTest, OpeningAFolderGivesItsSubfoldersTheirExpanders)
{
    MakeDir(QStringLiteral("beta/one/deep"));
    MakeDir(QStringLiteral("beta/two"));
    TfrmMain &w = Window();
    TFolderNode *beta = w.FolderTree().Root().Children[0].get();
    const QModelIndex betaIndex = w.tvFolderTree->model()->index(0, 0);
    w.tvFolderTree->expand(betaIndex);
    const QAbstractItemModel *model = w.tvFolderTree->model();
    ASSERT_EQ(model->rowCount(betaIndex), 2);
    for (int r = 0; r < 2; ++r) {
        const QModelIndex child = model->index(r, 0, betaIndex);
        // "one" has a subfolder and shows it; "two" has none.
        EXPECT_EQ(model->hasChildren(child), child.data().toString() == QStringLiteral("one"));
    }
    EXPECT_EQ(beta->Children.size(), 2u);
    EXPECT_EQ(w.sgFiles.RowCount(), 1); // opening is not selecting: nothing was listed
}

TEST_F(FolderTreeTest, EveryLevelIsInNameOrderWhateverTheCase)
{
    // Created in an order no sort gives; the file system returns them in its own.
    const QStringList mixed{QStringLiteral("beta"),
        QStringLiteral("zeta"),
        QStringLiteral("Gamma"),
        QStringLiteral("sub"),
        QStringLiteral("Alpha")};
    const QStringList sorted{QStringLiteral("Alpha"),
        QStringLiteral("beta"),
        QStringLiteral("Gamma"),
        QStringLiteral("sub"),
        QStringLiteral("zeta")};
    for (const QString &name : mixed) {
        MakeDir(name);
        MakeDir(QStringLiteral("sub/") + name);
        MakeDir(QStringLiteral("sub/sub/") + name);
    }
    TfrmMain &w = Window();
    const QAbstractItemModel *model = w.tvFolderTree->model();
    const auto shown = [model](const QModelIndex &parent) {
        QStringList names;
        for (int r = 0; r < model->rowCount(parent); ++r)
            names << model->index(r, 0, parent).data().toString();
        return names;
    };
    EXPECT_EQ(shown({}), sorted);
    const QModelIndex sub = model->index(3, 0);
    ASSERT_EQ(sub.data().toString(), QStringLiteral("sub"));
    EXPECT_EQ(shown(sub), sorted); // listed ahead at start-up
    // The third level is listed when the second is opened, and in order too.
    w.tvFolderTree->expand(sub);
    const QModelIndex subsub = model->index(3, 0, sub);
    ASSERT_EQ(subsub.data().toString(), QStringLiteral("sub"));
    w.tvFolderTree->expand(subsub);
    EXPECT_EQ(shown(subsub), sorted);
    // Each node knows its row as the view shows it: selecting one lists that one.
    w.tvFolderTree->selectionModel()->setCurrentIndex(
        model->index(0, 0, subsub), QItemSelectionModel::ClearAndSelect);
    ASSERT_NE(w.SelectedNode(), nullptr);
    EXPECT_EQ(w.SelectedNode()->TagString, Home() + QStringLiteral("/sub/sub/Alpha"));
    EXPECT_EQ(model->parent(model->index(4, 0, subsub)), subsub);
}

TEST_F(FolderTreeTest, FocusAloneSelectsAndListsNothingTheUsersSelectionDoes)
{
    MakeDir(QStringLiteral("alpha"));
    MakeFile(QStringLiteral("alpha/a.txt"));
    MakeDir(QStringLiteral("beta"));
    const std::pair<const char *, std::function<void(TfrmMain &)>> entries[] = {
        {"Tab",
            [](TfrmMain &w) {
                QTest::keyClick(w.cbSort, Qt::Key_Tab);
            }},
        {"Alt+F",
            [](TfrmMain &w) {
                QTest::keyClick(w.cbSort, Qt::Key_F, Qt::AltModifier);
            }},
    };
    for (const auto &[how, enter] : entries) {
        SCOPED_TRACE(how);
        TfrmMain &w = Window();
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        w.cbSort->setFocus();
        enter(w);
        ASSERT_EQ(QApplication::focusWidget(), w.tvFolderTree);
        EXPECT_EQ(w.SelectedNode(), nullptr);
        EXPECT_TRUE(w.tvFolderTree->selectionModel()->selectedIndexes().isEmpty());
        EXPECT_EQ(w.sgFileList.RowCount(), 0);
        EXPECT_EQ(w.lblCountDir->text(), QStringLiteral("Folder/File Count:"));
        // Space selects the folder under the focus mark, and that lists it.
        QTest::keyClick(w.tvFolderTree, Qt::Key_Space);
        ASSERT_NE(w.SelectedNode(), nullptr);
        EXPECT_EQ(w.tvFolderTree->selectionModel()->selectedIndexes().value(0).data().toString(),
            w.SelectedNode()->Text);
        EXPECT_EQ(w.sgFileList.RowCount(), w.SelectedNode()->Text == QLatin1String("alpha") ? 1 : 0);
        EXPECT_NE(w.lblCountDir->text(), QStringLiteral("Folder/File Count:"));
        DestroyWindow();
    }
}

TEST_F(FolderTreeTest, ANonHiddenDotlessNameAndDotFolders)
{
    MakeDir(QStringLiteral(".hidden"));
    MakeDir(QStringLiteral("visible.d"));
    TfrmMain &w = Window();
    EXPECT_EQ(Names(w.FolderTree().Root()), QStringList{QStringLiteral("visible.d")});
}

TEST_F(FolderTreeTest, PickingTheCurrentDriveRebuildsAndEmptiesTheListing)
{
    MakeDir(QStringLiteral("a/b"));
    MakeFile(QStringLiteral("a/f.txt"));
    TfrmMain &w = Window();
    Select({QStringLiteral("a")});
    const QString label = w.lblCountDir->text();
    EXPECT_EQ(w.sgFileList.RowCount(), 1);
    MakeDir(QStringLiteral("new"));
    w.cbDrivesChange();
    EXPECT_EQ(w.SelectedNode(), nullptr);
    EXPECT_EQ(Names(w.FolderTree().Root()), (QStringList{QStringLiteral("a"), QStringLiteral("new")}));
    EXPECT_EQ(w.sgFiles.RowCount(), 1);
    EXPECT_EQ(w.sgFiles.Cells(0, 0), QString());
    EXPECT_EQ(w.lblCountDir->text(), label);
    EXPECT_EQ(w.sgFileList.RowCount(), 1);
}

TEST_F(FolderTreeTest, TheDriveListOffersHomeThenTheRootFirst)
{
    TfrmMain &w = Window();
    ASSERT_GE(w.cbDrives->count(), 2);
    EXPECT_EQ(w.cbDrives->itemText(0), QStringLiteral("Home Directory"));
    EXPECT_EQ(w.cbDrives->itemText(1), QStringLiteral("/"));
    w.cbDrives->setCurrentIndex(1);
    w.cbDrivesChange();
    EXPECT_EQ(w.FolderTree().Root().TagString, QStringLiteral("/"));
    const TFolderNode *etc = Child(w.FolderTree().Root(), QStringLiteral("etc"));
    ASSERT_NE(etc, nullptr);
    EXPECT_EQ(etc->TagString, QStringLiteral("/etc"));
    // Opening the list refreshes it and makes "Home Directory" current again.
    w.cbDrivesClick();
    EXPECT_EQ(w.cbDrives->currentIndex(), 0);
    EXPECT_EQ(w.FolderTree().Root().TagString, QStringLiteral("/"));
}

TEST_F(FolderTreeTest, AnEmptyProfileFolderListsTheRoot)
{
    qunsetenv("HOME");
    TfrmMain &w = Window();
    EXPECT_EQ(w.FolderTree().Root().TagString, QString());
    EXPECT_NE(Child(w.FolderTree().Root(), QStringLiteral("etc")), nullptr);
}

} // namespace
