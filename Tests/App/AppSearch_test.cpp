// The running organiser on a project whose root folder is searched each time it is shown: the
// matches appear in the list while the program runs, and the saved project keeps them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "Support/AppProcess.h"
#include "Support/ProjectBytes.h"
#include "Support/TestSupport.h"

using namespace tf_test;

namespace {

// An empty root folder whose search settings walk `searchPath` at every level, automatically.
std::vector<unsigned char> AutoSearchProject(const std::wstring& searchPath) {
    ProjectBytes f;
    f.Magic(10).U32(44).Placement(40, 40, 840, 600).Str(L"%FileName%");
    f.U16(0).U16(2).U16(0).U16(1).Str(L"").U32(0).U16(0).U8(1).U8(0);
    for (int i = 0; i < 10; ++i) f.Str(L"");
    f.U8(1).U8(0).U8(0).U8(0).U8(0).U8(0).U16(150).Fill(248);
    f.U32(160).U32(120).U32(70).U32(110).U32(120).U32(kFilerViewReport).Fill(64);
    f.U32(2).U32(0).U32(1).U16(1).U16(0).U32(kFolderKindPlain);
    f.Str(searchPath).I32(1).Str(L"").U8(0).U8(0).U8(0).U8(0).U32(0).U8(1).U8(0).U16(0);
    return f.bytes;
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
