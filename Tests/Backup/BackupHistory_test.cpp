// The history dialog through the toolkit's modal seam: the rows and their colours with a version
// file deleted by hand, the offset arrows, the data view drawn from a typed offset, restoring an
// identical version, making an earlier version current without copying, restoring over a modified
// file after backing it up, the context menu's owner-drawn application items, and copies
// interrupted midway.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "Backup/Dialogs/BackupDataView.h"
#include "Backup/Dialogs/BackupHistoryDlg.h"
#include "Backup/Store/BackupInfo.h"
#include "Backup/Store/BackupStore.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "Kv/KvFiles.h"
#include "Kv/KvWindow.h"
#include "Shell/ShellRun.h"
#include "Backup/BackupTestSupport.h"
#include "Support/EmptyProject.h"
#include "Support/TestSupport.h"

namespace {

using tf_test::FileExists;
using tf_test::ReadBytes;
using tf_test::TempDir;
using tf_test::WriteText;

constexpr int kListId = 210;
constexpr COLORREF kUntouched = RGB(1, 2, 3);

std::string Read(const std::wstring& path) {
    const auto bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

COLORREF RowColour(HWND dlg, int row) {
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = GetDlgItem(dlg, kListId);
    draw.nmcd.hdr.idFrom = kListId;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
    draw.clrText = kUntouched;
    SendMessageW(dlg, WM_NOTIFY, kListId, reinterpret_cast<LPARAM>(&draw));
    return draw.clrText;
}

void SelectOnly(HWND dlg, int row) {
    HWND list = GetDlgItem(dlg, kListId);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
}

// The read-only copy of version `v` of "doc.txt" that programs are given instead of the version.
std::wstring OpenedCopy(int v) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"TessaraFolder\\doc (v" + std::to_wstring(v) + L").txt";
}

std::wstring ItemText(HWND dlg, int row) {
    wchar_t text[100] = {};
    ListView_GetItemText(GetDlgItem(dlg, kListId), row, 0, text, 100);
    return text;
}

class BackupHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tf_test::StartWithEmptyProject());
        Project().backupDir = dir_ / L"store";
        entry_ = &RootFolder().Append();
        entry_->name = L"doc.txt";
        entry_->path = dir_ / L"doc.txt";
        const char* contents[] = {"one", "two", "three", "four"};
        tf_test::ModalResponder quiet;
        for (int v = 1; v <= 4; ++v) {
            WriteText(entry_->path, contents[v - 1]);
            ASSERT_EQ(tf_test::StoreBackup(*entry_, backup::BackupMode::Normal, L"c" + std::to_wstring(v),
                                           L"2024/01/05 09:07 " + std::to_wstring(v)),
                      v);
        }
        store_ = entry_->BackupPath();
        DeleteFileW(backup::VersionPath(store_, 3).c_str());
        ASSERT_TRUE(backup::UpdateVersion(store_, 2));
    }

    // Opens the history and runs `body` on it; every box is answered by `answer` on its text.
    std::vector<std::wstring> Open(const std::function<void(HWND)>& body,
                                   const std::function<int(const std::wstring&)>& answer) {
        std::vector<std::wstring> boxes;
        tf_test::ModalResponder responder([&](HWND dlg, const tf_test::ModalSeen& seen) {
            if (seen.className == L"CBackupHistoryDlg") {
                body(dlg);
                return IDCANCEL;
            }
            if (seen.className == L"CBackupDlg") {
                SendMessageW(dlg, WM_COMMAND, IDOK, 0);
                return IsWindow(dlg) ? IDCANCEL : 0;
            }
            if (seen.className == L"KvCopyProgress") {
                ++progressWindows_;
                return 0;
            }
            if (seen.className == L"CBackupCommentDlg") {
                SetDlgItemTextW(dlg, 200, typedComment_.c_str());
                SendMessageW(dlg, WM_COMMAND, IDOK, 0);
                return 0;
            }
            boxes.push_back(seen.text);
            return answer(seen.text);
        });
        CBackupHistoryDlg::Run(*entry_, nullptr, GlobalText::Get(kGtBackupHistory));
        return boxes;
    }

    static std::wstring Text(int entry) { return KvToCrLf(GlobalText::Get(entry)); }

    TempDir dir_;
    CEntry* entry_ = nullptr;
    std::wstring store_;
    std::wstring typedComment_;  // typed into the comment editor, which is then confirmed
    int progressWindows_ = 0;    // copies large enough for the progress window
};

