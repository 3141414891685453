// Drag and drop in the filer, driven through the real list view: the data a drag offers, drags
// started by the list view's begin-drag notification with the modal loop played by the test, drops
// onto subfolder and program entries, refused drops, and file lists dropped from outside.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "DataObject.h"
#include "FilerDrag.h"
#include "FilerTestFixture.h"
#include "Kv/KvClipboard.h"
#include "ShellRun.h"

using filer_test::AddSubfolder;
using tf_test::TempDir;
using tf_test::WriteBytes;

namespace {

class FakeSearch : public FilerAutoSearch {
public:
    void Start(CFolder&) override {}
    void StopAndWait() override {}
    bool Running() const override { return running; }
    bool running = false;
};

struct ShellCall {
    std::wstring file;
    std::wstring parameters;
};

class FilerDropTest : public filer_test::FilerFixture {
protected:
    void SetUp() override
    {
        withTree_ = true;
        FilerFixture::SetUp();
    }

    void TearDown() override
    {
        SetDragLoopHook(nullptr);
        SetShellOpenHook(nullptr);
        Filer().SetAutoSearch(nullptr);
        FilerFixture::TearDown();
    }

    // A file of a few bytes in `dir`, added to the current folder; its full path.
    std::wstring AddFile(const TempDir& dir, const std::wstring& name)
    {
        const std::wstring path = dir / name;
        EXPECT_TRUE(WriteBytes(path, {'x', 'y'}));
        EXPECT_TRUE(Filer().AddPath(path, false));
        return path;
    }

    void SelectOnly(std::initializer_list<int> items)
    {
        Select(-1, false);
        for (int item : items) Select(item, true);
    }

