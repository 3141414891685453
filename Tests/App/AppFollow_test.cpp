// The running organiser and the identities it keeps beside a project: a file moved between two
// runs is found and relinked after one question, and a damaged sidecar changes nothing else.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Document/Folder.h"
#include "Support/AppProcess.h"
#include "Support/ProjectBytes.h"
#include "Support/TestSupport.h"

using namespace tf_test;

namespace {

// The program's own box: suites running beside this one show boxes of the same class.
HWND ProgramBox(DWORD process) {
    for (HWND w = FindWindowExW(nullptr, nullptr, L"__kv_MsgBox__", nullptr); w;
         w = FindWindowExW(nullptr, w, L"__kv_MsgBox__", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == process) return w;
    }
    return nullptr;
}

// Root holding one entry, "a.txt" relative to the project's directory.
std::vector<unsigned char> OneFileProject() {
    ProjectBytes f;
    f.Magic(10).U32(44).Placement(40, 40, 840, 600).Str(L"%FileName%");
    f.U16(0).U16(2).U16(0).U16(1).Str(L"").U32(0).U16(0).U8(1).U8(0);
    for (int i = 0; i < 10; ++i) f.Str(L"");
    f.U8(1).U8(0).U8(0).U8(0).U8(0).U8(0).U16(150).Fill(248);
    f.U32(160).U32(120).U32(70).U32(110).U32(120).U32(1).Fill(64);
    f.U32(2).U32(1).U32(1).U16(1).U16(0).U32(kFolderKindPlain);
    SampleSearch(f, 10, false);
    SampleEntry(f, 10, L"a", L"a.txt", L"", 1, 0, 0, L"", L"", false);
    return f.bytes;
}

class AppFollowTest : public ::testing::Test {
protected:
    void Run() {
        app_ = std::make_unique<AppProcess>();
        ASSERT_TRUE(app_->Start(ProgramPath(), project_));
        main_ = app_->WaitForWindow(L"MainWindow");
        ASSERT_NE(main_, nullptr);
    }
    void Exit() {
        PostMessageW(main_, WM_COMMAND, 2506, 0);
        ASSERT_TRUE(app_->Exited(kAppTimeout));
        app_.reset();
    }

    TempDir dir_;
    std::wstring project_ = dir_ / L"follow.tfolder";
    std::unique_ptr<AppProcess> app_;
    HWND main_ = nullptr;
};

TEST_F(AppFollowTest, MovedFileIsRelinkedInTheNextRunAndADamagedSidecarIsIgnored) {
    ASSERT_TRUE(WriteText(dir_ / L"a.txt", "moving file"));
    ASSERT_TRUE(WriteBytes(project_, OneFileProject()));
    const std::wstring sidecar = project_ + L".ids";

    // The first run leaves the identities beside the project.
    Run();
    Exit();
    ASSERT_TRUE(FileExists(sidecar));

    // Moved while the program was not running: the next run finds it and asks once.
    ASSERT_TRUE(CreateDirectoryW((dir_ / L"moved").c_str(), nullptr));
    ASSERT_TRUE(MoveFileW((dir_ / L"a.txt").c_str(), (dir_ / L"moved\\a.txt").c_str()));
    Run();
    // The question waits until the window is in front; suites running beside this one may have
    // taken the front.
    HWND box = nullptr;
    for (int i = 0; i < 300 && !box; ++i) {
        SetForegroundWindow(main_);
        box = ProgramBox(app_->Id());
        if (!box) Sleep(100);
    }
    ASSERT_NE(box, nullptr);
    const std::wstring question = BoxText(box);
    EXPECT_NE(question.find(dir_ / L"a.txt"), std::wstring::npos) << question;
    EXPECT_NE(question.find(dir_ / L"moved\\a.txt"), std::wstring::npos) << question;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
    for (int i = 0; i < 300 && IsWindow(box); ++i) Sleep(10);
    Exit();
    SavedProject saved = ReadSavedProject(project_);
    ASSERT_TRUE(saved.valid);
    ASSERT_EQ(saved.root.size(), 1u);
    EXPECT_EQ(saved.root[0].path, L"moved\\a.txt");  // still relative to the project

    // A damaged sidecar: the project loads as before, and the sidecar is written anew at the end.
    std::vector<unsigned char> damaged = ReadBytes(sidecar);
    ASSERT_GT(damaged.size(), 20u);
    damaged[12] ^= 0x5A;
    ASSERT_TRUE(WriteBytes(sidecar, damaged));
    Run();
    {
        RemoteList list(*app_, FindListView(main_));
        ASSERT_EQ(list.Count(), 1);
        EXPECT_EQ(list.Text(0, 1), L"moved\\a.txt");
        EXPECT_EQ(list.Text(0, 2), L"1KB");
    }
    Exit();
    EXPECT_NE(ReadBytes(sidecar), damaged);
    EXPECT_EQ(ReadSavedProject(project_).root.size(), 1u);
}

}  // namespace