TEST_F(BackupHistoryTest, RowsColoursAndTheOffsetArrows) {
    auto boxes = Open(
        [&](HWND dlg) {
            ASSERT_EQ(ListView_GetItemCount(GetDlgItem(dlg, kListId)), 4);
            EXPECT_EQ(ItemText(dlg, 2), GtFormat(kGtHistoryVersion, {4}));
            EXPECT_EQ(ItemText(dlg, 3), L"doc.txt");
            EXPECT_EQ(RowColour(dlg, 0), kUntouched);
            EXPECT_EQ(RowColour(dlg, 1), RGB(255, 0, 0));
            EXPECT_EQ(RowColour(dlg, 3), RGB(0, 0, 255));

            SelectOnly(dlg, 1);
            EXPECT_EQ(tf_test::WindowText(GetDlgItem(dlg, 200)), L"c2");
            NMUPDOWN arrows{};
            arrows.hdr.hwndFrom = GetDlgItem(dlg, 204);
            arrows.hdr.idFrom = 204;
            arrows.hdr.code = UDN_DELTAPOS;
            arrows.iDelta = -1;
            SendMessageW(dlg, WM_NOTIFY, 204, reinterpret_cast<LPARAM>(&arrows));
            EXPECT_EQ(tf_test::WindowText(GetDlgItem(dlg, 203)), L"0");
            arrows.iDelta = 3;
            SendMessageW(dlg, WM_NOTIFY, 204, reinterpret_cast<LPARAM>(&arrows));
            EXPECT_EQ(tf_test::WindowText(GetDlgItem(dlg, 203)), L"3");
        },
        [](const std::wstring&) { return IDOK; });
    EXPECT_TRUE(boxes.empty());

    DeleteFileW(entry_->path.c_str());
    Open([&](HWND dlg) { EXPECT_EQ(RowColour(dlg, 3), RGB(168, 168, 168)); }, [](const std::wstring&) { return IDOK; });
    EXPECT_EQ(CBackupDataView::ReadShown(backup::VersionPath(store_, 4), 2), (std::vector<unsigned char>{'u', 'r'}));
}

// The data view's pixels, drawn through WM_PRINTCLIENT on white.
std::vector<DWORD> Drawn(HWND dlg) {
    HWND view = FindWindowExW(dlg, nullptr, L"CBackupDataView", nullptr);
    RECT rc{};
    GetClientRect(view, &rc);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), rc.right, -rc.bottom, 1, 32, BI_RGB};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SendMessageW(view, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const DWORD* pixels = static_cast<const DWORD*>(bits);
    std::vector<DWORD> drawn(pixels, pixels + rc.right * rc.bottom);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return drawn;
}

// The offset typed into its box moves the shown bytes in both modes: the current file from offset
// 300 draws exactly what a version holding only the file's bytes from 300 draws from offset 0.
TEST_F(BackupHistoryTest, TypedOffsetDrawsTheBytesFromThereAsTextAndHex) {
    std::string head(300, '.');
    for (size_t i = 0; i < head.size(); i += 7) head[i] = 'W';
    const std::string tail = "tail from three hundred";
    WriteText(entry_->path, head + tail);
    WriteText(backup::VersionPath(store_, 4), tail);
    WriteText(backup::VersionPath(store_, 2), head + tail);
    Open(
        [&](HWND dlg) {
            for (int mode : {202, 201}) {
                SendMessageW(dlg, WM_COMMAND, mode, 0);
                SelectOnly(dlg, 3);
                const std::vector<DWORD> start = Drawn(dlg);
                SetDlgItemTextW(dlg, 203, L"300");
                const std::vector<DWORD> typed = Drawn(dlg);
                EXPECT_NE(start, typed) << mode;
                EXPECT_NE(std::count(typed.begin(), typed.end(), typed.front()), static_cast<long>(typed.size()));
                // Text: the same as a version holding only the bytes from 300. Hexadecimal rows
                // name their offset, so: the same as a version of the same bytes from 300.
                SelectOnly(dlg, mode == 202 ? 2 : 1);
                EXPECT_EQ(tf_test::WindowText(GetDlgItem(dlg, 203)), L"0");
                if (mode == 201) SetDlgItemTextW(dlg, 203, L"300");
                EXPECT_EQ(typed, Drawn(dlg)) << mode;
            }
        },
        [](const std::wstring&) { return IDOK; });
    EXPECT_EQ(CBackupDataView::HexRows({'A', 0x00, 'b', 0x7F}, 0x12c),
              std::vector<std::wstring>{L"012c  41 00 62 7f" + std::wstring(12 * 3 + 2, L' ') + L"A.b."});
    EXPECT_EQ(CBackupDataView::HexRows(std::vector<unsigned char>(17, 'x'), 0).size(), 2u);
}

