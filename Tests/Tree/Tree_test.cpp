// The subfolder pane through its real windows: the container and its close button, the lazily
// filled tree view over a real folder model, navigation of the real filer, and drops of a data
// object carrying a CF_HDROP block. The pane reports to a recording host, which passes chosen
// folders and dropped files on to the real filer as the main window does.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "Support/FilerTestFixture.h"
#include "Document/Folder.h"
#include "Filer/KvFiler.h"
#include "Kv/KvClipboard.h"
#include "Config/Settings.h"
#include "Support/TestSupport.h"
#include "Tree/Tree.h"

namespace {

using filer_test::AddSubfolder;

// A data object offering `paths` as one file list (CF_HDROP in global memory, a fresh block for
// every request); with no paths it offers nothing. Lives on the stack: the count is not kept.
class FileList : public IDataObject {
public:
    explicit FileList(std::vector<std::wstring> paths) : paths_(std::move(paths)) {}
    virtual ~FileList() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject);
        *object = known ? static_cast<IDataObject*>(this) : nullptr;
        return known ? S_OK : E_NOINTERFACE;
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
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        bool offered = !paths_.empty() && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL);
        return offered ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    std::vector<std::wstring> paths_;
};

// The pane beside the real filer (showing the root), over the model
//   root: A -> B -> C -> D,  E (music, no subfolders),  I (image),  one file entry.
class TreePane : public filer_test::FilerFixture {
protected:
    void SetUp() override {
        withTree_ = true;
        FilerFixture::SetUp();
        if (HasFatalFailure()) return;
        tree_ = Tree().TreeView();
        MoveWindow(Tree().Hwnd(), 0, CKvToolBar::kHeight, 240, 420, TRUE);
        MoveWindow(Filer().Container(), 240, CKvToolBar::kHeight, 560, 420, TRUE);
        ShowWindow(parent_, SW_SHOWNOACTIVATE);
        CFolder& root = RootFolder();
        a_ = AddSubfolder(root, L"A");
        b_ = AddSubfolder(*a_, L"B");
        c_ = AddSubfolder(*b_, L"C");
        d_ = AddSubfolder(*c_, L"D");
        e_ = AddSubfolder(root, L"E");
        e_->kind = kFolderKindMusic;
        i_ = AddSubfolder(root, L"I");
        i_->kind = kFolderKindImage;
        root.Append().path = L"C:\\not-a-folder.txt";
        Filer().ShowFolder(&root, false);
    }

    std::vector<std::wstring> ChildTexts(HTREEITEM item) const {
        std::vector<std::wstring> texts;
        for (HTREEITEM c = TreeView_GetChild(tree_, item); c; c = TreeView_GetNextSibling(tree_, c))
            texts.push_back(Info(c).text);
        return texts;
    }
    struct ItemInfo {
        std::wstring text;
        TVITEMW item;
    };
    ItemInfo Info(HTREEITEM item) const {
        ItemInfo info{std::wstring(512, L'\0'), TVITEMW{}};
        info.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
        info.item.hItem = item;
        info.item.pszText = &info.text[0];
        info.item.cchTextMax = 512;
        TreeView_GetItem(tree_, &info.item);
        info.text.resize(wcslen(info.text.c_str()));
        return info;
    }
    UINT State(HTREEITEM item, UINT mask) const { return TreeView_GetItemState(tree_, item, mask); }
    // Screen point over an item's label, or 10 pixels above the bottom of the empty tree space.
    POINTL At(HTREEITEM item) const {
        RECT rc{};
        GetClientRect(tree_, &rc);
        POINT pt{10, rc.bottom - 10};
        if (item && TreeView_GetItemRect(tree_, item, &rc, TRUE))
            pt = POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
        ClientToScreen(tree_, &pt);
        return POINTL{pt.x, pt.y};
    }
    DWORD Drop(HTREEITEM item, const std::vector<std::wstring>& paths) {
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
        FileList data(paths);
        EXPECT_EQ(TreeDropTarget().Drop(&data, 0, At(item), &effect), S_OK);
        return effect;
    }

