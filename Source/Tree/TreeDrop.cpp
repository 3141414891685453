// CTree_DD, the tree view's OLE drop target. A drag over the tree highlights the item under the
// cursor; a drop of a file list (CF_HDROP) hands every path to the pane's host for that item's
// folder, or for the root folder when the cursor is below the items. The main window passes them on
// to the filer, which decides how a path joins a folder: through its list when the folder is on
// screen, as a bare entry (path only, described when the folder is next shown) otherwise, and never
// twice. The effect reported is always copy.
#include "Tree/Tree.h"

#include <string>
#include <vector>

#include "Document/Folder.h"
#include "Kv/KvGuard.h"
#include "Kv/KvClipboard.h"
#include "Tree/TreeHost.h"

CTree_DD& TreeDropTarget() {
    static CTree_DD target;
    return target;
}

STDMETHODIMP CTree_DD::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CTree_DD::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

STDMETHODIMP_(ULONG) CTree_DD::Release() {
    return static_cast<ULONG>(InterlockedDecrement(&refCount_));
}

namespace {

HTREEITEM ItemAt(HWND treeView, POINTL screen) {
    TVHITTESTINFO hit{};
    hit.pt = POINT{screen.x, screen.y};
    ScreenToClient(treeView, &hit.pt);
    return TreeView_HitTest(treeView, &hit);
}

}  // namespace

CFolder* CTree_DD::TargetFolder(POINTL pt) {
    HWND treeView = Tree().TreeView();
    CFolder* root = Tree().RootFolderShown();
    if (!treeView || !root) return nullptr;
    HTREEITEM item = ItemAt(treeView, pt);
    if (!item) return root;
    return root->FindByTreeItem(item);
}

STDMETHODIMP CTree_DD::DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) {
    return DragOver(keyState, pt, effect);
}

STDMETHODIMP CTree_DD::DragOver(DWORD keyState, POINTL pt, DWORD* effect) {
    if (effect) *effect = DROPEFFECT_COPY;
    HWND treeView = Tree().TreeView();
    if (!treeView) return S_OK;
    HTREEITEM target = ItemAt(treeView, pt);
    if (!target) return S_OK;
    bool othersShown = false;
    for (HTREEITEM item = TreeView_GetFirstVisible(treeView); item; item = TreeView_GetNextVisible(treeView, item)) {
        if (item == target) continue;
        othersShown = true;
        TreeView_SetItemState(treeView, item, 0, TVIS_DROPHILITED);
    }
    TreeView_SetItemState(treeView, target, TVIS_DROPHILITED, TVIS_DROPHILITED);
    if (othersShown) {
        InvalidateRect(treeView, nullptr, TRUE);
        UpdateWindow(treeView);
    }
    return S_OK;
}

// The highlight stays until the next drag or selection change.
STDMETHODIMP CTree_DD::DragLeave() {
    return S_OK;
}

STDMETHODIMP CTree_DD::Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) {
    if (effect) *effect = DROPEFFECT_COPY;
    return KvGuarded(L"CTree_DD::Drop", __LINE__, E_UNEXPECTED, [&] {
        std::vector<std::wstring> paths;
        if (!KvReadDataObjectFiles(data, kMaxPathChars, paths)) return S_OK;
        TreeHost* host = Tree().Host();
        if (CFolder* folder = TargetFolder(pt); folder && host) host->FilesDropped(*folder, paths);
        return S_OK;
    });
}