// The text is decoded by the file's own encoding: UTF-8 with or without its byte-order mark and
// UTF-16 with one draw the same characters; a window into the middle of a character skips its tail.
TEST_F(BackupHistoryTest, TextIsDecodedByTheFilesOwnEncoding) {
    const std::string text = "2024\xE5\xB9\xB4\xE3\x81\xAE\xE8\xA8\x98\xE9\x8C\xB2";  // 2024年の記録
    WriteText(backup::VersionPath(store_, 1), "\xEF\xBB\xBF" + text);
    WriteText(backup::VersionPath(store_, 2), text);
    const std::wstring wide = L"2024\x5E74\x306E\x8A18\x9332";
    std::vector<unsigned char> utf16 = {0xFF, 0xFE};
    for (wchar_t c : wide) {
        utf16.push_back(static_cast<unsigned char>(c & 0xFF));
        utf16.push_back(static_cast<unsigned char>(c >> 8));
    }
    tf_test::WriteBytes(backup::VersionPath(store_, 4), utf16);
    Open(
        [&](HWND dlg) {
            SelectOnly(dlg, 0);
            const std::vector<DWORD> withMark = Drawn(dlg);
            SelectOnly(dlg, 1);
            EXPECT_EQ(Drawn(dlg), withMark);
            SelectOnly(dlg, 2);
            EXPECT_EQ(Drawn(dlg), withMark);
        },
        [](const std::wstring&) { return IDOK; });
    const std::vector<unsigned char> bytes(text.begin(), text.end());
    EXPECT_EQ(CBackupDataView::DecodeShown(bytes, bytes, 0), wide);
    const std::vector<unsigned char> cut(bytes.begin() + 5, bytes.end());  // inside 年
    EXPECT_EQ(CBackupDataView::DecodeShown(bytes, cut, 5), wide.substr(5));
    EXPECT_EQ(CBackupDataView::DecodeShown(utf16, std::vector<unsigned char>(utf16.begin() + 3, utf16.end()), 3),
              wide.substr(1));
}

TEST_F(BackupHistoryTest, RestoreAndStepBackKeepWhatTheyShould) {
    const std::string index = Read(store_ + L"info.xml");
    auto boxes = Open(
        [&](HWND dlg) {
            SelectOnly(dlg, 2);  // version 4 equals the file
            SendMessageW(dlg, WM_COMMAND, 205, 0);
            SelectOnly(dlg, 0);  // version 1 made current without copying
            SendMessageW(dlg, WM_COMMAND, 207, 0);
        },
        [](const std::wstring& text) { return text == Text(kGtHistoryCopyQuestion) ? 2 : IDOK; });
    EXPECT_EQ(boxes, (std::vector<std::wstring>{Text(kGtHistorySameAsFile), Text(kGtHistoryCopyQuestion),
                                                Text(kGtHistoryStepBackDone)}));
    EXPECT_EQ(Read(entry_->path), "four");
    std::string expected = index;
    expected.replace(expected.find("<NowVersion>2<"), 14, "<NowVersion>1<");
    EXPECT_EQ(Read(store_ + L"info.xml"), expected);

    // A modified file is backed up first (version 5, listed before the file's row), then version 1
    // is copied back; NowVersion stays 1.
    WriteText(entry_->path, "modified");
    boxes = Open(
        [&](HWND dlg) {
            SelectOnly(dlg, 0);
            SendMessageW(dlg, WM_COMMAND, 205, 0);
            EXPECT_EQ(ListView_GetItemCount(GetDlgItem(dlg, kListId)), 5);
            EXPECT_EQ(ItemText(dlg, 3), GtFormat(kGtHistoryVersion, {5}));
        },
        [](const std::wstring& text) { return text == Text(kGtHistoryBackupFirst) ? IDYES : IDOK; });
    EXPECT_EQ(boxes, (std::vector<std::wstring>{Text(kGtHistoryBackupFirst), Text(kGtBackupDoneOne),
                                                KvToCrLf(GtFormat(kGtHistoryRestored, {1}).c_str())}));
    EXPECT_EQ(Read(entry_->path), "one");
    EXPECT_EQ(Read(backup::VersionPath(store_, 5)), "modified");
    backup::Versions counters;
    ASSERT_TRUE(backup::GetVersion(store_, counters));
    EXPECT_EQ(counters.endVersion, 5);
    EXPECT_EQ(counters.nowVersion, 1);
}