    HWND tree_ = nullptr;
    CFolder *a_ = nullptr, *b_ = nullptr, *c_ = nullptr, *d_ = nullptr, *e_ = nullptr, *i_ = nullptr;
};

TEST(TreeColours, SelectionBackgroundIsTruncatedHalfMix) {
    EXPECT_EQ(TreeMixColour(RGB(200, 200, 255), RGB(0, 120, 215)), RGB(100, 160, 235));
    // 200 + 0.5 * (51 - 200) = 125.5 and 0 + 0.5 * 201 = 100.5 are both cut down.
    EXPECT_EQ(TreeMixColour(RGB(200, 0, 201), RGB(51, 201, 0)), RGB(125, 100, 100));
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_EQ(CTree::SelectedItemBackground(true), highlight);
    EXPECT_EQ(CTree::SelectedItemBackground(false), TreeMixColour(Settings().backColor, highlight));
}

TEST_F(TreePane, LayoutStylesAndCustomDraw) {
    HWND pane = Tree().Hwnd();
    RECT client{}, view{};
    GetClientRect(pane, &client);
    GetWindowRect(tree_, &view);
    MapWindowPoints(nullptr, pane, reinterpret_cast<POINT*>(&view), 2);
    EXPECT_EQ(view.top, kTreeCaptionHeight);
    EXPECT_EQ(view.right - view.left, client.right);
    EXPECT_EQ(view.bottom, client.bottom);
    const RECT button = Tree().CloseButton();
    EXPECT_EQ(button.left, client.right - 18);
    EXPECT_EQ(button.top + button.right + button.bottom, 3 + 12 + 12);
    EXPECT_EQ(ImageList_GetImageCount(TreeView_GetImageList(tree_, TVSIL_NORMAL)), 4);

    const LONG_PTR style = GetWindowLongPtrW(tree_, GWL_STYLE);
    Tree().SetBackColor(RGB(10, 20, 30));
    EXPECT_EQ(TreeView_GetBkColor(tree_), static_cast<COLORREF>(RGB(10, 20, 30)));
    EXPECT_EQ(GetWindowLongPtrW(tree_, GWL_STYLE), style);

    NMTVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = tree_;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(SendMessageW(pane, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw)), CDRF_NOTIFYITEMDRAW);
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.uItemState = CDIS_SELECTED;
    EXPECT_EQ(SendMessageW(pane, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw)), CDRF_NEWFONT);
    EXPECT_EQ(draw.clrTextBk, CTree::SelectedItemBackground(GetFocus() == tree_));
}

