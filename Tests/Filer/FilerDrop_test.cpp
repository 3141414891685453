// Drag and drop in the filer, driven through the real list view: the data a drag offers, drags
// started by the list view's begin-drag notification with the modal loop played by the test, drops
// onto subfolder and program entries, refused drops, and file lists dropped from outside.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "Ole/DataObject.h"
#include "Filer/DragDrop/FilerDrag.h"
#include "Support/FilerTestFixture.h"
#include "Kv/KvClipboard.h"
#include "Shell/ShellRun.h"

using filer_test::AddSubfolder;
using tf_test::TempDir;
using tf_test::WriteBytes;

namespace {

class FakeSearch : public FilerAutoSearch {
public:
    void Start(CFolder&, std::function<void()>) override {}
    std::vector<std::wstring> Stop() override { return {}; }
    bool Running() const override { return running; }
    std::vector<std::wstring> TakeFound() override { return {}; }
    bool running = false;
};

class FilerDropTest : public filer_test::FilerFixture {
protected:
    void SetUp() override {
        withTree_ = true;
        FilerFixture::SetUp();
    }

    void TearDown() override {
        SetDragLoopHook(nullptr);
        SetShellOpenHook(nullptr);
        Filer().SetAutoSearch(nullptr);
        FilerFixture::TearDown();
    }

    // A file of a few bytes in `dir`, added to the current folder; its full path.
    std::wstring AddFile(const TempDir& dir, const std::wstring& name) {
        const std::wstring path = dir / name;
        EXPECT_TRUE(WriteBytes(path, {'x', 'y'}));
        EXPECT_TRUE(Filer().AddPath(path, false));
        return path;
    }

    void SelectOnly(std::initializer_list<int> items) {
        Select(-1, false);
        for (int item : items) Select(item, true);
    }

    // A screen point over the icon of an item, where hit tests find the item.
    POINTL At(int item) const {
        RECT icon{};
        icon.left = LVIR_ICON;
        SendMessageW(list_, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&icon));
        POINT point{(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
        ClientToScreen(list_, &point);
        return POINTL{point.x, point.y};
    }

    // The highlight as the list view draws it; -1 when no item has it.
    int Highlighted() const {
        for (int i = 0; i < ItemCount(); ++i)
            if (SendMessageW(list_, LVM_GETITEMSTATE, i, LVIS_DROPHILITED) & LVIS_DROPHILITED) return i;
        return -1;
    }

    // The begin-drag notification of the list view for a drag starting over `item`; returns
    // whether the modal loop ran. `inLoop` plays the user and the targets while it runs.
    bool DragFrom(int item, std::function<void(IDataObject*)> inLoop) {
        bool ran = false;
        SetDragLoopHook([&](IDataObject* data, IDropSource*, DWORD allowed, DWORD* effect) {
            ran = true;
            EXPECT_EQ(allowed, static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_LINK));
            EXPECT_TRUE(Filer().InternalDrag());
            if (inLoop) inLoop(data);
            *effect = DROPEFFECT_NONE;
            return DRAGDROP_S_DROP;
        });
        NMLISTVIEW info{};
        info.iItem = item;
        RECT icon{};
        icon.left = LVIR_ICON;
        SendMessageW(list_, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&icon));
        info.ptAction = POINT{icon.left + 3, icon.top + 4};
        Notify(info.hdr, LVN_BEGINDRAG);
        SetDragLoopHook(nullptr);
        return ran;
    }

    // The drop target's answers: the effect each slot leaves.
    DWORD Enter(IDataObject* data, POINTL at) {
        DWORD effect = DROPEFFECT_COPY;
        Filer().DragEnter(data, MK_LBUTTON, at, &effect);
        return effect;
    }
    DWORD Over(POINTL at) {
        DWORD effect = DROPEFFECT_COPY;
        Filer().DragOver(MK_LBUTTON, at, &effect);
        return effect;
    }
    DWORD DropAt(IDataObject* data, POINTL at) {
        DWORD effect = DROPEFFECT_COPY;
        Filer().Drop(data, 0, at, &effect);
        return effect;
    }
};

constexpr DWORD kNone = DROPEFFECT_NONE;
constexpr DWORD kCopy = DROPEFFECT_COPY;

std::vector<std::wstring> FileListOf(IDataObject* data) {
    std::vector<std::wstring> paths;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return paths;
    HDROP drop = static_cast<HDROP>(medium.hGlobal);
    for (UINT i = 0, count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); i < count; ++i) {
        wchar_t path[MAX_PATH] = {};
        DragQueryFileW(drop, i, path, MAX_PATH);
        paths.push_back(path);
    }
    ReleaseStgMedium(&medium);
    return paths;
}