// Files past 4 GiB (sparse: data only in the first and the last byte) are backed up, compared,
// restored and stepped forward by their whole length. The two contents differ only in the last
// byte, beyond what 32 bits can count, and every copy runs behind the progress window.
TEST_F(BackupHistoryTest, FilesOfFourGiBAndMoreAreRestoredAndSteppedForward) {
    constexpr long long kSize = 0x100000002LL;
    if (!tf_test::WriteSparseFile(entry_->path, kSize, 'x', 'A')) GTEST_SKIP() << "cannot make 4 GiB files here";
    ASSERT_EQ(tf_test::StoreBackup(*entry_, backup::BackupMode::Append, L"A"), 5);
    ASSERT_TRUE(tf_test::WriteSparseFile(entry_->path, kSize, 'x', 'B'));
    const tf_test::ModalLimit copiesOfGigabytes(180000);
    const auto answer = [](const std::wstring& text) {
        if (text == Text(kGtHistoryCopyQuestion)) return 1;
        if (text == Text(kGtHistoryBackupFirst)) return IDYES;
        return IDOK;
    };

    auto boxes = Open(
        [&](HWND dlg) {
            SelectOnly(dlg, 3);
            SendMessageW(dlg, WM_COMMAND, 205, 0);  // restore version 5 after backing up the file
            SelectOnly(dlg, 3);
            SendMessageW(dlg, WM_COMMAND, 208, 0);  // version 5 made current: it equals the file
            SelectOnly(dlg, 4);
            SendMessageW(dlg, WM_COMMAND, 208, 0);  // forward to the backup of the file, version 6
        },
        answer);
    EXPECT_EQ(boxes, (std::vector<std::wstring>{Text(kGtHistoryBackupFirst), Text(kGtBackupDoneOne),
                                                KvToCrLf(GtFormat(kGtHistoryRestored, {5}).c_str()),
                                                Text(kGtHistoryStepForwardDone), Text(kGtHistoryCopyQuestion),
                                                Text(kGtHistoryStepForwardDone)}));
    EXPECT_EQ(progressWindows_, 3);
    for (const std::wstring& path : {entry_->path.str(), backup::VersionPath(store_, 5), backup::VersionPath(store_, 6)})
        EXPECT_EQ(tf_test::FileSize(path), kSize);
    EXPECT_EQ(tf_test::ReadByteAt(backup::VersionPath(store_, 5), kSize - 1), 'A');
    EXPECT_EQ(tf_test::ReadByteAt(backup::VersionPath(store_, 6), kSize - 1), 'B');
    EXPECT_EQ(tf_test::ReadByteAt(entry_->path, kSize - 1), 'B');
    backup::Versions counters;
    ASSERT_TRUE(backup::GetVersion(store_, counters));
    EXPECT_EQ(counters.endVersion, 6);
    EXPECT_EQ(counters.nowVersion, 6);
}

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EndMenu();
}

