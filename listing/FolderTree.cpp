#include "listing/FolderTree.h"

#include "listing/FolderScan.h"
#include "platform/FileNames.h"
#include "platform/LocaleServices.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

std::vector<QString> ListSubfolders(const QString &folderWithDelimiter)
{
    std::vector<QString> names;
    DIR *dir = opendir(EncodeFileName(folderWithDelimiter).constData());
    if (!dir)
        return names;
    const int fd = dirfd(dir);
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st
            { };
            isFolder = fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (isFolder)
            names.push_back(DecodeFileName(entry->d_name));
    }
    closedir(dir);
    return names;
}

void TFolderTree::Clear()
{
    if (FObserver)
        FObserver->AboutToClear();
    FRoot.Children.clear();
    if (FObserver)
        FObserver->Cleared();
}

void TFolderTree::PopulateFolder(TFolderNode &node, int depth, const TTextComparer &comparer)
{
    if (depth < 1 || node.Tag == 1)
        return;
    // Build the new items with their own children detached, then hand them
    // to the view in one insertion: a folder of 10 000 subfolders stays quick.
    TFolderNode staged;
    staged.TagString = node.TagString;
    Fill(staged, depth, comparer);
    if (!staged.Children.empty()) {
        if (FObserver)
            FObserver->ChildrenAboutToBeAdded(node, int(staged.Children.size()));
        for (auto &child : staged.Children) {
            child->Parent = &node;
            child->Row = int(node.Children.size());
            node.Children.push_back(std::move(child));
        }
        if (FObserver)
            FObserver->ChildrenAdded(node);
    }
    node.Tag = 1;
}

void TFolderTree::Fill(TFolderNode &node, int depth, const TTextComparer &comparer)
{
    if (depth < 1 || node.Tag == 1)
        return;
    const QString P = FolderWithDelimiter(node.TagString);
    for (const QString &name : ListSubfolders(P)) {
        auto child = std::make_unique<TFolderNode>();
        child->TagString = P + name;
        child->Text = ShownFileName(name);
        child->Parent = &node;
        Fill(*child, depth - 1, comparer);
        node.Children.push_back(std::move(child));
    }
    // The file system hands names over in its own order (hash order on most
    // Linux file systems); the user expects the listing's Name order.
    std::stable_sort(node.Children.begin(), node.Children.end(), [&](const auto &a, const auto &b) {
        return comparer.Compare(a->Text, b->Text) < 0;
    });
    for (size_t i = 0; i < node.Children.size(); ++i)
        node.Children[i]->Row = int(i);
    node.Tag = 1;
}
