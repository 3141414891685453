// The running organiser searching folders: a root folder searched each time it is shown fills the
// list as the matches come, and the search settings dialog run from the menu command fills it on
// confirmation; the saved project keeps the entries and the settings.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Support/AppProcess.h"
#include "Support/ProjectBytes.h"
#include "Support/TestSupport.h"

using namespace tf_test;

namespace {

// An empty root folder whose search settings walk `searchPath` at every level, automatically or not.
std::vector<unsigned char> AutoSearchProject(const std::wstring& searchPath, bool autoUpdate = true) {
    ProjectBytes f;
    f.Magic(10).U32(44).Placement(40, 40, 840, 600).Str(L"%FileName%");
    f.U16(0).U16(2).U16(0).U16(1).Str(L"").U32(0).U16(0).U8(1).U8(0);
    for (int i = 0; i < 10; ++i) f.Str(L"");
    f.U8(1).U8(0).U8(0).U8(0).U8(0).U8(0).U16(150).Fill(248);
    f.U32(160).U32(120).U32(70).U32(110).U32(120).U32(kFilerViewReport).Fill(64);
    f.U32(2).U32(0).U32(1).U16(1).U16(0).U32(kFolderKindPlain);
    f.Str(searchPath).I32(1).Str(L"").U8(0).U8(0).U8(0).U8(0).U32(0).U8(autoUpdate ? 1 : 0).U8(0).U16(0);
    return f.bytes;
}

bool WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 400; ++i) {
        if (done()) return true;
        Sleep(50);
    }
    return false;
}

}  // namespace

TEST(AppSearch, AFolderSearchedWhenShownFillsTheListAndTheProject) {
    TempDir dir;
    const std::wstring found = dir / L"found\\";
    ASSERT_TRUE(CreateDirectoryW(found.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((found + L"sub").c_str(), nullptr));
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"sub\\c.txt"}) ASSERT_TRUE(WriteText(found + name, "x"));
    const std::wstring project = dir / L"search.tfolder";
    ASSERT_TRUE(WriteBytes(project, AutoSearchProject(found)));

    AppProcess app;
    ASSERT_TRUE(app.Start(ProgramPath(), project));
    HWND main = app.WaitForWindow(L"MainWindow");
    ASSERT_NE(main, nullptr);
    HWND listView = FindListView(main);
    ASSERT_NE(listView, nullptr);
    RemoteList list(app, listView);
    for (int i = 0; i < 200 && list.Count() < 4; ++i) Sleep(50);
    EXPECT_EQ(list.Count(), 4);

    PostMessageW(main, WM_COMMAND, 2506, 0);
    ASSERT_TRUE(app.Exited(kAppTimeout));
    SavedProject saved = ReadSavedProject(project);
    ASSERT_TRUE(saved.valid);
    std::set<std::wstring> paths;
    for (const SavedEntry& e : saved.root) paths.insert(e.path);
    EXPECT_EQ(paths,
              (std::set<std::wstring>{found + L"a.txt", found + L"b.txt", found + L"sub", found + L"sub\\c.txt"}));
    EXPECT_EQ(saved.root.size(), 4u);
}

// The menu command opens the settings dialog on the shown folder; a typed path, every level, then
// the result view lists the tree and its add button fills the folder. The saved project holds the
// entries and the settings the dialog wrote.
TEST(AppSearch, TheSearchDialogAddsWhatTheResultViewListed) {
    TempDir dir;
    const std::wstring tree = dir / L"tree\\";
    ASSERT_TRUE(CreateDirectoryW(tree.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((tree + L"deep").c_str(), nullptr));
    for (const wchar_t* name : {L"one.txt", L"two.txt", L"deep\\three.txt"}) ASSERT_TRUE(WriteText(tree + name, "x"));
    const std::wstring project = dir / L"dialog.tfolder";
    ASSERT_TRUE(WriteBytes(project, AutoSearchProject(L"", false)));

    AppProcess app;
    ASSERT_TRUE(app.Start(ProgramPath(), project));
    HWND main = app.WaitForWindow(L"MainWindow");
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_COMMAND, 2503, 0);
    HWND dlg = app.WaitForWindow(L"CSearchEntryDlg");
    ASSERT_NE(dlg, nullptr);
    HWND edit = tf_test::FindControl(dlg, 201);
    HWND allLevels = tf_test::FindControl(dlg, 211);
    ASSERT_TRUE(edit && allLevels);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(tree.c_str()));
    SendMessageW(allLevels, BM_CLICK, 0, 0);
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);

    HWND view = app.WaitForWindow(L"CSearchEntryView");
    ASSERT_NE(view, nullptr);
    HWND add = GetDlgItem(view, 200);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(add) != FALSE; }));
    HWND found = FindWindowExW(view, nullptr, L"SysListView32", nullptr);
    ASSERT_NE(found, nullptr);
    {
        // Newest on top: the directory, found before its contents, lies below them.
        RemoteList rows(app, found);
        ASSERT_EQ(rows.Count(), 4);
        std::vector<std::wstring> listed;
        for (int i = 0; i < 4; ++i) listed.push_back(rows.Text(i, 1));
        const auto at = [&](const std::wstring& path) { return std::find(listed.begin(), listed.end(), path) - listed.begin(); };
        EXPECT_LT(at(tree + L"deep\\three.txt"), at(tree + L"deep"));
        EXPECT_LT(at(tree + L"deep"), 4);
        const int one = static_cast<int>(at(tree + L"one.txt"));
        ASSERT_LT(one, 4);
        EXPECT_EQ(rows.Text(one, 0).substr(0, 3), L"one");
    }
    PostMessageW(view, WM_COMMAND, 200, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dlg); }));
    RemoteList list(app, FindListView(main));
    EXPECT_EQ(list.Count(), 4);

    PostMessageW(main, WM_COMMAND, 2506, 0);
    ASSERT_TRUE(app.Exited(kAppTimeout));
    SavedProject saved = ReadSavedProject(project);
    ASSERT_TRUE(saved.valid);
    std::vector<std::wstring> paths;
    for (const SavedEntry& e : saved.root) paths.push_back(e.path);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::wstring>{tree + L"deep", tree + L"deep\\three.txt", tree + L"one.txt",
                                                tree + L"two.txt"}));
    EXPECT_EQ(saved.rootSearch.path, tree);
    EXPECT_FALSE(saved.rootSearch.limitDepth);
    EXPECT_FALSE(saved.rootSearch.autoUpdate);
}