TEST_F(TreePane, CloseButtonHoverSwapsIconAndReleaseTogglesPane) {
    HWND pane = Tree().Hwnd();
    const RECT b = Tree().CloseButton();
    auto move = [&](int x, int y) { SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); };
    auto pixels = [&]() {
        RedrawWindow(pane, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        std::vector<COLORREF> shot;
        kv::WindowDc dc(pane);
        for (int y = b.top; y < b.top + 16; ++y)
            for (int x = b.left; x < b.left + 16; ++x) shot.push_back(GetPixel(dc.get(), x, y));
        return shot;
    };

    move(5, 5);
    const std::vector<COLORREF> normal = pixels();
    SendMessageW(pane, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(treeHost_.closeRequests, 0);

    // The rectangle includes its right and bottom edges.
    move(b.left + b.right + 1, b.top);
    EXPECT_FALSE(Tree().CloseHover());
    move(b.left + b.right, b.top + b.bottom);
    EXPECT_TRUE(Tree().CloseHover());
    EXPECT_NE(pixels(), normal);
    SendMessageW(pane, WM_LBUTTONUP, 0, MAKELPARAM(b.left + 4, b.top + 4));
    // The host toggles the pane (the main window: command 2511, see MainWindow_test).
    EXPECT_EQ(treeHost_.closeRequests, 1);

    move(b.left - 1, b.top);
    EXPECT_FALSE(Tree().CloseHover());
    EXPECT_EQ(pixels(), normal);
}

TEST_F(TreePane, RootItemsAndLazyLevels) {
    const std::wstring title = L"\u30D7\u30ED\u30B8\u30A7\u30AF\u30C8 - demo.tfolder";
    SetWindowTextW(parent_, title.c_str());
    Tree().SetRootFolder(&RootFolder());
    HTREEITEM root = Tree().RootItem();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Info(root).text, title);
    EXPECT_EQ(RootFolder().treeItem, root);
    EXPECT_TRUE(State(root, TVIS_EXPANDED));
    EXPECT_EQ(TreeView_GetSelection(tree_), root);
    EXPECT_EQ(Filer().History().Size(), 1u);  // loading does not navigate

    // Subfolder entries only, in entry order, carrying their folder and their kind as image.
    EXPECT_EQ(ChildTexts(root), (std::vector<std::wstring>{L"A", L"E", L"I"}));
    EXPECT_EQ(Info(a_->treeItem).item.lParam, reinterpret_cast<LPARAM>(a_));
    EXPECT_EQ(Info(a_->treeItem).item.iImage, 1);
    EXPECT_EQ(Info(e_->treeItem).item.iSelectedImage, 2);
    EXPECT_EQ(Info(i_->treeItem).item.iImage, 3);

    // A shows an expand button before it was ever expanded, E none; B's level waits until A opens.
    EXPECT_EQ(Info(a_->treeItem).item.cChildren, 1);
    EXPECT_EQ(ChildTexts(a_->treeItem), std::vector<std::wstring>{L"B"});
    EXPECT_EQ(Info(e_->treeItem).item.cChildren, 0);
    EXPECT_EQ(c_->treeItem, nullptr);
    TreeView_Expand(tree_, a_->treeItem, TVE_EXPAND);
    ASSERT_NE(c_->treeItem, nullptr);
    EXPECT_EQ(Info(b_->treeItem).item.cChildren, 1);
    EXPECT_EQ(d_->treeItem, nullptr);

    // A reload cuts a long title to 255 characters and forgets every old item.
    const std::wstring longTitle(300, L'x');
    SetWindowTextW(parent_, longTitle.c_str());
    Tree().SetRootFolder(&RootFolder());
    EXPECT_EQ(Info(Tree().RootItem()).text, longTitle.substr(0, 255));
    EXPECT_EQ(c_->treeItem, nullptr);
}

TEST_F(TreePane, RefreshFollowsTheModel) {
    Tree().SetRootFolder(&RootFolder());
    Tree().SelectFolderSilently(d_);
    ASSERT_NE(d_->treeItem, nullptr);

    CFolder* f = AddSubfolder(RootFolder(), L"F");
    a_->ownerEntry->name = L"A2";
    RootFolder().RemoveAt(1);  // E
    Tree().RefreshFolder(&RootFolder());
    EXPECT_EQ(ChildTexts(Tree().RootItem()), (std::vector<std::wstring>{L"A2", L"I", L"F"}));
    EXPECT_NE(f->treeItem, nullptr);
    EXPECT_EQ(RootFolder().FindByTreeItem(a_->treeItem), a_);
    // Children and grandchildren are remade; folders further down lose their deleted items.
    EXPECT_NE(b_->treeItem, nullptr);
    EXPECT_EQ(c_->treeItem, nullptr);
    EXPECT_EQ(d_->treeItem, nullptr);
    // The refresh deleted the selected item without navigating the filer.
    EXPECT_EQ(Filer().CurrentFolder(), &RootFolder());
}

