// The tree pane's items: the root item for the shown root folder and, lazily, one item per
// subfolder entry. Every visible item has its children made, so the tree view shows an expand
// button exactly where a folder has subfolders; expanding an item makes the next level.
#include "Tree/Tree.h"

#include <vector>

#include "Document/Folder.h"

namespace {

// The image list holds four images, indexed by kind; kinds outside them are shown as plain folders.
int ImageForKind(uint32_t kind) {
    if (kind > kFolderKindImage) kind = kFolderKindPlain;
    return static_cast<int>(kind);
}

// The main window's title as the root item shows it: at most 255 characters.
std::wstring RootTitle(HWND pane) {
    wchar_t title[256] = {};
    HWND main = GetAncestor(pane, GA_ROOT);
    if (main && main != pane) GetWindowTextW(main, title, 256);
    return title;
}

void DeleteChildItems(HWND treeView, HTREEITEM item) {
    HTREEITEM child = TreeView_GetChild(treeView, item);
    while (child) {
        HTREEITEM next = TreeView_GetNextSibling(treeView, child);
        TreeView_DeleteItem(treeView, child);
        child = next;
    }
}

}  // namespace

void CTree::ForgetItemsBelow(CFolder* folder) {
    std::vector<CFolder*> pending{folder};
    while (!pending.empty()) {
        CFolder* current = pending.back();
        pending.pop_back();
        for (CEntry& entry : current->entries) {
            if (!entry.subfolder) continue;
            entry.subfolder->treeItem = nullptr;
            pending.push_back(entry.subfolder.get());
        }
    }
}

void CTree::SetRootText(const std::wstring& text) {
    if (!treeView_ || !rootItem_) return;
    std::wstring label = text.substr(0, 255);
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = rootItem_;
    item.pszText = &label[0];
    TreeView_SetItem(treeView_, &item);
}

void CTree::SetRootFolder(CFolder* folder) {
    if (!treeView_ || !folder) return;
    if (rootFolder_ && rootFolder_ != folder) {
        ForgetItemsBelow(rootFolder_);
        rootFolder_->treeItem = nullptr;
    }
    ForgetItemsBelow(folder);
    folder->treeItem = nullptr;
    rootItem_ = nullptr;
    TreeView_DeleteAllItems(treeView_);

    std::wstring title = RootTitle(hwnd_);
    TVINSERTSTRUCTW insert{};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = &title[0];
    insert.item.lParam = reinterpret_cast<LPARAM>(folder);
    rootItem_ = TreeView_InsertItem(treeView_, &insert);
    folder->treeItem = rootItem_;
    rootFolder_ = folder;
    if (!rootItem_) return;

    FillChildren(rootItem_, folder);
    // The first expansion of an item notifies the pane, which makes the grandchildren.
    TreeView_Expand(treeView_, rootItem_, TVE_EXPAND);
    suppressSelection_ = 1;
    TreeView_SelectItem(treeView_, rootItem_);
    suppressSelection_ = 0;
}

void CTree::FillChildren(HTREEITEM item, CFolder* folder) {
    if (!treeView_ || !item || !folder) return;
    ForgetItemsBelow(folder);
    // Deleting the selected item (or an ancestor of it) moves the selection; that is no choice
    // of the user's and must not reach the host.
    const unsigned char suppressed = suppressSelection_;
    suppressSelection_ = 1;
    DeleteChildItems(treeView_, item);
    suppressSelection_ = suppressed;
    for (CEntry& entry : folder->entries) {
        CFolder* sub = entry.subfolder.get();
        if (!sub) continue;
        TVINSERTSTRUCTW insert{};
        insert.hParent = item;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
        insert.item.pszText = const_cast<wchar_t*>(entry.name.c_str());
        insert.item.iImage = ImageForKind(sub->kind);
        insert.item.iSelectedImage = insert.item.iImage;
        insert.item.lParam = reinterpret_cast<LPARAM>(sub);
        sub->treeItem = TreeView_InsertItem(treeView_, &insert);
    }
}

void CTree::FillGrandchildren(CFolder* folder) {
    if (!folder) return;
    for (CEntry& entry : folder->entries) {
        CFolder* sub = entry.subfolder.get();
        if (sub && sub->treeItem) FillChildren(sub->treeItem, sub);
    }
}

void CTree::RefreshFolder(CFolder* folder) {
    if (!folder || !folder->treeItem) return;
    FillChildren(folder->treeItem, folder);
    FillGrandchildren(folder);
}

// Walks from the shown root down to `folder`, making the items of a level that has none and
// expanding each ancestor in turn. Expanding top-down matters: the first expansion of an item
// remakes its grandchildren, so an item taken before that expansion could already be gone.
HTREEITEM CTree::EnsureItem(CFolder* folder) {
    std::vector<CFolder*> chain;
    for (CFolder* f = folder; f; f = f->parent) chain.push_back(f);
    if (!treeView_ || chain.empty() || chain.back() != rootFolder_ || !rootFolder_->treeItem) return nullptr;
    for (size_t i = chain.size() - 1; i > 0; --i) {
        CFolder* ancestor = chain[i];
        CFolder* next = chain[i - 1];
        if (!next->treeItem) FillChildren(ancestor->treeItem, ancestor);
        if (!next->treeItem) return nullptr;
        TreeView_Expand(treeView_, ancestor->treeItem, TVE_EXPAND);
    }
    return folder->treeItem;
}

void CTree::SelectFolderSilently(CFolder* folder) {
    if (!treeView_ || !folder) return;
    suppressSelection_ = 1;
    if (HTREEITEM item = EnsureItem(folder)) TreeView_SelectItem(treeView_, item);
    suppressSelection_ = 0;
}
