// The item model that shows the folder tree in the tree view.
#pragma once

#include "listing/FolderTree.h"

#include <QAbstractItemModel>

// Shows the folder tree; items appear as the tree lists them.
class TFolderTreeModel : public QAbstractItemModel, public IFolderTreeObserver
{
    Q_OBJECT

public:
    explicit TFolderTreeModel(TFolderTree &tree, QObject *parent = nullptr);
    ~TFolderTreeModel() override;

    TFolderNode *Node(const QModelIndex &index) const;
    QModelIndex IndexOf(const TFolderNode *node) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    void ChildrenAboutToBeAdded(TFolderNode &node, int count) override;
    void ChildrenAdded(TFolderNode &node) override;
    void AboutToClear() override;
    void Cleared() override;

private:
    TFolderTree &FTree;
};