template <typename Char>
std::basic_string<Char> TextOf(IDataObject* data, CLIPFORMAT clipFormat) {
    FORMATETC format{clipFormat, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return {};
    std::basic_string<Char> text(static_cast<const Char*>(GlobalLock(medium.hGlobal)));
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    return text;
}

// A data object holding one global block under `format`, as another program would offer it.
kv::ComPtr<IDataObject> DataWith(CLIPFORMAT format, HGLOBAL block) {
    kv::ComPtr<IDataObject> data(new CDataObject(1));
    FORMATETC fe{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block;
    EXPECT_EQ(data->SetData(&fe, &medium, TRUE), S_OK);
    return data;
}

TEST_F(FilerDropTest, DragOffersTheSelectedFilesOnlyAndStartsNoDragWithoutOne) {
    TempDir dir;
    const std::wstring a = AddFile(dir, L"a.txt");
    const std::wstring b = AddFile(dir, L"b.txt");
    ASSERT_NE(AddSubfolder(RootFolder(), L"Sub"), nullptr);
    ASSERT_TRUE(Filer().AddPath(dir / L"gone.txt", false));
    const std::wstring c = AddFile(dir, L"c.txt");
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));

    // Subfolder and missing entries name no file; the rest go in selection order.
    SelectOnly({0, 1, 2, 3, 4});
    kv::ComPtr<IDataObject> data(Filer().MakeDragData());
    ASSERT_TRUE(data);
    EXPECT_EQ(FileListOf(data.get()), (std::vector<std::wstring>{a, b, c}));
    EXPECT_EQ(TextOf<wchar_t>(data.get(), CF_UNICODETEXT), a);
    EXPECT_EQ(TextOf<char>(data.get(), CF_TEXT), std::string(a.begin(), a.end()));

    // The ghost spans the small icons of the files, with the hot spot where the drag began, and
    // lives only as long as the drag.
    int width = 0, height = 0;
    EXPECT_TRUE(DragFrom(0, [&](IDataObject* offered) {
        POINT cursor{}, hotSpot{};
        HIMAGELIST image = ImageList_GetDragImage(&cursor, &hotSpot);
        if (image) ImageList_GetIconSize(image, &width, &height);
        EXPECT_EQ(hotSpot.x, 3);
        EXPECT_EQ(hotSpot.y, 4);
        EXPECT_EQ(FileListOf(offered), (std::vector<std::wstring>{a, b, c}));
    }));
    EXPECT_EQ(width, GetSystemMetrics(SM_CXSMICON));
    EXPECT_GT(height, 2 * GetSystemMetrics(SM_CYSMICON));
    EXPECT_FALSE(Filer().InternalDrag());
    EXPECT_EQ(ImageList_GetDragImage(nullptr, nullptr), nullptr);

    SelectOnly({2, 3});
    EXPECT_EQ(Filer().MakeDragData(), nullptr);
    EXPECT_FALSE(DragFrom(2, nullptr));
}

