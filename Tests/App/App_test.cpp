// The organiser started as a user starts it: the real program in its own process, on project files
// of several format versions, checked from outside through its windows and the files it leaves.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Support/AppProcess.h"
#include "Support/ProjectBytes.h"
#include "Support/TestSupport.h"

using tf_test::AppProcess;
using tf_test::BoxText;
using tf_test::ProgramPath;
using tf_test::ReadBytes;
using tf_test::TempDir;
using tf_test::WriteBytes;

namespace {

// A version 10 file with one subfolder holding two entries, every reserved part zero, so that a
// save gives back the same bytes after the window placement block.
std::vector<unsigned char> Version10() {
    tf_test::ProjectBytes b;
    b.Magic(10).U32(44).Placement(50, 60, 650, 560);
    b.Str(L"%FileName% - %DirPath%").U16(1).U16(1).U16(0).U16(1).Str(L"C:\\backup\\");
    b.U32(1).Str(L"C:\\tools\\edit.exe").Str(L"Editor").U32(2).Str(L"txt").Str(L"log");
    b.U16(0).U8(1).U8(1);
    for (int i = 0; i < 10; ++i) b.Str(L"");
    b.U8(1).U8(0).U8(1).U8(0).U8(1).U8(0).U16(200).Fill(248);
    for (int i = 0; i < 5; ++i) b.U32(100);
    b.U32(kFilerViewReport).Fill(64).U32(7);
    b.U32(1).U32(1).U16(1).U16(3).U32(kFolderKindPlain);
    tf_test::SampleSearch(b, 10, false);
    tf_test::SampleEntry(b, 10, L"Sub", L"", L"", 0, 0, 0, L"", L"", true);
    b.U32(2).U32(5).U16(1).U16(0).U32(kFolderKindImage);
    tf_test::SampleSearch(b, 10, true);
    tf_test::SampleEntry(b, 10, L"a.txt", L"C:\\nowhere\\a.txt", L"", 0, 1, 4, L"bk", L"A", false);
    tf_test::SampleEntry(b, 10, L"b.txt", L"..\\b.txt", L"", 1, 0, 2, L"", L"", false);
    return b.bytes;
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

// Starts the program on `project`, waits for its main window and ends it with `command`.
void OpenAndEnd(const std::wstring& project, int command) {
    AppProcess p;
    ASSERT_TRUE(p.Start(ProgramPath(), project));
    HWND main = p.WaitForWindow(L"MainWindow");
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_COMMAND, command, 0);
    ASSERT_TRUE(p.Exited(tf_test::kAppTimeout));
}

std::string Magic(const std::vector<unsigned char>& file) {
    return file.size() >= 16 ? std::string(file.begin(), file.begin() + 16) : std::string();
}

}  // namespace

TEST(App, OpensEveryVersionAndSavesVersion10) {
    TempDir dir;
    for (int version = 1; version <= 10; ++version) {
        SCOPED_TRACE(version);
        const std::wstring path = dir / (L"v" + std::to_wstring(version) + L".tfolder");
        ASSERT_TRUE(WriteBytes(path, tf_test::SampleProject(version)));
        OpenAndEnd(path, 2506);
        tf_test::SavedProject saved = tf_test::ReadSavedProject(path);
        ASSERT_TRUE(saved.valid);
        std::vector<std::wstring> paths;
        for (const auto& e : saved.root) paths.push_back(e.subfolder ? L"<" + e.name + L">" : e.path);
        if (version <= 2) {
            EXPECT_EQ(paths, (std::vector<std::wstring>{L"C:\\one.txt", L"C:\\sub", L"C:\\two.txt"}));
        } else {
            EXPECT_EQ(paths, (std::vector<std::wstring>{L"C:\\one.txt", L"<Sub>", L"C:\\two.txt"}));
            ASSERT_EQ(saved.root[1].children.size(), 1u);
            EXPECT_EQ(saved.root[1].children[0].path, L"..\\deep.txt");
        }
        EXPECT_EQ(saved.columns[4], 500u);
        EXPECT_EQ(saved.viewStyle, kFilerViewList);
    }

    const std::wstring v10 = dir / L"new.tfolder";
    ASSERT_TRUE(WriteBytes(v10, Version10()));
    OpenAndEnd(v10, 2506);
    std::vector<unsigned char> saved = ReadBytes(v10);
    std::vector<unsigned char> original = Version10();
    ASSERT_EQ(saved.size(), original.size());
    EXPECT_TRUE(std::equal(original.begin() + 64, original.end(), saved.begin() + 64));
}

