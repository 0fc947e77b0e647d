#include "app/FolderTreeModel.h"

#include "platform/FileNames.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>

TFolderTreeModel::TFolderTreeModel(TFolderTree &tree, QObject *parent)
    : QAbstractItemModel(parent)
    , FTree(tree)
{
    FTree.SetObserver(this);
}

TFolderTreeModel::~TFolderTreeModel()
{
    FTree.SetObserver(nullptr);
}

TFolderNode *TFolderTreeModel::Node(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<TFolderNode *>(index.internalPointer()) : nullptr;
}

QModelIndex TFolderTreeModel::IndexOf(const TFolderNode *node) const
{
    if (!node || node == &FTree.Root())
        return {};
    return createIndex(node->Row, 0, const_cast<TFolderNode *>(node));
}

QModelIndex TFolderTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    const TFolderNode *p = parent.isValid() ? Node(parent) : &FTree.Root();
    if (column != 0 || row < 0 || row >= int(p->Children.size()))
        return {};
    return createIndex(row, 0, p->Children[size_t(row)].get());
}

QModelIndex TFolderTreeModel::parent(const QModelIndex &child) const
{
    const TFolderNode *n = Node(child);
    if (!n || !n->Parent || n->Parent == &FTree.Root())
        return {};
    return IndexOf(n->Parent);
}

int TFolderTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    const TFolderNode *p = parent.isValid() ? Node(parent) : &FTree.Root();
    return int(p->Children.size());
}

int TFolderTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant TFolderTreeModel::data(const QModelIndex &index, int role) const
{
    const TFolderNode *n = Node(index);
    if (!n)
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return n->Text;
    if (role == Qt::ToolTipRole)
        return ShownFileName(n->TagString);
    if (role == Qt::DecorationRole)
        return QApplication::style()->standardIcon(QStyle::SP_DirIcon);
    return {};
}

void TFolderTreeModel::ChildrenAboutToBeAdded(TFolderNode &node, int count)
{
    const int first = int(node.Children.size());
    beginInsertRows(IndexOf(&node), first, first + count - 1);
}

void TFolderTreeModel::ChildrenAdded(TFolderNode &)
{
    endInsertRows();
}

void TFolderTreeModel::AboutToClear()
{
    beginResetModel();
}

void TFolderTreeModel::Cleared()
{
    endResetModel();
}