    // A screen point over the icon of an item, where hit tests find the item.
    POINTL At(int item) const
    {
        RECT icon{};
        icon.left = LVIR_ICON;
        SendMessageW(list_, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&icon));
        POINT point{(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
        ClientToScreen(list_, &point);
        return POINTL{point.x, point.y};
    }

    bool DropHighlighted(int item) const
    {
        return (SendMessageW(list_, LVM_GETITEMSTATE, item, LVIS_DROPHILITED) & LVIS_DROPHILITED) != 0;
    }

    // The begin-drag notification of the list view for a drag starting over `item`; returns
    // whether the modal loop ran. `inLoop` plays the user and the targets while it runs.
    bool DragFrom(int item, std::function<void(IDataObject*)> inLoop)
    {
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

    DWORD Enter(IDataObject* data, POINTL at)
    {
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
        EXPECT_EQ(Filer().DragEnter(data, MK_LBUTTON, at, &effect), S_OK);
        return effect;
    }

    DWORD Over(POINTL at)
    {
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
        EXPECT_EQ(Filer().DragOver(MK_LBUTTON, at, &effect), S_OK);
        return effect;
    }

    DWORD DropAt(IDataObject* data, POINTL at)
    {
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
        EXPECT_EQ(Filer().Drop(data, 0, at, &effect), S_OK);
        return effect;
    }
};

std::vector<std::wstring> FileListOf(IDataObject* data)
{
    std::vector<std::wstring> paths;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return paths;
    HDROP drop = static_cast<HDROP>(medium.hGlobal);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        wchar_t path[MAX_PATH] = {};
        DragQueryFileW(drop, i, path, MAX_PATH);
        paths.push_back(path);
    }
    ReleaseStgMedium(&medium);
    return paths;
}

template <typename Char>
std::basic_string<Char> TextOf(IDataObject* data, CLIPFORMAT clipFormat)
{
    FORMATETC format{clipFormat, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return {};
    std::basic_string<Char> text(static_cast<const Char*>(GlobalLock(medium.hGlobal)));
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    return text;
}

// A data object holding one global block under `format`.
kv::ComPtr<IDataObject> DataWith(CLIPFORMAT format, HGLOBAL block)
{
    kv::ComPtr<IDataObject> data(new CDataObject(1));
    FORMATETC fe{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block;
    EXPECT_EQ(data->SetData(&fe, &medium, TRUE), S_OK);
    return data;
}

TEST_F(FilerDropTest, DragOffersTheSelectedFilesOnlyAndStartsNoDragWithoutOne)
{
    TempDir dir;
    const std::wstring a = AddFile(dir, L"a.txt");
    const std::wstring b = AddFile(dir, L"b.txt");
    ASSERT_NE(AddSubfolder(RootFolder(), L"Sub"), nullptr);
    ASSERT_TRUE(Filer().AddPath(dir / L"gone.txt", false));
    const std::wstring c = AddFile(dir, L"c.txt");
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
    ASSERT_EQ(ItemCount(), 5);

    // Subfolder and missing entries name no file; the rest go in selection order.
    SelectOnly({0, 1, 2, 3, 4});
    kv::ComPtr<IDataObject> data(Filer().MakeDragData());
    ASSERT_TRUE(data);
    EXPECT_EQ(FileListOf(data.get()), (std::vector<std::wstring>{a, b, c}));
    EXPECT_EQ(TextOf<wchar_t>(data.get(), CF_UNICODETEXT), a);
    EXPECT_EQ(TextOf<char>(data.get(), CF_TEXT), std::string(a.begin(), a.end()));

    // The drag itself: the ghost image runs with the loop and is gone after it.
    // In report view the ghost spans the small icons, with the hot spot where the drag began.
    bool imaged = false;
    int width = 0, height = 0;
    EXPECT_TRUE(DragFrom(0, [&](IDataObject* offered) {
        POINT cursor{}, hotSpot{};
        HIMAGELIST image = ImageList_GetDragImage(&cursor, &hotSpot);
        imaged = image && ImageList_GetIconSize(image, &width, &height);
        EXPECT_EQ(hotSpot.x, 3);
        EXPECT_EQ(hotSpot.y, 4);
        EXPECT_EQ(FileListOf(offered), (std::vector<std::wstring>{a, b, c}));
    }));
    EXPECT_TRUE(imaged);
    EXPECT_EQ(width, GetSystemMetrics(SM_CXSMICON));
    EXPECT_GT(height, 2 * GetSystemMetrics(SM_CYSMICON));
    EXPECT_FALSE(Filer().InternalDrag());
    EXPECT_EQ(ImageList_GetDragImage(nullptr, nullptr), nullptr);

    // Elsewhere each item takes a band of the large icon's width.
    Filer().SetViewMode(kFilerViewIcons);
    SelectOnly({1});
    width = 0;
    EXPECT_TRUE(DragFrom(1, [&](IDataObject*) {
        HIMAGELIST image = ImageList_GetDragImage(nullptr, nullptr);
        if (image) ImageList_GetIconSize(image, &width, &height);
    }));
    EXPECT_EQ(width, 32);
    Filer().SetViewMode(kFilerViewReport);

    // Nothing to offer: no data and no drag.
    SelectOnly({2, 3});
    EXPECT_EQ(Filer().MakeDragData(), nullptr);
    EXPECT_FALSE(DragFrom(2, nullptr));
    EXPECT_EQ(ItemCount(), 5);
}

TEST_F(FilerDropTest, InternalDropOnSubfolderMovesSelectionWithItsFolders)
{
    TempDir dir;
    const std::wstring a = AddFile(dir, L"a.txt");
    const std::wstring b = AddFile(dir, L"b.txt");
    CFolder* source = AddSubfolder(RootFolder(), L"Source");
    ASSERT_NE(source, nullptr);
    CFolder* deep = AddSubfolder(*source, L"Deep");
    ASSERT_NE(deep, nullptr);
    CFolder* target = AddSubfolder(RootFolder(), L"Target");
    ASSERT_NE(target, nullptr);
    Tree().SetRootFolder(&RootFolder());
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
    ASSERT_EQ(ItemCount(), 4);  // a, b, Source, Target

    SelectOnly({0, 2});
    DWORD entered = 0, overFile = 0, dropped = 0;
    bool highlighted = false, clearedOverFile = false;
    EXPECT_TRUE(DragFrom(0, [&](IDataObject* data) {
        entered = Enter(data, At(3));
        highlighted = Filer().DropHighlight() == 3 && DropHighlighted(3);
        overFile = Over(At(1));  // a file that is no program is no target
        clearedOverFile = Filer().DropHighlight() == -1 && !DropHighlighted(3);
        Over(At(3));
        dropped = DropAt(data, At(3));
    }));
    EXPECT_EQ(entered, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_TRUE(highlighted);
    EXPECT_EQ(overFile, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_TRUE(clearedOverFile);
    EXPECT_EQ(dropped, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(Filer().DropHighlight(), -1);

    // The list keeps b and Target; the target holds a and Source, in selection order.
    ASSERT_EQ(ItemCount(), 2);
    EXPECT_EQ(ItemText(0, 1), b);
    EXPECT_EQ(ItemText(1, 0), L"Target");
    ASSERT_EQ(target->Count(), 2u);
    CEntry& movedFile = EntryAt(*target, 0);
    CEntry& movedFolder = EntryAt(*target, 1);
    EXPECT_EQ(movedFile.path, a);
    EXPECT_EQ(movedFile.owner, target);
    EXPECT_EQ(movedFolder.name, L"Source");
    ASSERT_EQ(movedFolder.subfolder.get(), source);

    // The moved folder hangs where it now is, with its own subtree under it.
    EXPECT_EQ(source->parent, target);
    EXPECT_EQ(source->ownerEntry, &movedFolder);
    EXPECT_EQ(deep->parent, source);
    EXPECT_EQ(RootFolder().FindById(deep->id), deep);
    EXPECT_EQ(source->Path(true), L"Target\\Source\\");

    // The tree shows Source under Target and no longer under the root.
    HWND tree = Tree().TreeView();
    ASSERT_NE(target->treeItem, nullptr);
    ASSERT_NE(source->treeItem, nullptr);
    EXPECT_EQ(TreeView_GetParent(tree, source->treeItem), target->treeItem);
    int rootChildren = 0;
    for (HTREEITEM item = TreeView_GetChild(tree, Tree().RootItem()); item; item = TreeView_GetNextSibling(tree, item))
        ++rootChildren;
    EXPECT_EQ(rootChildren, 1);
}

TEST_F(FilerDropTest, CancelledBackupQuestionKeepsUnmovedFilesInPlaceAndMovesFoldersWhole)
{
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
    ASSERT_NE(source, nullptr);
    ASSERT_NE(target, nullptr);
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));

    // The removal runs from the last file up: moved.txt goes, the question for kept.txt is
    // cancelled.
    tf_test::ModalResponder cancel(IDCANCEL);
    SelectOnly({0, 1, 2});
    EXPECT_TRUE(DragFrom(0, [&](IDataObject* data) {
        Enter(data, At(3));
        DropAt(data, At(3));
    }));
    ASSERT_EQ(cancel.seen().size(), 1u);
    EXPECT_EQ(cancel.seen()[0].title, GlobalText::Get(87));

    // No entry is left naming nothing, and no file sits in both folders.
    ASSERT_EQ(RootFolder().Count(), 2u);
    EXPECT_EQ(EntryAt(RootFolder(), 0).path, kept);
    EXPECT_EQ(EntryAt(RootFolder(), 1).subfolder.get(), target);
    ASSERT_EQ(target->Count(), 2u);
    EXPECT_EQ(EntryAt(*target, 0).subfolder.get(), source);
    EXPECT_EQ(EntryAt(*target, 1).path, moved);
    EXPECT_EQ(source->parent, target);
    EXPECT_EQ(ItemCount(), 2);
    EXPECT_TRUE(tf_test::FileExists(backups / L"b1\\info.xml"));
}

TEST_F(FilerDropTest, DropOntoADraggedEntryIsRefusedAndChangesNothing)
{
    TempDir dir;
    AddFile(dir, L"a.txt");
    CFolder* first = AddSubfolder(RootFolder(), L"First");
    CFolder* second = AddSubfolder(RootFolder(), L"Second");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    Tree().SetRootFolder(&RootFolder());
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));

    SelectOnly({0, 1});
    DWORD ontoItself = 0, ontoOther = 0, dropped = 0;
    bool highlightedItself = true;
    EXPECT_TRUE(DragFrom(0, [&](IDataObject* data) {
        ontoItself = Enter(data, At(1));
        highlightedItself = DropHighlighted(1) || Filer().DropHighlight() != -1;
        ontoOther = Over(At(2));  // an unselected folder still takes the drop
        dropped = DropAt(data, At(1));
    }));
    EXPECT_EQ(ontoItself, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_FALSE(highlightedItself);
    EXPECT_EQ(ontoOther, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(dropped, static_cast<DWORD>(DROPEFFECT_NONE));

    EXPECT_EQ(ItemCount(), 3);
    EXPECT_EQ(RootFolder().Count(), 3u);
    EXPECT_EQ(first->Count(), 0u);
    EXPECT_EQ(first->parent, &RootFolder());
    EXPECT_EQ(RootFolder().FindById(first->id), first);
    EXPECT_EQ(second->Count(), 0u);
}

TEST_F(FilerDropTest, InternalDragNearAnEdgeScrollsTheList)
{
    TempDir dir;
    AddFile(dir, L"first.txt");
    std::vector<std::wstring> gone;
    for (int i = 0; i < 80; ++i) gone.push_back(dir / (L"gone" + std::to_wstring(i) + L".txt"));
    ASSERT_EQ(Filer().AddPaths(gone, false), 80);
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
    RECT client{};
    GetClientRect(list_, &client);
    POINT top{client.right / 2, 5}, bottom{client.right / 2, client.bottom - 5};
    ClientToScreen(list_, &top);
    ClientToScreen(list_, &bottom);

    SelectOnly({0});
    int atStart = -1, afterDown = -1, afterUp = -1;
    EXPECT_TRUE(DragFrom(0, [&](IDataObject* data) {
        Enter(data, POINTL{top.x, top.y});
        atStart = GetScrollPos(list_, SB_VERT);
        for (int i = 0; i < 4; ++i) Over(POINTL{bottom.x, bottom.y});
        afterDown = GetScrollPos(list_, SB_VERT);
        for (int i = 0; i < 2; ++i) Over(POINTL{top.x, top.y});
        afterUp = GetScrollPos(list_, SB_VERT);
        Filer().DragLeave();
    }));
    EXPECT_EQ(atStart, 0);
    EXPECT_GT(afterDown, atStart);
    EXPECT_LT(afterUp, afterDown);
    EXPECT_EQ(ItemCount(), 81);
}

TEST_F(FilerDropTest, InternalDropOnProgramOpensItOnceWithEveryQuotedFile)
{
    TempDir dir;
    const std::wstring doc1 = AddFile(dir, L"doc1.txt");
    const std::wstring doc2 = AddFile(dir, L"doc2.txt");
    const std::wstring tool = AddFile(dir, L"tool.exe");
    AddFile(dir, L"LOUD.EXE");
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
    // The label decides; the shell's display name may hide the extension.
    EntryAt(RootFolder(), 2).displayText = L"tool.exe";
    EntryAt(RootFolder(), 3).displayText = L"LOUD.EXE";

    std::vector<ShellCall> calls;
    SetShellOpenHook([&](const std::wstring& file, const std::wstring& parameters) {
        calls.push_back({file, parameters});
        return true;
    });
    SelectOnly({0, 1});
    DWORD overUpperCase = 0, overProgram = 0, dropped = 0;
    EXPECT_TRUE(DragFrom(0, [&](IDataObject* data) {
        overUpperCase = Enter(data, At(3));
        overProgram = Over(At(2));
        dropped = DropAt(data, At(2));
    }));
    EXPECT_EQ(overUpperCase, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(overProgram, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(dropped, static_cast<DWORD>(DROPEFFECT_NONE));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].file, tool);
    EXPECT_EQ(calls[0].parameters, L"\"" + doc1 + L"\" \"" + doc2 + L"\" ");
    EXPECT_EQ(ItemCount(), 4);
}

TEST_F(FilerDropTest, OutsideDropSelectsKnownFilesAndAppendsNewOnes)
{
    TempDir dir;
    const std::wstring known = AddFile(dir, L"known.txt");
    AddFile(dir, L"other.txt");
    const std::wstring fresh = dir / L"fresh.txt";
    ASSERT_TRUE(WriteBytes(fresh, {'z'}));
    ASSERT_TRUE(Filer().ShowFolder(&RootFolder(), false));
    SelectOnly({1});

    const std::wstring tooLong = L"C:\\" + std::wstring(1100, L'x');
    kv::ComPtr<IDataObject> files(DataWith(CF_HDROP, KvMakeFileDrop({known, tooLong, fresh})));
    EXPECT_EQ(Enter(files.get(), At(0)), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(Filer().DropHighlight(), -1);
    EXPECT_EQ(DropAt(files.get(), At(0)), static_cast<DWORD>(DROPEFFECT_COPY));
    ASSERT_EQ(ItemCount(), 3);
    EXPECT_TRUE(Selected(0));
    EXPECT_FALSE(Selected(1));
    EXPECT_EQ(ItemText(2, 1), fresh);

    // Text alone is taken and adds nothing; anything else is refused.
    kv::ComPtr<IDataObject> text(DataWith(CF_TEXT, KvMakeTextGlobal(L"not a list")));
    EXPECT_EQ(Enter(text.get(), At(0)), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(DropAt(text.get(), At(0)), static_cast<DWORD>(DROPEFFECT_COPY));
    kv::ComPtr<IDataObject> other(DataWith(CF_UNICODETEXT, KvMakeTextGlobal(fresh)));
    EXPECT_EQ(Enter(other.get(), At(0)), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(DropAt(other.get(), At(0)), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(Filer().DragLeave(), S_OK);
    EXPECT_EQ(ItemCount(), 3);
}

TEST_F(FilerDropTest, OutsideDropsAreRefusedWhileTheAutomaticSearchRuns)
{
    TempDir dir;
    const std::wstring fresh = dir / L"fresh.txt";
    ASSERT_TRUE(WriteBytes(fresh, {'z'}));
    FakeSearch search;
    Filer().SetAutoSearch(&search);
    kv::ComPtr<IDataObject> files(DataWith(CF_HDROP, KvMakeFileDrop({fresh})));
    const POINTL anywhere = At(0);

    search.running = true;
    EXPECT_EQ(Enter(files.get(), anywhere), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(DropAt(files.get(), anywhere), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(ItemCount(), 0);

    search.running = false;
    EXPECT_EQ(Enter(files.get(), anywhere), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(DropAt(files.get(), anywhere), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(ItemCount(), 1);
}

}  // namespace
