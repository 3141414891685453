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

// The placement record follows the magic and its length field: its show state is at byte 28, the
// normal rectangle at bytes 48 to 63.
const size_t kPlacementShow = 28;
const size_t kPlacementNormal = 48;

int32_t I32At(const std::vector<unsigned char>& file, size_t offset) {
    if (file.size() < offset + 4) return -1;
    return static_cast<int32_t>(file[offset] | file[offset + 1] << 8 | file[offset + 2] << 16 |
                                static_cast<uint32_t>(file[offset + 3]) << 24);
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

TEST(App, MaximisedWindowStartsMaximised) {
    TempDir dir;
    const std::wstring path = dir / L"max.tfolder";
    std::vector<unsigned char> bytes = Version10();
    bytes[kPlacementShow] = SW_SHOWMAXIMIZED;
    ASSERT_TRUE(WriteBytes(path, bytes));
    AppProcess p;
    ASSERT_TRUE(p.Start(ProgramPath(), path));
    HWND main = p.WaitForWindow(L"MainWindow");
    ASSERT_NE(main, nullptr);
    // Start-up is over once the program waits for input.
    ASSERT_EQ(WaitForInputIdle(p.Handle(), tf_test::kAppTimeout), 0u);
    EXPECT_TRUE(IsZoomed(main));
    PostMessageW(main, WM_COMMAND, 2506, 0);
    ASSERT_TRUE(p.Exited(tf_test::kAppTimeout));

    const std::vector<unsigned char> saved = ReadBytes(path);
    EXPECT_EQ(I32At(saved, kPlacementShow), SW_SHOWMAXIMIZED);
    const int32_t normal[] = {50, 60, 650, 560};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(I32At(saved, kPlacementNormal + 4 * i), normal[i]) << i;
}

TEST(App, SessionEndSavesBeforeWindowsMayEndTheProcess) {
    TempDir dir;
    const std::wstring path = dir / L"session.tfolder";
    ASSERT_TRUE(WriteBytes(path, {}));
    AppProcess p;
    ASSERT_TRUE(p.Start(ProgramPath(), path));
    HWND main = p.WaitForWindow(L"MainWindow");
    ASSERT_NE(main, nullptr);

    // The query only asks: another program may still refuse, and the session then goes on.
    EXPECT_TRUE(SendMessageW(main, WM_QUERYENDSESSION, 0, 0));
    SendMessageW(main, WM_ENDSESSION, FALSE, 0);
    EXPECT_FALSE(p.Exited(500));
    EXPECT_TRUE(ReadBytes(path).empty());

    // Once the session really ends the process may be ended as soon as the message returns.
    SendMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    TerminateProcess(p.Handle(), 1);
    EXPECT_EQ(Magic(ReadBytes(path)), "KVTFolder10     ");
}

TEST(App, FailedSaveAtExitNamesTheFileAndOffersToTryAgain) {
    TempDir dir;
    const std::wstring path = dir / L"locked.tfolder";
    auto readOnly = [&](bool on) {
        SetFileAttributesW(path.c_str(), on ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    };
    for (int answer : {IDYES, IDNO}) {
        SCOPED_TRACE(answer);
        ASSERT_TRUE(WriteBytes(path, {}));
        AppProcess p;
        ASSERT_TRUE(p.Start(ProgramPath(), path));
        HWND main = p.WaitForWindow(L"MainWindow");
        ASSERT_NE(main, nullptr);
        readOnly(true);
        PostMessageW(main, WM_COMMAND, 2506, 0);
        HWND box = p.WaitForWindow(L"__kv_MsgBox__");
        ASSERT_NE(box, nullptr);
        EXPECT_NE(BoxText(box).find(path), std::wstring::npos) << BoxText(box);
        if (answer == IDYES) {
            // Trying again while the file is still read-only asks again.
            PostMessageW(box, WM_COMMAND, IDYES, 0);
            for (int waited = 0; IsWindow(box) && waited < 300; ++waited) Sleep(100);
            box = p.WaitForWindow(L"__kv_MsgBox__");
            ASSERT_NE(box, nullptr);
        }
        // The file is freed meanwhile: Yes saves it, No ends the program without saving.
        readOnly(false);
        PostMessageW(box, WM_COMMAND, answer, 0);
        ASSERT_TRUE(p.Exited(tf_test::kAppTimeout));
        EXPECT_EQ(Magic(ReadBytes(path)), answer == IDYES ? "KVTFolder10     " : "");
    }
}
