// The organiser started as a user starts it: the real program in its own process, on project files
// of several format versions, checked from outside through its windows and the files it leaves.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Support/TestSupport.h"

using tf_test::ReadBytes;
using tf_test::TempDir;
using tf_test::WriteBytes;

namespace {

const DWORD kTimeout = 30000;

std::wstring ProgramPath() { return tf_test::ExeDirectory() + L"..\\bin\\TessaraFolder.exe"; }

// Little-endian byte builder for project files.
class Bytes {
public:
    Bytes& raw(const std::string& s) { data.insert(data.end(), s.begin(), s.end()); return *this; }
    Bytes& u8(unsigned v) { data.push_back(static_cast<unsigned char>(v)); return *this; }
    Bytes& u16(unsigned v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& zeros(size_t n) { data.insert(data.end(), n, 0); return *this; }
    Bytes& str(const std::wstring& s) {
        const unsigned t = static_cast<unsigned>(s.size() * 2);
        const unsigned p = (t + 3) / 4 * 4;
        u16(p).u16(t);
        for (wchar_t c : s) u16(c);
        return zeros(p - t);
    }
    std::vector<unsigned char> data;
};

// A version 1 file: window rectangle, title, root entry count, columns, view, reserved, paths.
std::vector<unsigned char> Version1(const std::vector<std::wstring>& paths) {
    Bytes b;
    b.raw("KVTessaraFolder1").u32(100).u32(100).u32(700).u32(500).str(L"v1 %FileName%");
    b.u32(static_cast<uint32_t>(paths.size()));
    for (int i = 0; i < 5; ++i) b.u32(90);
    b.u32(1).zeros(64);
    for (const auto& p : paths) b.str(p);
    return b.data;
}

// A version 10 file with one subfolder holding one entry.
std::vector<unsigned char> Version10() {
    Bytes b;
    b.raw("KVTFolder10     ").u32(44);
    b.u32(44).u32(0).u32(1).u32(0xFFFFFFFF).u32(0xFFFFFFFF).u32(0xFFFFFFFF).u32(0xFFFFFFFF);
    b.u32(50).u32(60).u32(650).u32(560);
    b.str(L"%FileName% - %DirPath%").u16(1).u16(1).u16(0).u16(1).str(L"C:\\backup\\");
    b.u32(1).str(L"C:\\tools\\edit.exe").str(L"Editor").u32(2).str(L"txt").str(L"log");
    b.u16(0).u8(1).u8(1);
    for (int i = 0; i < 10; ++i) b.str(L"");
    b.u8(1).u8(0).u8(1).u8(0).u8(1).u8(0).u16(200).zeros(248);
    for (int i = 0; i < 5; ++i) b.u32(100);
    b.u32(1).zeros(64).u32(7);
    auto search = [&b] { b.str(L"").u32(1).str(L"").u8(1).u8(0).u8(0).u8(0).u32(0).u8(0).u8(0).u16(0); };
    b.u32(2).u32(1).u16(1).u16(3).u32(1);
    search();
    b.str(L"Sub").str(L"").str(L"").u8(0).u8(0).u16(0).u8(0).zeros(3).str(L"").str(L"").u32(1);
    b.u32(1).u32(5).u16(1).u16(0).u32(3);
    search();
    b.str(L"a.txt").str(L"C:\\nowhere\\a.txt").str(L"").u8(0).u8(1).u16(0).u8(4).zeros(3).str(L"bk").str(L"A")
        .u32(0);
    b.str(L"b.txt").str(L"..\\b.txt").str(L"").u8(1).u8(0).u16(0).u8(2).zeros(3).str(L"").str(L"").u32(0);
    return b.data;
}

struct Process {
    PROCESS_INFORMATION pi{};
    ~Process() {
        if (pi.hProcess) {
            if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
    bool Exited(DWORD ms) const { return WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }
};

bool Start(Process& p, const std::wstring& program, const std::wstring& tail) {
    std::wstring cmd = L"\"" + program + L"\" " + tail;
    STARTUPINFOW si{sizeof(si)};
    return CreateProcessW(program.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &p.pi) != 0;
}

struct FindData {
    DWORD pid;
    const wchar_t* cls;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM lp) {
    auto* d = reinterpret_cast<FindData*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[128] = {};
    GetClassNameW(hwnd, cls, 128);
    if (pid == d->pid && wcscmp(cls, d->cls) == 0 && (!d->visibleOnly || IsWindowVisible(hwnd))) {
        d->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Waits for a top-level window of the process with the given class.
HWND WaitForWindow(const Process& p, const wchar_t* cls, bool visibleOnly = true) {
    for (DWORD waited = 0; waited < kTimeout; waited += 100) {
        FindData d{p.pi.dwProcessId, cls, visibleOnly, nullptr};
        EnumWindows(FindProc, reinterpret_cast<LPARAM>(&d));
        if (d.found) return d.found;
        if (p.Exited(0)) return nullptr;
        Sleep(100);
    }
    return nullptr;
}

// GetWindowText does not ask a window of another process for its text; WM_GETTEXT does.
std::wstring BoxText(HWND box) {
    wchar_t text[2048] = {};
    SendMessageW(GetDlgItem(box, 100), WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
    return text;
}

// Starts the program on `project`, waits for its main window and ends it with `command`.
void OpenAndEnd(const std::wstring& project, int command) {
    Process p;
    ASSERT_TRUE(Start(p, ProgramPath(), project));
    HWND main = WaitForWindow(p, L"MainWindow");
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_COMMAND, command, 0);
    ASSERT_TRUE(p.Exited(kTimeout));
}

std::string Magic(const std::vector<unsigned char>& file) {
    return file.size() >= 16 ? std::string(file.begin(), file.begin() + 16) : std::string();
}

}  // namespace

TEST(App, OpensOldAndNewVersionsAndSavesVersion10) {
    TempDir dir;
    const std::wstring v1 = dir / L"old.tfolder";
    ASSERT_TRUE(WriteBytes(v1, Version1({L"C:\\x\\one.txt", L"C:\\x\\two.txt"})));
    OpenAndEnd(v1, 2506);
    std::vector<unsigned char> saved = ReadBytes(v1);
    EXPECT_EQ(Magic(saved), "KVTFolder10     ");

    const std::wstring v10 = dir / L"new.tfolder";
    ASSERT_TRUE(WriteBytes(v10, Version10()));
    OpenAndEnd(v10, 2506);
    saved = ReadBytes(v10);
    EXPECT_EQ(Magic(saved), "KVTFolder10     ");
    // Everything after the window placement block is what was stored, written back unchanged.
    std::vector<unsigned char> original = Version10();
    ASSERT_EQ(saved.size(), original.size());
    EXPECT_TRUE(std::equal(original.begin() + 64, original.end(), saved.begin() + 64));
}

TEST(App, EmptyFileBecomesFullProjectAndExitWithoutSavingKeepsBytes) {
    TempDir dir;
    const std::wstring empty = dir / L"empty.tfolder";
    ASSERT_TRUE(WriteBytes(empty, {}));
    OpenAndEnd(L"\"" + empty + L"\"", 2506);
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
        Process p;
        ASSERT_TRUE(Start(p, ProgramPath(), path));
        HWND box = WaitForWindow(p, L"__kv_ErrorBox__");
        ASSERT_NE(box, nullptr);
        EXPECT_NE(BoxText(box).find(L"フォルダオープンに失敗！"), std::wstring::npos);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(p.Exited(kTimeout));
        EXPECT_EQ(ReadBytes(path), bytes);
    }
}

TEST(App, SecondStartOnSameProjectReportsAndEnds) {
    TempDir dir;
    const std::wstring path = dir / L"shared.tfolder";
    ASSERT_TRUE(WriteBytes(path, Version10()));
    Process first;
    ASSERT_TRUE(Start(first, ProgramPath(), path));
    HWND main = WaitForWindow(first, L"MainWindow");
    ASSERT_NE(main, nullptr);

    Process second;
    ASSERT_TRUE(Start(second, ProgramPath(), path));
    HWND box = WaitForWindow(second, L"__kv_MsgBox__");
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(second.Exited(kTimeout));
    EXPECT_FALSE(first.Exited(0));
    EXPECT_TRUE(IsWindow(main));

    PostMessageW(main, WM_COMMAND, 2505, 0);
    EXPECT_TRUE(first.Exited(kTimeout));
}

TEST(App, MissingOrBigEndianTextTableEndsStartUp) {
    TempDir dir;
    const std::wstring exe = dir / L"TessaraFolder.exe";
    ASSERT_TRUE(CopyFileW(ProgramPath().c_str(), exe.c_str(), FALSE));
    const std::wstring project = dir / L"p.tfolder";
    ASSERT_TRUE(WriteBytes(project, Version10()));

    auto expectTextTableError = [&](const wchar_t* expected) {
        Process p;
        ASSERT_TRUE(Start(p, exe, project));
        HWND box = WaitForWindow(p, L"__kv_ErrorBox__");
        ASSERT_NE(box, nullptr);
        EXPECT_NE(BoxText(box).find(expected), std::wstring::npos);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(p.Exited(kTimeout));
    };
    expectTextTableError(L"MenuText Load Error!");
    ASSERT_TRUE(WriteBytes(dir / L"GT", {0xFE, 0xFF, 0, 'a', 0, 0}));
    expectTextTableError(L"MenuText is not UniCode!");
    EXPECT_EQ(ReadBytes(project), Version10());
}

TEST(App, OverlongProjectPathIsRefusedNotCut) {
    TempDir dir;
    const std::wstring longPath = dir.path() + std::wstring(300, L'a') + L".tfolder";
    Process p;
    ASSERT_TRUE(Start(p, ProgramPath(), longPath));
    HWND box = WaitForWindow(p, L"__kv_ErrorBox__");
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(p.Exited(kTimeout));
}
