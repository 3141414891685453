// Backups driven from outside the running organiser: two backups of an entry through the entry
// menu's command, then the history's restore of version 1, checked in the file and in info.xml.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "Support/AppProcess.h"
#include "Support/ProjectBytes.h"
#include "Support/TestSupport.h"

using namespace tf_test;

namespace {

// The root folder holds memo.txt (relative); the backup directory is `store`.
std::vector<unsigned char> BackupProject(const std::wstring& store) {
    ProjectBytes f;
    f.Magic(10).U32(44).Placement(40, 40, 840, 600).Str(L"%FileName%");
    f.U16(0).U16(2).U16(0).U16(1).Str(store).U32(0).U16(0).U8(1).U8(0);
    for (int i = 0; i < 10; ++i) f.Str(L"");
    f.U8(1).U8(0).U8(0).U8(0).U8(0).U8(0).U16(150).Fill(248);
    f.U32(160).U32(120).U32(70).U32(110).U32(120).U32(kFilerViewReport).Fill(64);
    f.U32(2).U32(1).U32(1).U16(1).U16(0).U32(kFolderKindPlain);
    SampleSearch(f, 10, false);
    SampleEntry(f, 10, L"memo.txt", L"memo.txt", L"", 1, 0, 0, L"", L"", false);
    return f.bytes;
}

std::string Read(const std::wstring& path) {
    const auto bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

class AppBackupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteText(dir_ / L"memo.txt", "first"));
        ASSERT_TRUE(WriteBytes(dir_ / L"b.tfolder", BackupProject(dir_ / L"store")));
        ASSERT_TRUE(app_.Start(ProgramPath(), dir_ / L"b.tfolder"));
        main_ = app_.WaitForWindow(L"MainWindow");
        ASSERT_NE(main_, nullptr);
        list_ = FindListView(main_);
        ASSERT_NE(list_, nullptr);
    }

    // Waits for a window of class `cls`, presses `id` on it and waits until it is gone; gives the
    // text of its text control.
    std::wstring Press(const wchar_t* cls, int id) {
        HWND window = app_.WaitForWindow(cls);
        if (!window) return L"(no window)";
        const std::wstring text = BoxText(window);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        for (int i = 0; i < 3000 && IsWindow(window); ++i) Sleep(10);
        return text;
    }

    void BackUp() {
        PostMessageW(list_, WM_COMMAND, 26, 0);
        Press(L"CBackupDlg", IDOK);
        Press(L"__kv_MsgBox__", IDOK);
    }

    TempDir dir_;
    AppProcess app_;
    HWND main_ = nullptr;
    HWND list_ = nullptr;
};

TEST_F(AppBackupTest, TwoBackupsThenRestoreVersionOne) {
    {
        RemoteList list(app_, list_);
        ASSERT_EQ(list.Count(), 1);
        list.SetSelected(0, true);
    }
    BackUp();
    ASSERT_TRUE(WriteText(dir_ / L"memo.txt", "second"));
    BackUp();
    const std::wstring store = dir_ / L"store\\memo.txt\\";
    EXPECT_EQ(Read(store + L"1"), "first");
    EXPECT_EQ(Read(store + L"2"), "second");

    PostMessageW(list_, WM_COMMAND, 28, 0);
    HWND history = app_.WaitForWindow(L"CBackupHistoryDlg");
    ASSERT_NE(history, nullptr);
    {
        RemoteList rows(app_, GetDlgItem(history, 210));
        ASSERT_EQ(rows.Count(), 3);
        rows.SetSelected(0, true);
    }
    PostMessageW(history, WM_COMMAND, 205, 0);
    EXPECT_NE(Press(L"__kv_MsgBox__", IDOK).find(L"1"), std::wstring::npos);
    PostMessageW(history, WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; i < 3000 && IsWindow(history); ++i) Sleep(10);

    PostMessageW(main_, WM_COMMAND, 2506, 0);
    ASSERT_TRUE(app_.Exited(kAppTimeout));
    EXPECT_EQ(Read(dir_ / L"memo.txt"), "first");
    const std::string index = Read(store + L"info.xml");
    EXPECT_NE(index.find("<EndVersion>2</EndVersion><NowVersion>2</NowVersion>"), std::string::npos) << index;
    EXPECT_NE(index.find("<comment ver=\"2\""), std::string::npos) << index;
}

}  // namespace
