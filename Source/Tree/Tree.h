// The subfolder pane on the left of the main window: a container window "CTree" with a caption
// ("サブフォルダ") and a close button, holding a tree view of the project's folders. The root item
// stands for the root folder and carries the main window's title; items are made lazily, always one
// level below every visible item so that expand buttons show where subfolders exist. What the user
// does reaches the pane's owner through its TreeHost (TreeHost.h): a selected item, files dropped
// on an item (CTree_DD), a click on the close button.
//
// Each CFolder's `treeItem` names its live item or is null: whenever items are deleted, the
// folders below them lose their handles first, so a handle found in the model is never stale.
// Tree items carry their CFolder as item parameter, but the pane always finds folders through the
// model (FindByTreeItem) rather than trusting a parameter whose folder may already be gone.
// UI thread only.
#pragma once

#include <windows.h>
#include <string>
#include <commctrl.h>
#include <oleidl.h>

#include "Kv/KvHandles.h"

class CFolder;
class TreeHost;

// Height of the caption strip above the tree view at 96 DPI.
constexpr int kTreeCaptionHeight = 20;

// The colour of a selected item while the tree view lacks the focus: each channel is
// first + 0.5 * (second - first), truncated.
COLORREF TreeMixColour(COLORREF first, COLORREF second);

class CTree {
public:
    CTree() = default;
    CTree(const CTree&) = delete;
    CTree& operator=(const CTree&) = delete;

    // Registers "CTree", creates the container (150x100 at (0,0) of `parent`, static edge), its
    // caption font, the tree view below the caption, the folder image list and the drop target.
    // `host` (may be null) stays the pane's host until Destroy. False after an error box; the pane
    // is then unusable.
    bool Create(HWND parent, TreeHost* host);
    // Revokes the drop target, frees the image list, font and icons, destroys the tree view and
    // the container, unregisters the class and forgets the host. Safe to call twice.
    void Destroy();

    TreeHost* Host() const { return host_; }

    // Rebuilds the whole tree for `folder`: root item labelled with the main window's title (the
    // pane's top-level window), its children and grandchildren; the root is expanded and selected
    // without telling the host.
    void SetRootFolder(CFolder* folder);
    // The root item's label (the main window's title, which changes with the folder on screen).
    void SetRootText(const std::wstring& text);
    // Replaces the children of `item` by one item per subfolder entry of `folder`, in entry order.
    void FillChildren(HTREEITEM item, CFolder* folder);
    // FillChildren for every subfolder of `folder` that has an item.
    void FillGrandchildren(CFolder* folder);
    // FillChildren(folder's item, folder) and FillGrandchildren(folder), after subfolders of
    // `folder` were created, renamed or removed. Nothing happens for a folder without an item.
    void RefreshFolder(CFolder* folder);
    // Moves the selection to the folder's item without telling the host. When the folder has no
    // item yet, the items on the way down from its nearest shown ancestor are made first.
    void SelectFolderSilently(CFolder* folder);
    // Background colour of the tree view; the line styles are toggled so the lines follow it.
    void SetBackColor(COLORREF colour);

    // Lays out the tree view and the close button for a container of the given client size.
    void Layout(int width, int height);
    // Scales the pane to `dpi`: caption, close button, folder images and the tree view's font. Create
    // calls it with the DPI of the parent.
    void SetDpi(UINT dpi);
    UINT Dpi() const { return dpi_; }
    int CaptionHeight() const;

    HWND Hwnd() const { return hwnd_; }
    HWND TreeView() const { return treeView_; }
    HTREEITEM RootItem() const { return rootItem_; }
    CFolder* RootFolderShown() const { return rootFolder_; }
    HIMAGELIST ImageList() const { return imageList_.get(); }
    RECT CloseButton() const { return closeButton_; }  // left, top, width (right), height (bottom)
    bool CloseHover() const { return closeHover_ != 0; }

    // The background of a selected item in custom draw: the highlight colour while the tree view
    // has the focus, otherwise the highlight mixed half-and-half with the configured background.
    static COLORREF SelectedItemBackground(bool focused);

private:
    friend LRESULT CALLBACK TreeContainerProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK TreeViewSubclassProc(HWND, UINT, WPARAM, LPARAM);

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    bool CreateImageList();
    void OnPaint();
    void OnMouseMove(int x, int y);
    void OnLeftButtonUp();
    void SetCloseHover(bool hover);
    bool InCloseButton(int x, int y) const;
    LRESULT OnNotify(NMHDR* header);
    void OnSelectionChanged(const NMTREEVIEWW& info);
    LRESULT OnCustomDraw(NMTVCUSTOMDRAW* draw);
    void OnContainerDestroyed();
    // Clears `treeItem` of every folder below `folder` (not of `folder` itself).
    void ForgetItemsBelow(CFolder* folder);
    // The folder's item, with the items on the way down from the root made and expanded.
    HTREEITEM EnsureItem(CFolder* folder);

    HWND hwnd_ = nullptr;      // container, window class "CTree"
    HWND treeView_ = nullptr;  // "SysTreeView32", child of the container
    WNDPROC prevTreeProc_ = nullptr;
    kv::UniqueFont captionFont_;
    kv::UniqueFont itemFont_;  // the tree view's font at dpi_
    kv::UniqueImageList imageList_;
    kv::UniqueIcon closeIcon_;
    kv::UniqueIcon closeHotIcon_;
    HTREEITEM rootItem_ = nullptr;
    CFolder* rootFolder_ = nullptr;
    RECT closeButton_{0, 0, 0, 0};  // left, top, width, height
    unsigned char closeHover_ = 0;
    unsigned char suppressSelection_ = 0;  // set: a selection change is not reported to the host
    bool dropRegistered_ = false;
    TreeHost* host_ = nullptr;  // owned by the pane's owner; null: nothing outside is told
    UINT dpi_ = 96;
};

// The tree view's OLE drop target: files dropped on an item go to the pane's host for that item's
// folder, files dropped below the items for the root folder. A process-wide object; its reference
// count never frees it.
class CTree_DD : public IDropTarget {
public:
    CTree_DD() = default;
    virtual ~CTree_DD() = default;
    CTree_DD(const CTree_DD&) = delete;
    CTree_DD& operator=(const CTree_DD&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) override;
    STDMETHODIMP DragOver(DWORD keyState, POINTL pt, DWORD* effect) override;
    STDMETHODIMP DragLeave() override;
    STDMETHODIMP Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) override;

    // The folder a drop at screen point `pt` goes to: the folder of the item under it, the root
    // folder below the items, null when an item is hit that no folder owns.
    static CFolder* TargetFolder(POINTL pt);
    // Longest dropped path taken; a longer one is skipped rather than cut to another file's name.
    static constexpr UINT kMaxPathChars = 1023;

private:
    LONG refCount_ = 1;
};

// The single pane and its drop target.
CTree& Tree();
CTree_DD& TreeDropTarget();
