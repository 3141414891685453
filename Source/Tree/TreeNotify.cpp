// The tree view's notifications as the pane answers them: the first level below an expanding item
// is made, a selection made by the user goes to the host, and selected items are painted with
// the pane's own background.
#include "Tree/Tree.h"

#include "Document/Folder.h"
#include "Config/Settings.h"
#include "Tree/TreeHost.h"

COLORREF TreeMixColour(COLORREF first, COLORREF second) {
    auto mix = [](int a, int b) { return static_cast<int>(a + 0.5 * (b - a)); };
    return RGB(mix(GetRValue(first), GetRValue(second)), mix(GetGValue(first), GetGValue(second)),
               mix(GetBValue(first), GetBValue(second)));
}

COLORREF CTree::SelectedItemBackground(bool focused) {
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    return focused ? highlight : TreeMixColour(Settings().backColor, highlight);
}

LRESULT CTree::OnNotify(NMHDR* header) {
    if (!header || !treeView_ || header->hwndFrom != treeView_) return 0;
    switch (header->code) {
    case TVN_ITEMEXPANDINGW: {
        auto* info = reinterpret_cast<NMTREEVIEWW*>(header);
        if ((info->action & (TVE_COLLAPSE | TVE_EXPAND)) == TVE_EXPAND && rootFolder_ && info->itemNew.hItem)
            FillGrandchildren(rootFolder_->FindByTreeItem(info->itemNew.hItem));
        return FALSE;
    }
    case TVN_SELCHANGEDW:
        OnSelectionChanged(*reinterpret_cast<NMTREEVIEWW*>(header));
        return 0;
    case NM_CUSTOMDRAW:
        return OnCustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(header));
    default:
        return 0;
    }
}

// The folder is looked up in the model by its item: the item parameter of an item that is being
// deleted may name a folder that no longer exists.
void CTree::OnSelectionChanged(const NMTREEVIEWW& info) {
    if (suppressSelection_ || !rootFolder_ || !info.itemNew.hItem) return;
    CFolder* folder = rootFolder_->FindByTreeItem(info.itemNew.hItem);
    if (!folder) return;
    if (host_) host_->FolderChosen(*folder);
    if (!treeView_) return;
    // A drag over the tree leaves its drop highlight behind; a new selection clears it.
    for (HTREEITEM item = TreeView_GetFirstVisible(treeView_); item; item = TreeView_GetNextVisible(treeView_, item)) {
        if (item == folder->treeItem) continue;
        TreeView_SetItemState(treeView_, item, 0, TVIS_SELECTED | TVIS_DROPHILITED);
    }
}

LRESULT CTree::OnCustomDraw(NMTVCUSTOMDRAW* draw) {
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && (draw->nmcd.uItemState & CDIS_SELECTED))
        draw->clrTextBk = SelectedItemBackground(GetFocus() == treeView_);
    return CDRF_NEWFONT;
}