TEST_F(FilerDropTest, InternalDropMovesIntoASubfolderButNeverIntoADraggedOne) {
    TempDir dir;
    const std::wstring a = AddFile(dir, L"a.txt");
    const std::wstring b = AddFile(dir, L"b.txt");
    CFolder* source = AddSubfolder(RootFolder(), L"Source");
    ASSERT_NE(source, nullptr);
    CFolder* deep = AddSubfolder(*source, L"Deep");
    CFolder* target = AddSubfolder(RootFolder(), L"Target");
    ASSERT_NE(target, nullptr);
    Tree().SetRootFolder(&RootFolder());
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
    SelectOnly({0, 2});  // a and Source

    // Onto a dragged folder: no highlight, no effect, nothing moves.
    DWORD ontoItself = kCopy, refused = kCopy;
    EXPECT_TRUE(DragFrom(0, [&](IDataObject* data) {
        ontoItself = Enter(data, At(2));
        EXPECT_EQ(Highlighted(), -1);
        refused = DropAt(data, At(2));
    }));
    EXPECT_EQ(ontoItself, kNone);
    EXPECT_EQ(refused, kNone);
    EXPECT_EQ(ItemCount(), 4);
    EXPECT_EQ(source->parent, &RootFolder());
    EXPECT_EQ(RootFolder().FindById(deep->id), deep);

    // Onto another folder, past a plain file that is no target.
    DWORD overTarget = kNone, overFile = kCopy, dropped = kCopy;
    EXPECT_TRUE(DragFrom(0, [&](IDataObject* data) {
        overTarget = Enter(data, At(3));
        EXPECT_EQ(Highlighted(), 3);
        overFile = Over(At(1));
        EXPECT_EQ(Highlighted(), -1);
        Over(At(3));
        dropped = DropAt(data, At(3));
    }));
    EXPECT_EQ(overTarget, kCopy);
    EXPECT_EQ(overFile, kNone);
    EXPECT_EQ(dropped, kNone);
    EXPECT_EQ(Highlighted(), -1);

    ASSERT_EQ(ItemCount(), 2);
    EXPECT_EQ(ItemText(0, 1), b);
    EXPECT_EQ(ItemText(1, 0), L"Target");
    ASSERT_EQ(target->Count(), 2u);
    EXPECT_EQ(EntryAt(*target, 0).path, a);
    EXPECT_EQ(EntryAt(*target, 0).owner, target);
    ASSERT_EQ(EntryAt(*target, 1).subfolder.get(), source);

    // The moved folder hangs where it now is, with its subtree, in the model and in the tree.
    EXPECT_EQ(source->parent, target);
    EXPECT_EQ(source->ownerEntry, &EntryAt(*target, 1));
    EXPECT_EQ(RootFolder().FindById(deep->id), deep);
    EXPECT_EQ(deep->Path(true), L"Target\\Source\\Deep\\");
    HWND tree = Tree().TreeView();
    ASSERT_NE(source->treeItem, nullptr);
    EXPECT_EQ(TreeView_GetParent(tree, source->treeItem), target->treeItem);
    HTREEITEM only = TreeView_GetChild(tree, Tree().RootItem());
    EXPECT_EQ(only, target->treeItem);
    EXPECT_EQ(TreeView_GetNextSibling(tree, only), nullptr);
}

TEST_F(FilerDropTest, MovedEntriesKeepTheirBackupsWithoutAQuestion) {
    TempDir dir;
    TempDir backups;
    Project().backupDir = backups.path();
    ASSERT_TRUE(CreateDirectoryW((backups / L"b1").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(backups / L"b1\\info.xml", {'<', '/', '>'}));
    const std::wstring kept = AddFile(dir, L"kept.txt");
    EntryAt(RootFolder(), 0).backupName = L"b1";
    CFolder* source = AddSubfolder(RootFolder(), L"Source");
    const std::wstring moved = AddFile(dir, L"moved.txt");
    CFolder* target = AddSubfolder(RootFolder(), L"Target");
    ASSERT_NE(target, nullptr);
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));

    // Any box would be answered Yes, which would delete the backup of a removed entry.
    tf_test::ModalResponder yes(IDYES);
    SelectOnly({0, 1, 2});
    EXPECT_TRUE(DragFrom(0, [&](IDataObject* data) {
        Enter(data, At(3));
        DropAt(data, At(3));
    }));
    EXPECT_TRUE(yes.seen().empty());

    ASSERT_EQ(RootFolder().Count(), 1u);
    EXPECT_EQ(EntryAt(RootFolder(), 0).subfolder.get(), target);
    ASSERT_EQ(target->Count(), 3u);
    EXPECT_EQ(EntryAt(*target, 0).path, kept);
    EXPECT_EQ(EntryAt(*target, 0).backupName, L"b1");
    EXPECT_TRUE(EntryAt(*target, 0).HasBackup());
    EXPECT_EQ(EntryAt(*target, 1).subfolder.get(), source);
    EXPECT_EQ(EntryAt(*target, 2).path, moved);
    EXPECT_EQ(source->parent, target);
    EXPECT_EQ(ItemCount(), 1);
}

