// The running organiser driven from outside on a project of real and missing files: what the list
// shows in its five columns, navigation with the tool bar, removing, copying and reordering entries,
// and what of it the saved project keeps.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "Support/AppProcess.h"
#include "Support/ProjectBytes.h"
#include "Support/TestSupport.h"

using namespace tf_test;

namespace {

// Root: subfolder "Sub" (empty), then a.txt (3000 bytes), b.txt, the directory "dir" and the missing
// "gone.txt", all relative to the project's directory.
std::vector<unsigned char> RealFilesProject() {
    ProjectBytes f;
    f.Magic(10).U32(44).Placement(40, 40, 840, 600).Str(L"%FileName%");
    f.U16(0).U16(2).U16(0).U16(1).Str(L"").U32(0).U16(0).U8(1).U8(0);
    for (int i = 0; i < 10; ++i) f.Str(L"");
    f.U8(1).U8(0).U8(0).U8(0).U8(0).U8(0).U16(150).Fill(248);
    f.U32(160).U32(120).U32(70).U32(110).U32(120).U32(kFilerViewReport).Fill(64);
    f.U32(3).U32(5).U32(1).U16(1).U16(0).U32(kFolderKindPlain);
    SampleSearch(f, 10, false);
    SampleEntry(f, 10, L"Sub", L"", L"", 0, 0, 0, L"", L"", true);
    f.U32(0).U32(2).U16(1).U16(0).U32(kFolderKindPlain);
    SampleSearch(f, 10, false);
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"dir", L"gone.txt"}) {
        SampleEntry(f, 10, L"old name", name, L"", 1, 0, 0, L"", L"", false);
    }
    return f.bytes;
}

class AppFilerTest : public ::testing::Test {
protected:
    void SetUp() override {
        project_ = dir_ / L"real.tfolder";
        ASSERT_TRUE(WriteText(dir_ / L"a.txt", std::string(3000, 'a')));
        ASSERT_TRUE(WriteText(dir_ / L"b.txt", "b"));
        ASSERT_TRUE(CreateDirectoryW((dir_ / L"dir").c_str(), nullptr));
        ASSERT_TRUE(WriteBytes(project_, RealFilesProject()));
        ASSERT_TRUE(app_.Start(ProgramPath(), project_));
        main_ = app_.WaitForWindow(L"MainWindow");
        ASSERT_NE(main_, nullptr);
        list_ = FindListView(main_);
        ASSERT_NE(list_, nullptr);
    }
    void Exit() {
        PostMessageW(main_, WM_COMMAND, 2506, 0);
        ASSERT_TRUE(app_.Exited(kAppTimeout));
    }
    int RowOf(const RemoteList& list, const std::wstring& path) {
        for (int i = 0; i < list.Count(); ++i) {
            if (list.Text(i, 1) == path) return i;
        }
        return -1;
    }

    TempDir dir_;
    std::wstring project_;
    AppProcess app_;
    HWND main_ = nullptr;
    HWND list_ = nullptr;
};

TEST_F(AppFilerTest, ListsRealAndMissingEntriesAndKeepsNamesColumnsAndView) {
    RemoteList list(app_, list_);
    ASSERT_EQ(list.Count(), 5);
    EXPECT_EQ(list.Text(0, 0), L"Sub");
    EXPECT_EQ(list.Text(0, 1), L"");

    const int a = RowOf(list, L"a.txt");
    ASSERT_GE(a, 0);
    EXPECT_NE(list.Text(a, 0).find(L"a"), std::wstring::npos);
    EXPECT_EQ(list.Text(a, 2), L"3KB");
    EXPECT_FALSE(list.Text(a, 3).empty());
    const std::wstring date = list.Text(a, 4);
    EXPECT_EQ(std::count(date.begin(), date.end(), L'/'), 2) << date;
    EXPECT_EQ(std::count(date.begin(), date.end(), L':'), 1) << date;

    const int d = RowOf(list, L"dir");
    ASSERT_GE(d, 0);
    EXPECT_EQ(list.Text(d, 2), L"");
    EXPECT_EQ(list.Text(d, 4), L"");

    const int gone = RowOf(list, L"gone.txt");
    ASSERT_GE(gone, 0);
    EXPECT_EQ(list.Text(gone, 0), L"gone");
    EXPECT_EQ(list.Text(gone, 3), L"Unknown");
    EXPECT_EQ(list.Text(gone, 2), L"");
    EXPECT_EQ(list.Text(gone, 4), L"");

    SendMessageW(list_, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(233, 0));
    PostMessageW(main_, WM_COMMAND, 2508, 0);
    Exit();
    SavedProject saved = ReadSavedProject(project_);
    ASSERT_TRUE(saved.valid);
    EXPECT_EQ(saved.columns[1], 233u);
    EXPECT_EQ(saved.viewStyle, kFilerViewIcons);
    ASSERT_EQ(saved.root.size(), 5u);
    // The shell's display names replace the stored names of entries it found; a missing one keeps its name.
    for (const SavedEntry& e : saved.root) {
        if (e.subfolder) continue;
        if (e.path == L"gone.txt") {
            EXPECT_EQ(e.name, L"old name");
        } else {
            EXPECT_NE(e.name, L"old name") << e.path;
        }
    }
}