TEST(App, EmptyFileBecomesFullProjectAndExitWithoutSavingKeepsBytes) {
    TempDir dir;
    const std::wstring empty = dir / L"empty.tfolder";
    ASSERT_TRUE(WriteBytes(empty, {}));
    OpenAndEnd(Quoted(empty), 2506);
    EXPECT_EQ(Magic(ReadBytes(empty)), "KVTFolder10     ");

    const std::wstring keep = dir / L"keep.tfolder";
    ASSERT_TRUE(WriteBytes(keep, Version10()));
    OpenAndEnd(keep, 2505);
    EXPECT_EQ(ReadBytes(keep), Version10());
}

TEST(App, UnreadableProjectShowsLoadErrorAndWritesNothing) {
    TempDir dir;
    std::vector<unsigned char> truncated = Version10();
    truncated.resize(truncated.size() - 9);
    std::vector<unsigned char> unknown = Version10();
    unknown[3] = 'X';
    for (const auto& bytes : {truncated, unknown}) {
        const std::wstring path = dir / L"bad.tfolder";
        ASSERT_TRUE(WriteBytes(path, bytes));
        AppProcess p;
        ASSERT_TRUE(p.Start(ProgramPath(), path));
        HWND box = p.WaitForWindow(L"__kv_ErrorBox__");
        ASSERT_NE(box, nullptr);
        EXPECT_NE(BoxText(box).find(L"フォルダオープンに失敗！"), std::wstring::npos);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(p.Exited(tf_test::kAppTimeout));
        EXPECT_EQ(ReadBytes(path), bytes);
    }
}

TEST(App, SecondStartOnSameProjectReportsAndEnds) {
    TempDir dir;
    const std::wstring path = dir / L"shared.tfolder";
    ASSERT_TRUE(WriteBytes(path, Version10()));
    AppProcess first;
    ASSERT_TRUE(first.Start(ProgramPath(), path));
    HWND main = first.WaitForWindow(L"MainWindow");
    ASSERT_NE(main, nullptr);

    AppProcess second;
    ASSERT_TRUE(second.Start(ProgramPath(), path));
    HWND box = second.WaitForWindow(L"__kv_MsgBox__");
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(second.Exited(tf_test::kAppTimeout));
    EXPECT_FALSE(first.Exited(0));
    EXPECT_TRUE(IsWindow(main));

    PostMessageW(main, WM_COMMAND, 2505, 0);
    EXPECT_TRUE(first.Exited(tf_test::kAppTimeout));
}

TEST(App, MissingOrBigEndianTextTableEndsStartUp) {
    TempDir dir;
    const std::wstring exe = dir / L"TessaraFolder.exe";
    ASSERT_TRUE(CopyFileW(ProgramPath().c_str(), exe.c_str(), FALSE));
    const std::wstring project = dir / L"p.tfolder";
    ASSERT_TRUE(WriteBytes(project, Version10()));

    auto expectTextTableError = [&](const wchar_t* expected) {
        AppProcess p;
        ASSERT_TRUE(p.Start(exe, project));
        HWND box = p.WaitForWindow(L"__kv_ErrorBox__");
        ASSERT_NE(box, nullptr);
        EXPECT_NE(BoxText(box).find(expected), std::wstring::npos);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(p.Exited(tf_test::kAppTimeout));
    };
    expectTextTableError(L"MenuText Load Error!");
    ASSERT_TRUE(WriteBytes(dir / L"GT", {0xFE, 0xFF, 0, 'a', 0, 0}));
    expectTextTableError(L"MenuText is not UniCode!");
    EXPECT_EQ(ReadBytes(project), Version10());
}

TEST(App, OverlongProjectPathIsRefusedNotCut) {
    TempDir dir;
    const std::wstring longPath = dir.path() + std::wstring(300, L'a') + L".tfolder";
    AppProcess p;
    ASSERT_TRUE(p.Start(ProgramPath(), longPath));
    HWND box = p.WaitForWindow(L"__kv_ErrorBox__");
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(p.Exited(tf_test::kAppTimeout));
}