TEST_F(FilerDropTest, InternalDragNearAnEdgeScrollsTheList) {
    TempDir dir;
    AddFile(dir, L"first.txt");
    std::vector<std::wstring> gone;
    for (int i = 0; i < 80; ++i) gone.push_back(dir / (L"gone" + std::to_wstring(i) + L".txt"));
    ASSERT_EQ(Filer().AddPaths(gone, false), 80);
    RECT client{};
    GetClientRect(list_, &client);
    POINT top{client.right / 2, 5}, bottom{client.right / 2, client.bottom - 5};
    ClientToScreen(list_, &top);
    ClientToScreen(list_, &bottom);

    SelectOnly({0});
    int afterDown = 0, afterUp = 0;
    EXPECT_TRUE(DragFrom(0, [&](IDataObject* data) {
        Enter(data, POINTL{top.x, top.y});
        for (int i = 0; i < 4; ++i) Over(POINTL{bottom.x, bottom.y});
        afterDown = GetScrollPos(list_, SB_VERT);
        for (int i = 0; i < 2; ++i) Over(POINTL{top.x, top.y});
        afterUp = GetScrollPos(list_, SB_VERT);
        Filer().DragLeave();
    }));
    EXPECT_GT(afterDown, 0);
    EXPECT_LT(afterUp, afterDown);
}

TEST_F(FilerDropTest, InternalDropOnProgramOpensItOnceWithEveryQuotedFile) {
    TempDir dir;
    const std::wstring doc1 = AddFile(dir, L"doc1.txt");
    const std::wstring doc2 = AddFile(dir, L"doc2.txt");
    const std::wstring tool = AddFile(dir, L"tool.exe");
    AddFile(dir, L"LOUD.EXE");
    // The label decides; the shell's display name may hide the extension.
    EntryAt(RootFolder(), 2).EditDisplay().displayText = L"tool.exe";
    EntryAt(RootFolder(), 3).EditDisplay().displayText = L"LOUD.EXE";

    std::vector<std::wstring> calls;
    SetShellOpenHook([&](const std::wstring& file, const std::wstring& parameters) {
        calls.push_back(file + L"|" + parameters);
        return true;
    });
    SelectOnly({0, 1});
    DWORD overUpperCase = kCopy, overProgram = kNone, dropped = kCopy;
    EXPECT_TRUE(DragFrom(0, [&](IDataObject* data) {
        overUpperCase = Enter(data, At(3));
        overProgram = Over(At(2));
        dropped = DropAt(data, At(2));
    }));
    EXPECT_EQ(overUpperCase, kNone);
    EXPECT_EQ(overProgram, kCopy);
    EXPECT_EQ(dropped, kNone);
    EXPECT_EQ(calls, (std::vector<std::wstring>{tool + L"|\"" + doc1 + L"\" \"" + doc2 + L"\" "}));
    EXPECT_EQ(ItemCount(), 4);
}

TEST_F(FilerDropTest, OutsideDropSelectsKnownFilesAppendsNewOnesAndWaitsForTheSearch) {
    TempDir dir;
    const std::wstring known = AddFile(dir, L"known.txt");
    AddFile(dir, L"other.txt");
    const std::wstring fresh = dir / L"fresh.txt";
    ASSERT_TRUE(WriteBytes(fresh, {'z'}));
    SelectOnly({1});
    const std::wstring tooLong = L"C:\\" + std::wstring(1100, L'x');
    kv::ComPtr<IDataObject> files(DataWith(CF_HDROP, KvMakeFileDrop({known, tooLong, fresh})));

    // Refused while the folder's automatic search is adding to the same list.
    FakeSearch search;
    Filer().SetAutoSearch(&search);
    search.running = true;
    EXPECT_EQ(Enter(files.get(), At(0)), kNone);
    EXPECT_EQ(DropAt(files.get(), At(0)), kNone);
    EXPECT_EQ(ItemCount(), 2);
    EXPECT_TRUE(Selected(1));

    search.running = false;
    EXPECT_EQ(Enter(files.get(), At(0)), kCopy);
    EXPECT_EQ(DropAt(files.get(), At(0)), kCopy);
    ASSERT_EQ(ItemCount(), 3);
    EXPECT_TRUE(Selected(0));
    EXPECT_FALSE(Selected(1));
    EXPECT_EQ(ItemText(2, 1), fresh);

    // Text alone is taken and adds nothing; anything else is refused.
    kv::ComPtr<IDataObject> text(DataWith(CF_TEXT, KvMakeTextGlobal(L"not a list")));
    EXPECT_EQ(Enter(text.get(), At(0)), kCopy);
    EXPECT_EQ(DropAt(text.get(), At(0)), kCopy);
    kv::ComPtr<IDataObject> other(DataWith(CF_UNICODETEXT, KvMakeTextGlobal(fresh)));
    EXPECT_EQ(Enter(other.get(), At(0)), kNone);
    EXPECT_EQ(DropAt(other.get(), At(0)), kNone);
    EXPECT_EQ(ItemCount(), 3);
}

}  // namespace