TEST_F(TreePane, RemovingASubfolderEntryInTheFilerTakesItsItemsAway) {
    Tree().SetRootFolder(&RootFolder());
    TreeView_Expand(tree_, a_->treeItem, TVE_EXPAND);
    ASSERT_NE(c_->treeItem, nullptr);

    // A is the first entry of the root, which the filer shows.
    Select(0, true);
    {
        tf_test::ModalResponder ok(IDOK);
        SendMessageW(list_, WM_KEYDOWN, VK_DELETE, 0);
    }
    ASSERT_EQ(RootFolder().Count(), 3u);
    EXPECT_EQ(ChildTexts(Tree().RootItem()), (std::vector<std::wstring>{L"E", L"I"}));
    // Every item left names a folder of the model: none points at A, B or C, which are gone.
    std::vector<HTREEITEM> pending{Tree().RootItem()};
    while (!pending.empty()) {
        HTREEITEM item = pending.back();
        pending.pop_back();
        EXPECT_NE(RootFolder().FindByTreeItem(item), nullptr) << Info(item).text;
        for (HTREEITEM c = TreeView_GetChild(tree_, item); c; c = TreeView_GetNextSibling(tree_, c))
            pending.push_back(c);
    }
}

TEST_F(TreePane, SelectionNavigatesUnlessSilent) {
    Tree().SetRootFolder(&RootFolder());
    TreeView_SelectItem(tree_, a_->treeItem);
    EXPECT_EQ(treeHost_.chosen, std::vector<CFolder*>{a_});
    EXPECT_EQ(Filer().CurrentFolder(), a_);
    EXPECT_EQ(Filer().History().Size(), 2u);

    // The filer's own navigations move the tree without navigating again, also down to a folder
    // whose item and whose ancestors' first expansions were still to come.
    Tree().SelectFolderSilently(i_);
    EXPECT_EQ(TreeView_GetSelection(tree_), i_->treeItem);
    Tree().SelectFolderSilently(d_);
    ASSERT_NE(d_->treeItem, nullptr);
    EXPECT_EQ(TreeView_GetSelection(tree_), d_->treeItem);
    EXPECT_EQ(Info(d_->treeItem).text, L"D");
    EXPECT_EQ(Filer().CurrentFolder(), a_);
    EXPECT_EQ(Filer().History().Size(), 2u);
    EXPECT_EQ(treeHost_.chosen.size(), 1u);

    // A drop highlight follows the drag and is cleared by the next selection in the tree.
    DWORD effect = 0;
    FileList empty({});
    ASSERT_EQ(TreeDropTarget().DragEnter(&empty, 0, At(i_->treeItem), &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_TRUE(State(i_->treeItem, TVIS_DROPHILITED));
    TreeDropTarget().DragOver(0, At(a_->treeItem), &effect);
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

    // On a folder the filer does not show: entries with their paths only, in drop order.
    EXPECT_EQ(Drop(e_->treeItem, {files[0], files[1], files[2]}), static_cast<DWORD>(DROPEFFECT_COPY));
    ASSERT_EQ(e_->Count(), 3u);
    for (size_t k = 0; k < 3; ++k) EXPECT_EQ(e_->EntryAt(k)->path, files[k]);
    EXPECT_TRUE(e_->EntryAt(0)->Display().displayText.empty());
    // A path the folder holds adds nothing; one too long for the drop buffer is skipped, not cut.
    Drop(e_->treeItem, {files[1], dir.path() + std::wstring(1100, L'y'), files[3]});
    ASSERT_EQ(treeHost_.drops.size(), 2u);
    EXPECT_EQ(treeHost_.drops[1].folder, e_);
    EXPECT_EQ(treeHost_.drops[1].paths, (std::vector<std::wstring>{files[1], files[3]}));
    ASSERT_EQ(e_->Count(), 4u);
    EXPECT_EQ(e_->EntryAt(3)->path, files[3]);

    // Below the items: the root folder, which the filer shows, so its list grows as well.
    const size_t rootCount = RootFolder().Count();
    const int listCount = ItemCount();
    EXPECT_EQ(Drop(nullptr, {files[0]}), static_cast<DWORD>(DROPEFFECT_COPY));
    ASSERT_EQ(RootFolder().Count(), rootCount + 1);
    EXPECT_EQ(RootFolder().EntryAt(rootCount)->path, files[0]);
    EXPECT_EQ(ItemCount(), listCount + 1);

    // No file list on offer: copy is reported and nothing changes.
    EXPECT_EQ(Drop(a_->treeItem, {}), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(a_->Count(), 1u);
}

}  // namespace