TEST_F(BackupHistoryTest, SeveralRowsOpenWithAProjectApplicationEachPathQuoted) {
    Project().apps.push_back({L"C:\\tools\\viewer.exe", L"Viewer", {}});
    Project().apps.push_back({L"C:\\tools\\images.exe", L"Images", {L"png"}});
    std::vector<std::wstring> opened;
    SetShellOpenHook([&](const std::wstring& file, const std::wstring& parameters) {
        opened.push_back(file + L"|" + parameters);
        return true;
    });
    Open(
        [&](HWND dlg) {
            HWND list = GetDlgItem(dlg, kListId);
            SelectOnly(dlg, 0);
            ListView_SetItemState(list, 2, LVIS_SELECTED, LVIS_SELECTED);
            SetTimer(nullptr, 0, 50, CloseMenu);
            SendMessageW(dlg, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);
            SendMessageW(dlg, WM_COMMAND, 1001, 0);  // the PNG application is not listed
            SendMessageW(dlg, WM_COMMAND, 1000, 0);
        },
        [](const std::wstring&) { return IDOK; });
    SetShellOpenHook({});
    EXPECT_EQ(opened, std::vector<std::wstring>{L"C:\\tools\\viewer.exe|\"" + OpenedCopy(1) + L"\" \"" +
                                                OpenedCopy(4) + L"\" "});
    EXPECT_EQ(Read(OpenedCopy(4)), "four");
}

// While the history's context menu is tracked: what its application item 220 was and how the dialog
// answered the menu's measuring and drawing of it.
struct TrackedMenu {
    HWND dlg = nullptr;
    bool ownerDrawn = false;
    std::wstring label;
    bool measured = false;
    bool drawn = false;
};
TrackedMenu* g_tracked = nullptr;

void CALLBACK InspectAndCloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    TrackedMenu& seen = *g_tracked;
    HWND popup = FindWindowW(reinterpret_cast<LPCWSTR>(MAKEINTATOM(0x8000)), nullptr);
    HMENU menu = popup ? reinterpret_cast<HMENU>(SendMessageW(popup, 0x01E1 /* MN_GETHMENU */, 0, 0)) : nullptr;
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE;
    seen.ownerDrawn = menu && GetMenuItemInfoW(menu, 220, FALSE, &item) && (item.fType & MFT_OWNERDRAW);
    wchar_t text[MAX_PATH] = {};
    if (menu) GetMenuStringW(menu, 220, text, MAX_PATH, MF_BYCOMMAND);
    seen.label = text;

    MEASUREITEMSTRUCT measure{ODT_MENU, 0, 220, 0, 0, 0};
    seen.measured = SendMessageW(seen.dlg, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)) == TRUE &&
                    measure.itemWidth > 18 && measure.itemHeight >= 16;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 200, 20, 1, 32, BI_RGB};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    DRAWITEMSTRUCT draw{ODT_MENU, 0, 220, ODA_DRAWENTIRE, ODS_SELECTED, nullptr, dc, {0, 0, 200, 20}, 0};
    seen.drawn = SendMessageW(seen.dlg, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)) == TRUE &&
                 GetPixel(dc, 199, 19) == GetSysColor(COLOR_HIGHLIGHT);  // a selected item lies on the highlight
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EndMenu();
}

// One selected row: the open-with programs of the entry's extension are owner-drawn items with the
// program's name, and choosing one opens the row's file with it.
TEST_F(BackupHistoryTest, OneRowMenuDrawsTheOpenWithProgramsAndOpensTheRowWithThem) {
    const std::wstring fileExts = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.tfhistow";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (fileExts + L"\\OpenWithList").c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (fileExts + L"\\OpenWithProgids").c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"txtfile", 0, REG_NONE, nullptr, 0);
    RegCloseKey(key);
    entry_->path = dir_ / L"doc.tfhistow";
    WriteText(entry_->path, "four");

    std::vector<std::wstring> opened;
    SetShellOpenHook([&](const std::wstring& file, const std::wstring& parameters) {
        opened.push_back(file + L"|" + parameters);
        return true;
    });
    TrackedMenu tracked;
    g_tracked = &tracked;
    Open(
        [&](HWND dlg) {
            tracked.dlg = dlg;
            HWND list = GetDlgItem(dlg, kListId);
            SelectOnly(dlg, 0);
            SetTimer(nullptr, 0, 50, InspectAndCloseMenu);
            SendMessageW(dlg, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(40, 40));
            SendMessageW(dlg, WM_COMMAND, 220, 0);
        },
        [](const std::wstring&) { return IDOK; });
    g_tracked = nullptr;
    SetShellOpenHook({});
    RegDeleteTreeW(HKEY_CURRENT_USER, fileExts.c_str());

    EXPECT_TRUE(tracked.ownerDrawn);
    EXPECT_NE(tracked.label.find(L"otepad"), std::wstring::npos) << tracked.label;
    EXPECT_TRUE(tracked.measured);
    EXPECT_TRUE(tracked.drawn);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_NE(opened[0].find(L"notepad.exe|\"" + OpenedCopy(1) + L"\""), std::wstring::npos) << opened[0];
}

