// The find in the project through the real main window: a project of a few hundred entries in
// nested folders, with Japanese names in every form the matching folds together. Typing narrows
// the result list keystroke by keystroke; a jump selects the entry in its folder; Esc returns to
// the folder shown before; an entry removed from the model leaves the results; the missing-entries
// list finds the gone files, relinks the moved ones and removes the rest after one question each.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Config/Settings.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "Filer/KvFiler.h"
#include "Filer/Menu/FilerMenu.h"
#include "Find/FindPane.h"
#include "Follow/IdentityStore.h"
#include "MainWindow/MainWindow.h"
#include "Support/EmptyProject.h"
#include "Support/TestSupport.h"
#include "Tree/Tree.h"

namespace {

// Keys with this thread's key state showing Ctrl held (or not), as a keyboard would send them.
void SendKey(HWND window, WPARAM key, bool control) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    const BYTE previous = keys[VK_CONTROL];
    keys[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(keys);
    MSG msg{window, WM_KEYDOWN, key, 0, 0, {}};
    if (!MainWindow().TranslateKey(msg)) SendMessageW(window, WM_KEYDOWN, key, 0);
    keys[VK_CONTROL] = previous;
    SetKeyboardState(keys);
}

void Type(HWND edit, wchar_t ch) {
    SendMessageW(edit, WM_CHAR, ch, 0);
    tf_test::PumpMessages();
}

template <class Done>
bool WaitFor(Done done, DWORD ms = 20000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        tf_test::PumpMessages(10);
    }
    return true;
}

std::wstring FileNameOf(const std::wstring& path) {
    return path.substr(path.find_last_of(L'\\') + 1);
}

class FindTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tf_test::StartWithEmptyProject());
        ReadSettings(Settings());
        Project().treePane = 1;
        Project().allowAlias = 1;
        ASSERT_TRUE(MainWindow().Create());
        hwnd_ = MainWindow().Hwnd();
        SetWindowPos(hwnd_, nullptr, 0, 0, 900, 600, SWP_NOZORDER | SWP_NOMOVE);
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        BuildProject();
        Tree().SetRootFolder(&RootFolder());
        Filer().ShowRootAfterLoad();
        tf_test::PumpMessages();
    }
    void TearDown() override {
        MainWindow().Destroy();
        ResetFolderModel();
        ResetProject();
    }

    CFolder* AddFolder(CFolder& parent, const std::wstring& name) {
        CEntry& entry = parent.Append();
        entry.name = name;
        EXPECT_TRUE(parent.CreateSubfolder(entry, kFolderKindPlain));
        return entry.subfolder.get();
    }
    CEntry& AddFile(CFolder& folder, const std::wstring& directory, const std::wstring& name) {
        const std::wstring path = directory + name;
        EXPECT_TRUE(tf_test::WriteText(path, "x"));
        CEntry& entry = folder.Append();
        entry.path = path;
        entry.name = name;
        return entry;
    }

    // 親 › 子 › 孫 and its neighbours, 300 plain entries spread over them, and the named ones.
    void BuildProject() {
        const std::wstring files = dir_.path();
        const std::wstring other = dir_ / L"棚\\";
        CreateDirectoryW(other.c_str(), nullptr);
        CFolder& root = RootFolder();
        parent_ = AddFolder(root, L"親");
        child_ = AddFolder(*parent_, L"子");
        grandchild_ = AddFolder(*child_, L"孫");
        CFolder* side = AddFolder(root, L"倉庫");
        CFolder* folders[] = {&root, parent_, child_, grandchild_, side};
        for (int i = 0; i < 300; ++i) {
            wchar_t name[32];
            swprintf(name, 32, L"資料 %03d.txt", i);
            AddFile(*folders[i % 5], i % 2 ? files : other, name);
        }
        half_ = &AddFile(*side, files, L"ｶﾀｶﾅ資料.txt");
        full_ = &AddFile(*grandchild_, files, L"カタカナ一覧.txt");
        hira_ = &AddFile(*child_, other, L"かたかな練習.txt");
        AddFile(*parent_, files, L"ｶﾞｲﾄﾞ.txt");
        AddFile(root, files, L"ＡＢＣ報告書.txt");
        AddFile(*side, other, L"abc-memo.txt");
        AddFile(*grandchild_, files, L"ABCD.txt");
        AddFile(*child_, files, L"ひらがな.txt");
        AddFile(*side, files, L"ヒラガナ.txt");
        CEntry& aliased = AddFile(*parent_, files, L"doc1.txt");
        aliased.alias = L"重要な書類";
        aliased.aliasMode = 1;
        AddFolder(*side, L"カタログ");
    }

    // The shown names of the result rows, sorted.
    std::set<std::wstring> Rows() {
        std::set<std::wstring> names;
        CFindPane& pane = FindPane();
        for (size_t i = 0; i < pane.RowCount(); ++i) {
            CEntry* entry = pane.RowEntry(static_cast<int>(i));
            names.insert(entry->IsSubfolderEntry() ? entry->name.str() : FileNameOf(entry->ResolvedPath()));
        }
        return names;
    }
    int RowOf(const CEntry* entry) {
        for (size_t i = 0; i < FindPane().RowCount(); ++i)
            if (FindPane().RowEntry(static_cast<int>(i)) == entry) return static_cast<int>(i);
        return -1;
    }
    void SelectRow(int row) {
        HWND list = FindPane().ResultList();
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    std::wstring CellText(int row, int column) {
        wchar_t text[512] = {};
        ListView_GetItemText(FindPane().ResultList(), row, column, text, 512);
        return text;
    }

    tf_test::TempDir dir_;
    HWND hwnd_ = nullptr;
    CFolder* parent_ = nullptr;
    CFolder* child_ = nullptr;
    CFolder* grandchild_ = nullptr;
    CEntry* half_ = nullptr;
    CEntry* full_ = nullptr;
    CEntry* hira_ = nullptr;
};

