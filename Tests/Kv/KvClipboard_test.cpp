#include <gtest/gtest.h>

#include "Kv/KvClipboard.h"
#include "Kv/KvHandles.h"
#include "Support/TestSupport.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>
#include <string>
#include <vector>

using tf_test::TempDir;

namespace {

std::vector<unsigned char> BlockBytes(HGLOBAL mem) {
    kv::GlobalLockScope<unsigned char> lock(mem);
    if (!lock) return {};
    return std::vector<unsigned char>(lock.get(), lock.get() + GlobalSize(mem));
}

void AppendUtf16(std::vector<unsigned char>& out, const std::wstring& s) {
    for (wchar_t c : s) {
        out.push_back(static_cast<unsigned char>(c & 0xFF));
        out.push_back(static_cast<unsigned char>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
}

std::wstring PidlPath(LPCITEMIDLIST pidl) {
    wchar_t buf[MAX_PATH] = {};
    return SHGetPathFromIDListW(pidl, buf) ? std::wstring(buf) : std::wstring();
}

// Owns a hidden window to open the clipboard with.
class ClipboardTest : public testing::Test {
protected:
    void SetUp() override {
        hwnd_ = CreateWindowExW(0, L"STATIC", L"clip", 0, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr),
                                nullptr);
        ASSERT_NE(nullptr, hwnd_);
    }
    void TearDown() override { DestroyWindow(hwnd_); }

    bool Put(UINT format, HGLOBAL mem) {
        if (!OpenClipboard(hwnd_)) {
            GlobalFree(mem);
            return false;
        }
        EmptyClipboard();
        const bool ok = SetClipboardData(format, mem) != nullptr;
        if (!ok) GlobalFree(mem);
        CloseClipboard();
        return ok;
    }

    HWND hwnd_ = nullptr;
};

}  // namespace

TEST(KvClipboard, FileDropBlockLayout) {
    const std::vector<std::wstring> paths = {L"C:\\a.txt", L"D:\\日本語\\b"};
    kv::UniqueGlobal block(KvMakeFileDrop(paths));
    ASSERT_TRUE(block.valid());
    EXPECT_TRUE(GlobalFlags(block.get()) != GMEM_INVALID_HANDLE);

    std::vector<unsigned char> expected = {20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
    for (const std::wstring& p : paths) AppendUtf16(expected, p);
    expected.insert(expected.end(), {0, 0, 0, 0});                // the list's closing NUL and the spare one
    EXPECT_EQ((8 + 1) * 2 + (8 + 1) * 2 + 24u, expected.size());  // two paths of 8 characters
    EXPECT_EQ(expected, BlockBytes(block.get()));

    // The shell reads it back as the same list.
    HDROP drop = static_cast<HDROP>(block.get());
    ASSERT_EQ(2u, DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0));
    wchar_t buf[MAX_PATH];
    DragQueryFileW(drop, 1, buf, MAX_PATH);
    EXPECT_EQ(paths[1], buf);

    kv::UniqueGlobal empty(KvMakeFileDrop({}));
    ASSERT_TRUE(empty.valid());
    std::vector<unsigned char> emptyExpected(expected.begin(), expected.begin() + 20);
    emptyExpected.resize(24, 0);
    EXPECT_EQ(emptyExpected, BlockBytes(empty.get()));

    // A path that would end the list early cannot be carried.
    EXPECT_EQ(nullptr, KvMakeFileDrop({L"C:\\a", L"", L"C:\\b"}));
    EXPECT_EQ(nullptr, KvMakeFileDrop({std::wstring(L"C:\\a\0b", 6)}));
}

TEST(KvClipboard, TextGlobal) {
    kv::UniqueGlobal text(KvMakeTextGlobal(L"テキスト"));
    ASSERT_TRUE(text.valid());
    std::vector<unsigned char> expected;
    AppendUtf16(expected, L"テキスト");
    EXPECT_EQ(expected, BlockBytes(text.get()));
    kv::UniqueGlobal empty(KvMakeTextGlobal(L""));
    EXPECT_EQ((std::vector<unsigned char>{0, 0}), BlockBytes(empty.get()));
}

TEST_F(ClipboardTest, FileListRoundTrip) {
    const std::wstring tooLong = L"C:\\" + std::wstring(KvMaxDropPathChars, L'x');
    const std::wstring longest = L"C:\\" + std::wstring(KvMaxDropPathChars - 3, L'y');
    const std::vector<std::wstring> paths = {L"C:\\one.txt", tooLong, L"C:\\フォルダ\\two", longest};
    ASSERT_TRUE(Put(CF_HDROP, KvMakeFileDrop(paths)));

    std::vector<std::wstring> read = {L"already there"};
    ASSERT_TRUE(KvReadClipboardFiles(hwnd_, read));
    EXPECT_EQ((std::vector<std::wstring>{L"already there", L"C:\\one.txt", L"C:\\フォルダ\\two", longest}), read);

    // The clipboard is closed again: another owner can open it.
    ASSERT_TRUE(OpenClipboard(hwnd_));
    CloseClipboard();

    ASSERT_TRUE(Put(CF_UNICODETEXT, KvMakeTextGlobal(L"C:\\not-a-file-list")));
    read.clear();
    EXPECT_FALSE(KvReadClipboardFiles(hwnd_, read));
    EXPECT_TRUE(read.empty());
}

TEST(KvClipboard, PathToItemList) {
    TempDir dir;
    const std::wstring file = dir / L"項目.txt";
    ASSERT_TRUE(tf_test::WriteText(file, "x"));

    kv::CoTaskMem<ITEMIDLIST> absolute(KvPathToItemList(file));
    ASSERT_TRUE(absolute);
    EXPECT_EQ(file, PidlPath(absolute.get()));
    EXPECT_FALSE(KvPathToItemList(dir / L"missing.txt"));
    EXPECT_FALSE(KvPathToItemList(L""));

    // Relative to a folder other than the desktop.
    kv::ComPtr<IShellFolder> desktop;
    ASSERT_TRUE(SUCCEEDED(SHGetDesktopFolder(&desktop)));
    kv::CoTaskMem<ITEMIDLIST> dirPidl(KvPathToItemList(dir.path()));
    ASSERT_TRUE(dirPidl);
    kv::ComPtr<IShellFolder> folder;
    ASSERT_TRUE(
        SUCCEEDED(desktop->BindToObject(dirPidl.get(), nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder))));
    kv::CoTaskMem<ITEMIDLIST> relative(KvPathToItemList(folder.get(), L"項目.txt"));
    ASSERT_TRUE(relative);
    STRRET name{};
    ASSERT_TRUE(SUCCEEDED(folder->GetDisplayNameOf(relative.get(), SHGDN_FORPARSING, &name)));
    wchar_t* parsed = nullptr;
    ASSERT_TRUE(SUCCEEDED(StrRetToStrW(&name, relative.get(), &parsed)));
    EXPECT_EQ(file, std::wstring(parsed));
    CoTaskMemFree(parsed);
    EXPECT_FALSE(KvPathToItemList(nullptr, L"項目.txt"));
}