// Copies interrupted midway through the history's commands, each leaving the entry's file and
// info.xml as they were and no copy behind: the backup made before a restore stopped in its copy,
// the entry's file made read-only while a version is copied over it, and the copy of a step back
// stopped (NowVersion is then not moved either).
TEST_F(BackupHistoryTest, InterruptedCopiesLeaveTheFileAndTheIndexAsTheyWere) {
    const std::string big(6 * 1024 * 1024, 'v');
    const std::string changed(6 * 1024 * 1024, 'm');
    WriteText(backup::VersionPath(store_, 1), big);
    WriteText(entry_->path, changed);
    const std::string index = Read(store_ + L"info.xml");
    const std::wstring besideFile = entry_->path + L".tfcopy";
    const std::wstring besideVersion = store_ + L"copy.new";

    enum class Fault { StopBackup, ReadOnlyFile, StopCopy };
    Fault fault = Fault::StopBackup;
    int midway = 0;
    KvSetCopyProgressHook([&](const std::wstring& destination, unsigned long long copied, unsigned long long total) {
        if (copied >= total) return true;
        ++midway;
        EXPECT_TRUE(FileExists(destination));
        if (fault == Fault::ReadOnlyFile && destination == besideFile)
            return SetFileAttributesW(entry_->path.c_str(), FILE_ATTRIBUTE_READONLY) != FALSE;
        return false;
    });
    const auto answer = [](int copyQuestion, int backupFirst) {
        return [=](const std::wstring& text) {
            if (text == Text(kGtHistoryCopyQuestion)) return copyQuestion;
            if (text == Text(kGtHistoryBackupFirst)) return backupFirst;
            return IDOK;
        };
    };
    const auto restoreVersion1 = [](HWND dlg) {
        SelectOnly(dlg, 0);
        SendMessageW(dlg, WM_COMMAND, 205, 0);
    };

    auto boxes = Open(restoreVersion1, answer(1, IDYES));
    const std::wstring copyFailed = KvToCrLf((GlobalText::Get(kGtBackupCopyFailed) + (L"\n" + entry_->path) + L"\n" +
                                              backup::SystemErrorText(ERROR_GEN_FAILURE))
                                                 .c_str());
    EXPECT_EQ(boxes, (std::vector<std::wstring>{Text(kGtHistoryBackupFirst), copyFailed,
                                                Text(kGtHistoryRestoreStopped)}));
    EXPECT_FALSE(FileExists(backup::VersionPath(store_, 5)));
    EXPECT_FALSE(FileExists(besideVersion));

    fault = Fault::ReadOnlyFile;
    boxes = Open(restoreVersion1, answer(1, IDNO));
    EXPECT_EQ(boxes, (std::vector<std::wstring>{Text(kGtHistoryBackupFirst), Text(kGtHistoryFileError)}));
    SetFileAttributesW(entry_->path.c_str(), FILE_ATTRIBUTE_NORMAL);

    fault = Fault::StopCopy;
    boxes = Open(
        [](HWND dlg) {
            SelectOnly(dlg, 0);
            SendMessageW(dlg, WM_COMMAND, 207, 0);
        },
        answer(1, IDNO));
    EXPECT_EQ(boxes, (std::vector<std::wstring>{Text(kGtHistoryCopyQuestion), Text(kGtHistoryBackupFirst),
                                                Text(kGtHistoryFileError)}));
    KvSetCopyProgressHook({});

    EXPECT_EQ(midway, 3);
    EXPECT_TRUE(Read(entry_->path) == changed);
    EXPECT_FALSE(FileExists(besideFile));
    EXPECT_EQ(Read(store_ + L"info.xml"), index);
}