TEST_F(FindTest, TypingNarrowsJumpSelectsEscReturnsAndRemovedEntriesLeave) {
    CFindPane& pane = FindPane();
    HWND edit = pane.FindBox();
    Filer().NavigateTo(child_);

    // Ctrl+F in the filer puts the focus in the find box.
    SendKey(Filer().ListView(), 'F', true);
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_FALSE(pane.ResultsShown());

    // Half-width katakana typed finds full-width katakana and hiragana too, narrowing as it goes.
    Type(edit, L'ｶ');
    EXPECT_TRUE(pane.ResultsShown());
    EXPECT_FALSE(IsWindowVisible(Filer().Container()));
    EXPECT_EQ(Rows(), (std::set<std::wstring>{L"ｶﾀｶﾅ資料.txt", L"カタカナ一覧.txt", L"かたかな練習.txt", L"カタログ"}));
    Type(edit, L'ﾀ');
    EXPECT_EQ(Rows().size(), 4u);
    Type(edit, L'ｶ');
    EXPECT_EQ(Rows(), (std::set<std::wstring>{L"ｶﾀｶﾅ資料.txt", L"カタカナ一覧.txt", L"かたかな練習.txt"}));
    Type(edit, L'ﾅ');
    EXPECT_EQ(Rows().size(), 3u);
    // A second word must match as well.
    Type(edit, L' ');
    EXPECT_EQ(Rows().size(), 3u);
    Type(edit, L'一');
    EXPECT_EQ(Rows(), (std::set<std::wstring>{L"カタカナ一覧.txt"}));
    const std::wstring& separator = pane.FolderSeparator();
    EXPECT_TRUE(separator == L" \u203A " || separator == L" \u00BB ");
    EXPECT_EQ(CellText(0, 1), L"親" + separator + L"子" + separator + L"孫");
    EXPECT_NE(pane.StatusText().find(L"1"), std::wstring::npos);

    // Voiced half-width kana, case and width, hiragana for katakana, and an alias.
    SetWindowTextW(edit, L"ガイ");
    tf_test::PumpMessages();
    EXPECT_EQ(Rows(), (std::set<std::wstring>{L"ｶﾞｲﾄﾞ.txt"}));
    SetWindowTextW(edit, L"abc");
    tf_test::PumpMessages();
    EXPECT_EQ(Rows(), (std::set<std::wstring>{L"ＡＢＣ報告書.txt", L"abc-memo.txt", L"ABCD.txt"}));
    SetWindowTextW(edit, L"ＡＢＣＤ");
    tf_test::PumpMessages();
    EXPECT_EQ(Rows(), (std::set<std::wstring>{L"ABCD.txt"}));
    SetWindowTextW(edit, L"ﾋﾗｶﾞﾅ");
    tf_test::PumpMessages();
    EXPECT_EQ(Rows(), (std::set<std::wstring>{L"ひらがな.txt", L"ヒラガナ.txt"}));
    SetWindowTextW(edit, L"じゅうよう 重要");
    tf_test::PumpMessages();
    EXPECT_TRUE(Rows().empty());
    SetWindowTextW(edit, L"重要");
    tf_test::PumpMessages();
    EXPECT_EQ(Rows(), (std::set<std::wstring>{L"doc1.txt"}));
    EXPECT_EQ(CellText(0, 0), L"重要な書類");

    // Esc in the find box: the list goes, the filer shows the folder it showed before.
    SendKey(edit, VK_ESCAPE, false);
    EXPECT_FALSE(pane.ResultsShown());
    EXPECT_TRUE(IsWindowVisible(Filer().Container()));
    EXPECT_EQ(Filer().CurrentFolder(), child_);
    EXPECT_EQ(GetWindowTextLengthW(edit), 0);

    // An entry removed from its folder leaves the results, whoever removed it.
    SetWindowTextW(edit, L"かたかな");
    tf_test::PumpMessages();
    ASSERT_EQ(Rows().size(), 3u);
    CFolder& side = *half_->owner;
    int index = 0;
    for (CEntry& entry : side.entries) {
        if (&entry == half_) break;
        ++index;
    }
    side.RemoveAt(static_cast<size_t>(index));
    tf_test::PumpMessages();
    EXPECT_EQ(Rows(), (std::set<std::wstring>{L"カタカナ一覧.txt", L"かたかな練習.txt"}));
    {
        // Delete in the list asks once and removes the entry from its own folder.
        tf_test::ModalResponder answer(IDOK);
        SelectRow(RowOf(hira_));
        SetFocus(pane.ResultList());
        SendKey(pane.ResultList(), VK_DELETE, false);
        EXPECT_EQ(answer.seen().size(), 1u);
    }
    tf_test::PumpMessages();
    EXPECT_EQ(Rows(), (std::set<std::wstring>{L"カタカナ一覧.txt"}));
    for (const CEntry& entry : child_->entries) EXPECT_NE(entry.name, L"かたかな練習.txt");

    // The entry menu's commands act on the entry of the row, in its own folder.
    SelectRow(0);
    pane.RunMenuCommand(kFilerCmdColourFirst + 2);
    EXPECT_EQ(full_->colour, 2);

    // Ctrl+Enter on a row: the filer shows the entry's folder with the entry selected.
    SetFocus(pane.ResultList());
    SelectRow(0);
    SendKey(pane.ResultList(), VK_RETURN, true);
    EXPECT_FALSE(pane.ResultsShown());
    EXPECT_EQ(Filer().CurrentFolder(), grandchild_);
    const int selected = Filer().FirstSelected();
    ASSERT_GE(selected, 0);
    EXPECT_EQ(Filer().EntryAtIndex(selected), full_);
    EXPECT_EQ(TreeView_GetSelection(Tree().TreeView()), grandchild_->treeItem);
}