TEST_F(AppFilerTest, NavigatesWithTheToolBarAndKeepsPaneChoices) {
    RemoteList list(app_, list_);
    list.SetSelected(0, true);
    PostMessageW(list_, WM_KEYDOWN, VK_RETURN, 0);
    for (int i = 0; i < 50 && list.Count() != 0; ++i) Sleep(100);
    EXPECT_EQ(list.Count(), 0);
    PostMessageW(main_, WM_COMMAND, 2517, 0);
    for (int i = 0; i < 50 && list.Count() != 5; ++i) Sleep(100);
    EXPECT_EQ(list.Count(), 5);
    PostMessageW(main_, WM_COMMAND, 2518, 0);
    for (int i = 0; i < 50 && list.Count() != 0; ++i) Sleep(100);
    EXPECT_EQ(list.Count(), 0);
    PostMessageW(main_, WM_COMMAND, 2522, 0);
    for (int i = 0; i < 50 && list.Count() != 5; ++i) Sleep(100);
    EXPECT_EQ(list.Count(), 5);

    PostMessageW(main_, WM_COMMAND, 2510, 0);
    PostMessageW(main_, WM_COMMAND, 2511, 0);
    Exit();
    SavedProject saved = ReadSavedProject(project_);
    ASSERT_TRUE(saved.valid);
    EXPECT_EQ(saved.statusBar, 0);
    EXPECT_EQ(saved.treePane, 1);
}

TEST_F(AppFilerTest, RemovesCopiesAndReordersEntriesAndTheProjectShowsIt) {
    RemoteList list(app_, list_);
    // Copy a.txt: the clipboard then holds its full path as a file list.
    list.SetSelected(RowOf(list, L"a.txt"), true);
    PostMessageW(main_, WM_COMMAND, 2519, 0);
    std::vector<std::wstring> copied;
    for (int i = 0; i < 50 && copied.empty(); ++i) {
        Sleep(100);
        if (!OpenClipboard(nullptr)) continue;
        if (HANDLE drop = GetClipboardData(CF_HDROP)) {
            const UINT n = DragQueryFileW(static_cast<HDROP>(drop), 0xFFFFFFFF, nullptr, 0);
            for (UINT k = 0; k < n; ++k) {
                wchar_t path[MAX_PATH] = {};
                DragQueryFileW(static_cast<HDROP>(drop), k, path, MAX_PATH);
                copied.push_back(path);
            }
        }
        CloseClipboard();
    }
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(copied[0], dir_ / L"a.txt");

    // Remove b.txt after confirming the question.
    list.SetSelected(-1, false);
    list.SetSelected(RowOf(list, L"b.txt"), true);
    PostMessageW(main_, WM_COMMAND, 2520, 0);
    HWND box = app_.WaitForWindow(L"__kv_MsgBox__");
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 50 && list.Count() != 4; ++i) Sleep(100);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(RowOf(list, L"b.txt"), -1);

    // Type-ahead "g" brings the entry labelled "gone" to the front.
    PostMessageW(list_, WM_CHAR, L'g', 0);
    for (int i = 0; i < 50 && list.Text(0, 1) != L"gone.txt"; ++i) Sleep(100);
    EXPECT_EQ(list.Text(0, 1), L"gone.txt");

    Exit();
    SavedProject saved = ReadSavedProject(project_);
    ASSERT_TRUE(saved.valid);
    std::vector<std::wstring> paths;
    for (const SavedEntry& e : saved.root) paths.push_back(e.subfolder ? L"<Sub>" : e.path);
    EXPECT_EQ(paths, (std::vector<std::wstring>{L"gone.txt", L"<Sub>", L"a.txt", L"dir"}));
    EXPECT_TRUE(FileExists(dir_ / L"b.txt"));
}

}  // namespace