// The safety copy before a restore must be recorded before the file is replaced; a restore keeps
// the file's attributes and never makes it read-only; a step forward answered No moves only
// NowVersion; an edited comment with control characters saves as XML that loads again; a double
// click hands the program a read-only copy of the version, never the version itself.
TEST_F(BackupHistoryTest, SafetyCopyAttributesStepsCommentsAndOpening) {
    WriteText(entry_->path, "modified");
    const std::string index = Read(store_ + L"info.xml");
    ASSERT_TRUE(CreateDirectoryW((store_ + L"info.new").c_str(), nullptr));  // the index cannot be saved
    auto boxes = Open(
        [](HWND dlg) {
            SelectOnly(dlg, 0);
            SendMessageW(dlg, WM_COMMAND, 205, 0);
        },
        [](const std::wstring& text) { return text == Text(kGtHistoryBackupFirst) ? IDYES : IDOK; });
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[1].find(L"Backup Failed. ReSave INFO XML"), 0u) << boxes[1];
    EXPECT_NE(boxes[1].find(store_ + L"info.xml"), std::wstring::npos) << boxes[1];
    EXPECT_EQ(boxes[2], Text(kGtBackupDoneOne));
    EXPECT_EQ(boxes[3], Text(kGtHistorySafetyNotRecorded));
    EXPECT_EQ(Read(entry_->path), "modified");
    EXPECT_EQ(Read(store_ + L"info.xml"), index);
    ASSERT_TRUE(RemoveDirectoryW((store_ + L"info.new").c_str()));

    // Restores keep a hidden file hidden, and a version left read-only never makes a file so.
    SetFileAttributesW(entry_->path.c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW(backup::VersionPath(store_, 1).c_str(), FILE_ATTRIBUTE_READONLY);
    boxes = Open(
        [](HWND dlg) {
            SelectOnly(dlg, 0);
            SendMessageW(dlg, WM_COMMAND, 205, 0);
        },
        [](const std::wstring& text) { return text == Text(kGtHistoryBackupFirst) ? IDNO : IDOK; });
    EXPECT_EQ(boxes.back(), KvToCrLf(GtFormat(kGtHistoryRestored, {1}).c_str()));
    EXPECT_EQ(Read(entry_->path), "one");
    EXPECT_EQ(GetFileAttributesW(entry_->path.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    SetFileAttributesW(entry_->path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(entry_->path.c_str());

    // The file is gone: version 4 is made current and copied without questions; then version 2
    // edited with a control character; then a step forward to 4 from 2 answered No at the
    // overwrite question; then a double click on version 1.
    entry_->appPath = L"C:\\tools\\editor.exe";
    std::vector<std::wstring> opened;
    SetShellOpenHook([&](const std::wstring& file, const std::wstring& parameters) {
        opened.push_back(file + L"|" + parameters);
        return true;
    });
    typedComment_ = L"line\x01one\r\nline two\x1f";
    boxes = Open(
        [&](HWND dlg) {
            SelectOnly(dlg, 0);
            SendMessageW(dlg, WM_COMMAND, 205, 0);
            EXPECT_EQ(RowColour(dlg, 3), RGB(0, 0, 255));  // the file's row shows it is back
            SelectOnly(dlg, 1);
            SendMessageW(dlg, WM_COMMAND, 209, 0);
            SelectOnly(dlg, 0);
            EXPECT_EQ(tf_test::WindowText(GetDlgItem(dlg, 200)), L"c1");
            SelectOnly(dlg, 1);
            EXPECT_EQ(tf_test::WindowText(GetDlgItem(dlg, 200)), L"line\xFFFDone\r\nline two\xFFFD");
            WriteText(entry_->path, "edited");
            SelectOnly(dlg, 2);
            SendMessageW(dlg, WM_COMMAND, 208, 0);
            SelectOnly(dlg, 0);
            NMHDR click{GetDlgItem(dlg, kListId), kListId, static_cast<UINT>(NM_DBLCLK)};
            SendMessageW(dlg, WM_NOTIFY, kListId, reinterpret_cast<LPARAM>(&click));
        },
        [](const std::wstring& text) {
            if (text == Text(kGtHistoryCopyQuestion)) return 1;
            return text == Text(kGtHistoryOverwriteQuestion) ? IDNO : IDOK;
        });
    SetShellOpenHook({});
    EXPECT_EQ(boxes, (std::vector<std::wstring>{KvToCrLf(GtFormat(kGtHistoryRestored, {1}).c_str()),
                                                Text(kGtHistoryCopyQuestion), Text(kGtHistoryOverwriteQuestion),
                                                Text(kGtHistoryStepForwardDone)}));
    EXPECT_EQ(Read(entry_->path), "edited");
    backup::Versions counters;
    ASSERT_TRUE(backup::GetVersion(store_, counters));
    EXPECT_EQ(counters.nowVersion, 4);
    std::vector<backup::VersionNote> notes = {{2}};
    ASSERT_TRUE(backup::SetVerComment(store_, 4, notes));
    notes[0].comment.erase(std::remove(notes[0].comment.begin(), notes[0].comment.end(), L'\r'), notes[0].comment.end());
    EXPECT_EQ(notes[0].comment, L"line\xFFFDone\nline two\xFFFD");
    EXPECT_EQ(opened, std::vector<std::wstring>{L"C:\\tools\\editor.exe|\"" + OpenedCopy(1) + L"\""});
    EXPECT_EQ(Read(OpenedCopy(1)), "one");
    EXPECT_TRUE(GetFileAttributesW(OpenedCopy(1).c_str()) & FILE_ATTRIBUTE_READONLY);
}

// A damaged index does not lock the history: its version files are listed without comments and the
// index is rebuilt on request, the damaged file kept beside it. A document type declaration with an
// external entity counts as damage and its entity is never read.
TEST_F(BackupHistoryTest, DamagedOrHostileIndexesAreListedAndRebuilt) {
    const std::wstring secret = dir_ / L"secret.txt";
    WriteText(secret, "SECRET");
    std::wstring url = L"file:///" + secret;
    std::replace(url.begin(), url.end(), L'\\', L'/');
    const std::string hostile = "<?xml version=\"1.0\"?><!DOCTYPE root [<!ENTITY x SYSTEM \"" +
                                std::string(url.begin(), url.end()) +
                                "\">]><root><EndVersion>4</EndVersion><NowVersion>2</NowVersion>"
                                "<comment ver=\"1\" time=\"t\">&x;</comment></root>";
    WriteText(store_ + L"info.xml", hostile);
    const std::wstring damaged = KvToCrLf(GtFormat(kGtHistoryIndexDamaged, {backup::InfoPath(store_)}).c_str());
    auto boxes = Open(
        [](HWND dlg) {
            ASSERT_EQ(ListView_GetItemCount(GetDlgItem(dlg, kListId)), 4);
            EXPECT_EQ(ItemText(dlg, 2), GtFormat(kGtHistoryVersion, {4}));
            SelectOnly(dlg, 0);
            EXPECT_EQ(tf_test::WindowText(GetDlgItem(dlg, 200)), L"");
        },
        [](const std::wstring&) { return IDNO; });
    EXPECT_EQ(boxes, std::vector<std::wstring>{damaged});
    EXPECT_EQ(Read(store_ + L"info.xml"), hostile);

    boxes = Open(
        [](HWND dlg) {
            ASSERT_EQ(ListView_GetItemCount(GetDlgItem(dlg, kListId)), 4);
            EXPECT_EQ(RowColour(dlg, 2), RGB(255, 0, 0));
        },
        [](const std::wstring&) { return IDYES; });
    EXPECT_EQ(boxes, std::vector<std::wstring>{damaged});
    EXPECT_EQ(Read(backup::DamagedPath(store_)), hostile);
    backup::Versions counters;
    ASSERT_TRUE(backup::GetVersion(store_, counters));
    EXPECT_EQ(counters.endVersion, 4);
    EXPECT_EQ(counters.nowVersion, 4);
    EXPECT_EQ(Read(store_ + L"info.xml").find("SECRET"), std::string::npos);

    // The rebuilt index takes new versions as before.
    WriteText(entry_->path, "five");
    EXPECT_EQ(tf_test::StoreBackup(*entry_, backup::BackupMode::Normal, L"after"), 5);

    // An index lost altogether beside its version files counts as damaged too.
    DeleteFileW((store_ + L"info.xml").c_str());
    tf_test::ModalResponder quiet;
    backup::Versions none;
    EXPECT_FALSE(backup::GetVersion(store_, none));
    EXPECT_EQ(tf_test::StoreBackup(*entry_, backup::BackupMode::Normal, L"lost"), -1);
    EXPECT_FALSE(FileExists(store_ + L"info.xml"));
}

}  // namespace