TEST_F(FindTest, MissingEntriesAreListedRelinkedAndRemoved) {
    CFindPane& pane = FindPane();
    // The filer shows a folder none of the files below belong to, so that its own live view has
    // nothing to look for meanwhile.
    Filer().NavigateTo(grandchild_);
    // The files' identities are known, as after a save; then two files move and three are deleted.
    ProjectIdentities().Refresh(RootFolder());
    const std::wstring moved = dir_ / L"移動先\\";
    CreateDirectoryW(moved.c_str(), nullptr);
    std::vector<CEntry*> movedEntries;
    std::vector<CEntry*> deletedEntries;
    const std::set<std::wstring> toMove{L"資料 010.txt", L"資料 021.txt"};
    const std::set<std::wstring> toDelete{L"資料 100.txt", L"資料 155.txt", L"資料 222.txt"};
    ForEachFileEntry(RootFolder(), [&](CFolder&, CEntry& entry, int) {
        const std::wstring path = entry.ResolvedPath();
        if (toMove.count(entry.name)) {
            EXPECT_TRUE(MoveFileW(path.c_str(), (moved + entry.name).c_str()));
            movedEntries.push_back(&entry);
        } else if (toDelete.count(entry.name)) {
            EXPECT_TRUE(DeleteFileW(path.c_str()));
            deletedEntries.push_back(&entry);
        }
    });
    ASSERT_EQ(movedEntries.size(), 2u);
    ASSERT_EQ(deletedEntries.size(), 3u);

    SendMessageW(hwnd_, WM_COMMAND, kCmdMissingEntries, 0);
    EXPECT_EQ(pane.CurrentMode(), CFindPane::Mode::Missing);
    ASSERT_TRUE(WaitFor([&] { return !pane.MissingCheckRunning() && pane.StatusText().find(L"5") != std::wstring::npos; }));
    EXPECT_EQ(pane.RowCount(), 5u);
    std::set<CEntry*> listed;
    for (size_t i = 0; i < pane.RowCount(); ++i) listed.insert(pane.RowEntry(static_cast<int>(i)));
    for (CEntry* entry : movedEntries) EXPECT_TRUE(listed.count(entry));
    for (CEntry* entry : deletedEntries) EXPECT_TRUE(listed.count(entry));

    // The entry menu's search for one selected row: its question, Yes, and the row goes.
    tf_test::ModalResponder answers(IDYES);
    SelectRow(RowOf(movedEntries[0]));
    pane.RunMenuCommand(kFilerCmdFindMoved);
    ASSERT_TRUE(WaitFor([&] { return pane.RowCount() == 4; }));
    ASSERT_EQ(answers.seen().size(), 1u);

    // One search for all: the relink question, then the question removing the rest, both Yes.
    pane.FindMoved(true);
    ASSERT_TRUE(WaitFor([&] { return answers.seen().size() >= 3; }));
    tf_test::PumpMessages();
    ASSERT_EQ(answers.seen().size(), 3u);
    EXPECT_EQ(answers.seen()[0].title, GlobalText::Get(kGtRelinkTitle));
    EXPECT_EQ(answers.seen()[1].title, GlobalText::Get(kGtRelinkTitle));
    EXPECT_EQ(answers.seen()[2].title, GlobalText::Get(kGtMissingRemoveTitle));
    for (CEntry* entry : movedEntries) EXPECT_EQ(entry->ResolvedPath(), moved + FileNameOf(entry->path));
    size_t entries = 0;
    bool anyGone = false;
    ForEachFileEntry(RootFolder(), [&](CFolder&, CEntry& entry, int) {
        ++entries;
        anyGone = anyGone || !tf_test::FileExists(entry.ResolvedPath());
    });
    EXPECT_FALSE(anyGone);
    EXPECT_EQ(entries, 310u - 3u);
    EXPECT_EQ(pane.RowCount(), 0u);

    // Esc leaves the list for the folder shown before.
    SendKey(pane.ResultList(), VK_ESCAPE, false);
    EXPECT_FALSE(pane.ResultsShown());
    EXPECT_EQ(Filer().CurrentFolder(), grandchild_);

    // With the files' drive not answering (a hung share), the list is left at once all the same.
    tf_test::HungRoot hung(dir_.path());
    SendMessageW(hwnd_, WM_COMMAND, kCmdMissingEntries, 0);
    tf_test::PumpMessages(300);
    EXPECT_TRUE(pane.MissingCheckRunning());
    const DWORD start = GetTickCount();
    SendKey(pane.ResultList(), VK_ESCAPE, false);
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_FALSE(pane.ResultsShown());
}

}  // namespace
