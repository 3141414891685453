// The subfolder pane through its real windows: the container and its caption button, the lazily
// filled tree view over a real folder model, navigation of the real filer, and drops of a real
// data object carrying a CF_HDROP block.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "FilerTestFixture.h"
#include "Folder.h"
#include "KvFiler.h"
#include "Kv/KvClipboard.h"
#include "MainWindow.h"
#include "Settings.h"
#include "Support/TestSupport.h"
#include "Tree.h"

namespace {

using filer_test::AddSubfolder;

// A data object that offers one file list (CF_HDROP, global memory) or, when built without
// paths, nothing at all. Lives on the test's stack; its reference count is not used.
class FileListData : public IDataObject {
public:
    explicit FileListData(std::vector<std::wstring> paths, bool offer = true)
        : paths_(std::move(paths)), offer_(offer) {}
    virtual ~FileListData() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *object = static_cast<IDataObject*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = KvMakeFileDrop(paths_);
        medium->pUnkForRelease = nullptr;
        return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        bool ok = offer_ && format && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL);
        return ok ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    std::vector<std::wstring> paths_;
    bool offer_;
};

std::vector<UINT> g_commands;
WNDPROC g_parentProc = nullptr;

LRESULT CALLBACK RecordingParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) g_commands.push_back(LOWORD(wp));
    return CallWindowProcW(g_parentProc, hwnd, msg, wp, lp);
}

// The pane beside the real filer, over a model of
//   root: A (kind 1) -> B -> C -> D,  E (music, no subfolders),  I (image),  a file entry.
class TreePane : public filer_test::FilerFixture {
protected:
    void SetUp() override {
        withTree_ = true;
        FilerFixture::SetUp();
        if (HasFatalFailure()) return;
        tree_ = Tree().TreeView();
        MoveWindow(Tree().Hwnd(), 0, CKvToolBar::kHeight, 240, 420, TRUE);

        CFolder& root = RootFolder();
        a_ = AddSubfolder(root, L"A");
        b_ = AddSubfolder(*a_, L"B");
        c_ = AddSubfolder(*b_, L"C");
        d_ = AddSubfolder(*c_, L"D");
        CEntry& music = root.Append();
        music.name = L"E";
        root.CreateSubfolder(music, 2);
        e_ = music.subfolder.get();
        CEntry& image = root.Append();
        image.name = L"I";
        root.CreateSubfolder(image, 3);
        i_ = image.subfolder.get();
        root.Append().path = L"C:\\not-a-folder.txt";
        Filer().ShowFolder(&root, false);
    }

    void TearDown() override {
        if (g_parentProc) SetWindowLongPtrW(parent_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_parentProc));
        g_parentProc = nullptr;
        g_commands.clear();
        FilerFixture::TearDown();
    }

    std::vector<HTREEITEM> Children(HTREEITEM item) const {
        std::vector<HTREEITEM> items;
        for (HTREEITEM c = TreeView_GetChild(tree_, item); c; c = TreeView_GetNextSibling(tree_, c))
            items.push_back(c);
        return items;
    }
    std::wstring Text(HTREEITEM item) const {
        wchar_t buffer[512] = {};
        TVITEMW tv{};
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        tv.pszText = buffer;
        tv.cchTextMax = 512;
        TreeView_GetItem(tree_, &tv);
        return buffer;
    }
    TVITEMW Info(HTREEITEM item) const {
        TVITEMW tv{};
        tv.mask = TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_STATE;
        tv.stateMask = 0xFFFF;
        tv.hItem = item;
        TreeView_GetItem(tree_, &tv);
        return tv;
    }
    UINT State(HTREEITEM item, UINT mask) const { return TreeView_GetItemState(tree_, item, mask); }

    // Screen point over the middle of an item's label.
    POINTL Over(HTREEITEM item) const {
        RECT rc{};
        TreeView_GetItemRect(tree_, item, &rc, TRUE);
        POINT pt{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
        ClientToScreen(tree_, &pt);
        return POINTL{pt.x, pt.y};
    }
    // Screen point in the empty space below the last item.
    POINTL BelowItems() const {
        RECT client{};
        GetClientRect(tree_, &client);
        POINT pt{10, client.bottom - 10};
        ClientToScreen(tree_, &pt);
        return POINTL{pt.x, pt.y};
    }
    HRESULT DropOn(POINTL pt, IDataObject* data, DWORD* effect) {
        *effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
        return TreeDropTarget().Drop(data, 0, pt, effect);
    }

    HWND tree_ = nullptr;
    CFolder *a_ = nullptr, *b_ = nullptr, *c_ = nullptr, *d_ = nullptr, *e_ = nullptr, *i_ = nullptr;
};

