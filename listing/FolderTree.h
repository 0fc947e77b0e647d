// The folder tree's data, filled lazily from the file system.
#pragma once

#include <QString>

#include <memory>
#include <vector>

class TTextComparer;

// One folder of the tree; the root stands for the tree itself and has no item.
struct TFolderNode
{
    QString TagString; // the folder's full path, its bytes kept (platform/FileNames.h)
    int Tag = 0; // 1 once its subfolders were listed
    QString Text; // the folder's name as shown
    TFolderNode *Parent = nullptr;
    std::vector<std::unique_ptr<TFolderNode>> Children;
    int Row = 0; // index among the parent's children
};

// Told before and after a node gets its children, so a view inserts them at once.
class IFolderTreeObserver
{
public:
    virtual ~IFolderTreeObserver() = default;
    virtual void ChildrenAboutToBeAdded(TFolderNode &node, int count) = 0;
    virtual void ChildrenAdded(TFolderNode &node) = 0;
    virtual void AboutToClear() = 0;
    virtual void Cleared() = 0;
};

// The lazily filled folder tree: each listed folder's subfolders, one level ahead.
class TFolderTree
{
public:
    TFolderNode &Root() { return FRoot; }
    const TFolderNode &Root() const { return FRoot; }

    // Removes every item; the root's Tag and TagString are left to the caller.
    void Clear();

    // Lists the node's non-hidden subfolders to the given depth, unless they
    // were listed before. Each folder's subfolders are sorted by name with
    // the comparer, as the listing's Name sort is.
    void PopulateFolder(TFolderNode &node, int depth, const TTextComparer &comparer);

    void SetObserver(IFolderTreeObserver *observer) { FObserver = observer; }

private:
    void Fill(TFolderNode &node, int depth, const TTextComparer &comparer);

    TFolderNode FRoot;
    IFolderTreeObserver *FObserver = nullptr;
};

// The subfolder names of a folder in enumeration order, hidden ones (a name
// beginning with ".") left out; empty when the folder cannot be enumerated.
std::vector<QString> ListSubfolders(const QString &folderWithDelimiter);