TEST(TreeColours, SelectionBackgroundIsTruncatedHalfMix) {
    EXPECT_EQ(TreeMixColour(RGB(200, 200, 255), RGB(0, 120, 215)), RGB(100, 160, 235));
    // 200 + 0.5 * (51 - 200) = 125.5 and 0 + 0.5 * 201 = 100.5 are both cut down.
    EXPECT_EQ(TreeMixColour(RGB(200, 0, 201), RGB(51, 201, 0)), RGB(125, 100, 100));
    EXPECT_EQ(TreeMixColour(RGB(255, 255, 255), RGB(255, 255, 255)), RGB(255, 255, 255));

    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_EQ(CTree::SelectedItemBackground(true), highlight);
    EXPECT_EQ(CTree::SelectedItemBackground(false), TreeMixColour(Settings().backColor, highlight));
}

TEST_F(TreePane, ContainerCaptionAndLayout) {
    HWND pane = Tree().Hwnd();
    wchar_t className[32] = {};
    GetClassNameW(pane, className, 32);
    EXPECT_STREQ(className, L"CTree");
    EXPECT_EQ(GetParent(pane), parent_);
    EXPECT_TRUE(GetWindowLongPtrW(pane, GWL_EXSTYLE) & WS_EX_STATICEDGE);
    GetClassNameW(tree_, className, 32);
    EXPECT_STREQ(className, WC_TREEVIEWW);
    EXPECT_EQ(GetParent(tree_), pane);
    const LONG_PTR style = GetWindowLongPtrW(tree_, GWL_STYLE);
    EXPECT_EQ(style & (TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT),
              TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT);
    EXPECT_FALSE(style & TVS_EDITLABELS);
    EXPECT_EQ(TreeView_GetImageList(tree_, TVSIL_NORMAL), Tree().ImageList());
    EXPECT_EQ(ImageList_GetImageCount(Tree().ImageList()), 4);

    RECT client{};
    GetClientRect(pane, &client);
    RECT view{};
    GetWindowRect(tree_, &view);
    MapWindowPoints(nullptr, pane, reinterpret_cast<POINT*>(&view), 2);
    EXPECT_EQ(view.left, 0);
    EXPECT_EQ(view.top, kTreeCaptionHeight);
    EXPECT_EQ(view.right, client.right);
    EXPECT_EQ(view.bottom, client.bottom);
    RECT button = Tree().CloseButton();
    EXPECT_EQ(button.left, client.right - 18);
    EXPECT_EQ(button.top, 3);
    EXPECT_EQ(button.right, 12);
    EXPECT_EQ(button.bottom, 12);

    // Background change keeps the line styles.
    Tree().SetBackColor(RGB(10, 20, 30));
    EXPECT_EQ(TreeView_GetBkColor(tree_), static_cast<COLORREF>(RGB(10, 20, 30)));
    EXPECT_EQ(GetWindowLongPtrW(tree_, GWL_STYLE), style);

    // Custom draw asks for items and sets the background of a selected one.
    NMTVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = tree_;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(SendMessageW(pane, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw)), CDRF_NOTIFYITEMDRAW);
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.uItemState = CDIS_SELECTED;
    draw.clrTextBk = 1;
    EXPECT_EQ(SendMessageW(pane, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw)), CDRF_NEWFONT);
    EXPECT_EQ(draw.clrTextBk, CTree::SelectedItemBackground(GetFocus() == tree_));
}

TEST_F(TreePane, CloseButtonHoverAndRelease) {
    g_parentProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(parent_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingParentProc)));
    HWND pane = Tree().Hwnd();
    const RECT b = Tree().CloseButton();

    // Left button release away from the button does nothing.
    SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_FALSE(Tree().CloseHover());
    SendMessageW(pane, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(g_commands.empty());

    // The rectangle includes its right and bottom edges.
    SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(b.left + b.right, b.top + b.bottom));
    EXPECT_TRUE(Tree().CloseHover());
    SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(b.left + b.right + 1, b.top));
    EXPECT_FALSE(Tree().CloseHover());
    SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(b.left - 1, b.top));
    EXPECT_FALSE(Tree().CloseHover());

    SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(b.left + 4, b.top + 4));
    ASSERT_TRUE(Tree().CloseHover());
    SendMessageW(pane, WM_LBUTTONUP, 0, MAKELPARAM(b.left + 4, b.top + 4));
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0], static_cast<UINT>(kCmdToggleTreePane));
}

TEST_F(TreePane, CloseButtonIconSwapsOnHover) {
    HWND pane = Tree().Hwnd();
    const RECT b = Tree().CloseButton();
    auto snapshot = [&]() {
        RedrawWindow(pane, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        std::vector<COLORREF> pixels;
        kv::WindowDc dc(pane);
        for (int y = b.top; y < b.top + 16; ++y)
            for (int x = b.left; x < b.left + 16; ++x) pixels.push_back(GetPixel(dc.get(), x, y));
        return pixels;
    };
    SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    const std::vector<COLORREF> normal = snapshot();
    SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(b.left + 6, b.top + 6));
    const std::vector<COLORREF> hot = snapshot();
    SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    EXPECT_NE(normal, hot);
    EXPECT_EQ(snapshot(), normal);
}

TEST_F(TreePane, RootItemsAndLazyLevels) {
    SetWindowTextW(parent_, L"\u30D7\u30ED\u30B8\u30A7\u30AF\u30C8 - demo.tfolder");
    Tree().SetRootFolder(&RootFolder());
    HTREEITEM root = Tree().RootItem();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Text(root), L"\u30D7\u30ED\u30B8\u30A7\u30AF\u30C8 - demo.tfolder");
    EXPECT_EQ(RootFolder().treeItem, root);
    EXPECT_TRUE(State(root, TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_EQ(TreeView_GetSelection(tree_), root);
    // Selecting the root while loading does not navigate the filer.
    EXPECT_EQ(Filer().History().Size(), 1u);

    // Subfolder entries only, in entry order, with the folder as parameter and its kind as image.
    std::vector<HTREEITEM> top = Children(root);
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(Text(top[0]), L"A");
    EXPECT_EQ(Text(top[1]), L"E");
    EXPECT_EQ(Text(top[2]), L"I");
    EXPECT_EQ(a_->treeItem, top[0]);
    EXPECT_EQ(Info(top[0]).lParam, reinterpret_cast<LPARAM>(a_));
    EXPECT_EQ(Info(top[0]).iImage, 1);
    EXPECT_EQ(Info(top[1]).iImage, 2);
    EXPECT_EQ(Info(top[1]).iSelectedImage, 2);
    EXPECT_EQ(Info(top[2]).iImage, 3);

    // A has an expand button before it was ever expanded; E has none.
    EXPECT_EQ(Children(top[0]).size(), 1u);
    EXPECT_EQ(Info(top[0]).cChildren, 1);
    EXPECT_FALSE(State(top[0], TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_TRUE(Children(top[1]).empty());
    EXPECT_EQ(Info(top[1]).cChildren, 0);
    // B is not visible yet, so its own children wait.
    EXPECT_NE(b_->treeItem, nullptr);
    EXPECT_EQ(c_->treeItem, nullptr);

    TreeView_Expand(tree_, a_->treeItem, TVE_EXPAND);
    ASSERT_NE(c_->treeItem, nullptr);
    EXPECT_EQ(Text(c_->treeItem), L"C");
    EXPECT_EQ(Info(b_->treeItem).cChildren, 1);
    EXPECT_EQ(d_->treeItem, nullptr);

    // A long title is cut to 255 characters.
    std::wstring longTitle(300, L'x');
    SetWindowTextW(parent_, longTitle.c_str());
    Tree().SetRootFolder(&RootFolder());
    EXPECT_EQ(Text(Tree().RootItem()), longTitle.substr(0, 255));
    EXPECT_EQ(c_->treeItem, nullptr);  // the old items are gone with their handles
}

TEST_F(TreePane, RefreshFollowsTheModel) {
    Tree().SetRootFolder(&RootFolder());
    Tree().SelectFolderSilently(d_);
    ASSERT_NE(d_->treeItem, nullptr);

    CFolder* f = AddSubfolder(RootFolder(), L"F");
    a_->ownerEntry->name = L"A2";
    RootFolder().RemoveAt(1);  // E
    e_ = nullptr;
    Tree().RefreshFolder(&RootFolder());
    std::vector<HTREEITEM> top = Children(Tree().RootItem());
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(Text(top[0]), L"A2");
    EXPECT_EQ(Text(top[1]), L"I");
    EXPECT_EQ(Text(top[2]), L"F");
    EXPECT_EQ(f->treeItem, top[2]);
    // Children and grandchildren are remade; deeper folders lose their deleted items.
    EXPECT_NE(b_->treeItem, nullptr);
    EXPECT_EQ(c_->treeItem, nullptr);
    EXPECT_EQ(d_->treeItem, nullptr);
    EXPECT_EQ(RootFolder().FindByTreeItem(top[0]), a_);

    // A folder without an item is left alone.
    Tree().RefreshFolder(d_);
    EXPECT_EQ(d_->treeItem, nullptr);
}

TEST_F(TreePane, SelectionNavigatesUnlessSilent) {
    Tree().SetRootFolder(&RootFolder());
    ASSERT_EQ(Filer().CurrentFolder(), &RootFolder());

    // A selection made in the tree navigates the filer and records the folder in the history.
    TreeView_SelectItem(tree_, a_->treeItem);
    EXPECT_EQ(Filer().CurrentFolder(), a_);
    EXPECT_EQ(Filer().History().Size(), 2u);

    // The filer's own navigations move the tree without navigating again, down to folders whose
    // items were not made yet.
    Tree().SelectFolderSilently(i_);
    EXPECT_EQ(TreeView_GetSelection(tree_), i_->treeItem);
    EXPECT_EQ(Filer().CurrentFolder(), a_);
    Tree().SelectFolderSilently(d_);
    ASSERT_NE(d_->treeItem, nullptr);
    EXPECT_EQ(TreeView_GetSelection(tree_), d_->treeItem);
    EXPECT_EQ(Text(d_->treeItem), L"D");
    EXPECT_TRUE(State(c_->treeItem, TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_EQ(Filer().CurrentFolder(), a_);
    EXPECT_EQ(Filer().History().Size(), 2u);

    // A refresh that deletes the selected item moves the selection without navigating; then
    // the silent selection finds its way down through ancestors that were never expanded.
    Tree().RefreshFolder(&RootFolder());
    EXPECT_EQ(Filer().CurrentFolder(), a_);
    Tree().SelectFolderSilently(d_);
    ASSERT_NE(d_->treeItem, nullptr);
    EXPECT_EQ(TreeView_GetSelection(tree_), d_->treeItem);
    EXPECT_EQ(RootFolder().FindByTreeItem(TreeView_GetSelection(tree_)), d_);
    EXPECT_EQ(Filer().CurrentFolder(), a_);

    // A drop highlight left by a drag goes with the next selection in the tree.
    DWORD effect = 0;
    FileListData nothing({}, false);
    ASSERT_EQ(TreeDropTarget().DragEnter(&nothing, 0, Over(i_->treeItem), &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_TRUE(State(i_->treeItem, TVIS_DROPHILITED));
    ASSERT_EQ(TreeDropTarget().DragOver(0, Over(a_->treeItem), &effect), S_OK);
    EXPECT_TRUE(State(a_->treeItem, TVIS_DROPHILITED));
    EXPECT_FALSE(State(i_->treeItem, TVIS_DROPHILITED));
    TreeDropTarget().DragLeave();
    EXPECT_TRUE(State(a_->treeItem, TVIS_DROPHILITED));
    TreeView_SelectItem(tree_, i_->treeItem);
    EXPECT_EQ(Filer().CurrentFolder(), i_);
    EXPECT_FALSE(State(a_->treeItem, TVIS_DROPHILITED | TVIS_SELECTED));
}

TEST_F(TreePane, DropAddsFilesToTheFolderUnderTheCursor) {
    Tree().SetRootFolder(&RootFolder());
    tf_test::TempDir dir;
    std::vector<std::wstring> files;
    for (const wchar_t* name : {L"one.txt", L"two.txt", L"three.txt", L"four.txt"}) {
        files.push_back(dir / name);
        ASSERT_TRUE(tf_test::WriteText(files.back(), "x"));
    }

    // On a folder that the filer does not show: three entries appended with their paths only.
    DWORD effect = 0;
    FileListData three({files[0], files[1], files[2]});
    ASSERT_EQ(DropOn(Over(e_->treeItem), &three, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    ASSERT_EQ(e_->Count(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(e_->EntryAt(k)->path, files[k]);
        EXPECT_TRUE(e_->EntryAt(k)->displayText.empty());
    }
    // A path the folder already holds adds nothing; a path too long for the drop buffer is
    // skipped rather than cut to another name.
    std::wstring tooLong = dir.path() + std::wstring(1100, L'y');
    FileListData again({files[1], tooLong, files[3]});
    DropOn(Over(e_->treeItem), &again, &effect);
    ASSERT_EQ(e_->Count(), 4u);
    EXPECT_EQ(e_->EntryAt(3)->path, files[3]);

    // Below the items: the root folder, which the filer shows, so its list grows too.
    const size_t rootCount = RootFolder().Count();
    const int listCount = ItemCount();
    FileListData one({files[0]});
    DropOn(BelowItems(), &one, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    ASSERT_EQ(RootFolder().Count(), rootCount + 1);
    EXPECT_EQ(RootFolder().EntryAt(rootCount)->path, files[0]);
    EXPECT_EQ(ItemCount(), listCount + 1);

    // No file list on offer: copy is reported and nothing changes.
    FileListData none({files[2]}, false);
    EXPECT_EQ(DropOn(Over(a_->treeItem), &none, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(a_->Count(), 1u);
}

TEST_F(TreePane, DropTargetInterfaces) {
    IDropTarget* target = &TreeDropTarget();
    void* out = nullptr;
    EXPECT_EQ(target->QueryInterface(IID_IDropTarget, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(target));
    target->Release();
    EXPECT_EQ(target->QueryInterface(IID_IUnknown, &out), S_OK);
    target->Release();
    EXPECT_EQ(target->QueryInterface(IID_IDataObject, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    // The pane registered it with OLE: a second registration of the tree view is refused.
    EXPECT_EQ(RegisterDragDrop(tree_, target), DRAGDROP_E_ALREADYREGISTERED);
}

}  // namespace
