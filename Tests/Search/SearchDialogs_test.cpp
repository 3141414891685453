// The search settings dialog, the path dialog and the result view through the toolkit's modal seam:
// the tabs and the folder list editing a copy of the settings, the result view's stop, add, cancel
// and close box, the registered applications, and the rows the view makes from the shell.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Search/Dialogs/SearchEntryDlg.h"
#include "Search/Dialogs/SearchEntryView.h"
#include "Search/Dialogs/SearchRows.h"
#include "Kv/KvClipboard.h"
#include "Search/RegisteredApps.h"
#include "Shell/OpenWith.h"
#include "Shell/ShellRun.h"
#include "Support/FilerTestFixture.h"
#include "Support/TestSupport.h"

using tf_test::ModalResponder;
using tf_test::ModalSeen;
using tf_test::PumpMessages;
using tf_test::TempDir;
using tf_test::WindowText;

namespace {

void Click(HWND dlg, int id) {
    SendMessageW(tf_test::FindControl(dlg, id), BM_CLICK, 0, 0);
}

void Type(HWND dlg, int id, const std::wstring& text) {
    SetWindowTextW(tf_test::FindControl(dlg, id), text.c_str());
}

bool Checked(HWND dlg, int id) {
    return SendMessageW(tf_test::FindControl(dlg, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool Enabled(HWND dlg, int id) {
    return IsWindowEnabled(tf_test::FindControl(dlg, id)) != FALSE;
}

bool Visible(HWND dlg, int id) {
    return IsWindowVisible(tf_test::FindControl(dlg, id)) != FALSE;
}

void SwitchTab(HWND dlg, int tab) {
    HWND control = tf_test::FindControl(dlg, 200);
    TabCtrl_SetCurSel(control, tab);
    NMHDR header{control, 200, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(dlg, WM_NOTIFY, 200, reinterpret_cast<LPARAM>(&header));
}

void SelectFolder(HWND dlg, int index) {
    HWND list = tf_test::FindControl(dlg, 208);
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(208, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

int ListCount(HWND dlg) {
    return static_cast<int>(SendMessageW(tf_test::FindControl(dlg, 208), LB_GETCOUNT, 0, 0));
}

bool FiltersEnabled(HWND dlg) {
    bool any = false;
    for (int id = 211; id <= 217; ++id) any = any || Enabled(dlg, id);
    return any;
}

bool PumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 1000; ++i) {
        if (done()) return true;
        PumpMessages(10);
    }
    return false;
}

HWND ResultList(HWND view) {
    return FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr);
}

int RowCount(HWND view) {
    return ListView_GetItemCount(ResultList(view));
}

std::wstring RowPath(HWND view, int row) {
    wchar_t path[MAX_PATH] = {};
    ListView_GetItemText(ResultList(view), row, 1, path, MAX_PATH);
    return path;
}

// Answers path dialogs with the given paths in order, the result view with `view` and the
// settings dialog with `settings`.
ModalResponder::Answer Script(std::vector<std::wstring>& paths, std::function<int(HWND)> settings,
                              std::function<int(HWND)> view) {
    return [&paths, settings, view](HWND dlg, const ModalSeen& seen) -> int {
        if (seen.className == L"CSearchEntryPathDlg") {
            if (paths.empty()) return IDCANCEL;
            SetWindowTextW(GetDlgItem(dlg, 201), paths.front().c_str());
            paths.erase(paths.begin());
            return IDOK;
        }
        if (seen.className == L"CSearchEntryView") return view(dlg);
        if (seen.className == L"CSearchEntryDlg") return settings(dlg);
        return IDCANCEL;
    };
}

// The view answered with cancel once its walk has ended.
int CancelWhenDone(HWND view) {
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(GetDlgItem(view, IDCANCEL)) != FALSE; }));
    return IDCANCEL;
}

class SearchDialogTest : public filer_test::FilerFixture {};

}  // namespace

TEST_F(SearchDialogTest, TabsAndFolderListEditACopyThatOnlyConfirmingKeeps) {
    SearchSettings settings;
    settings.path = L"C:\\single";
    settings.multipleFolders = true;
    SearchFolder a;
    a.path = L"C:\\tf-missing-a";
    a.depth = 3;
    a.includeText = L"inc";
    a.useInclude = true;
    a.exclusionText = L"exc";
    a.useExclusion = true;
    SearchFolder b;
    b.path = L"C:\\tf-missing-b";
    settings.folders = {a, b};
    std::vector<std::wstring> found{L"left over"};

    // Confirmed, then the result view cancelled: the edits stay, nothing is to be added.
    std::vector<std::wstring> paths{L"C:\\tf-missing-changed"};
    {
        ModalResponder responder(Script(
            paths,
            [](HWND dlg) {
                EXPECT_EQ(TabCtrl_GetCurSel(tf_test::FindControl(dlg, 200)), 1);
                EXPECT_TRUE(Visible(dlg, 208));
                EXPECT_FALSE(Visible(dlg, 201));
                EXPECT_EQ(ListCount(dlg), 2);
                EXPECT_EQ(SendMessageW(tf_test::FindControl(dlg, 208), LB_GETCURSEL, 0, 0), 0);
                EXPECT_TRUE(Checked(dlg, 212));
                EXPECT_EQ(WindowText(tf_test::FindControl(dlg, 213)), L"3");
                EXPECT_TRUE(Checked(dlg, 214) && Enabled(dlg, 215));
                EXPECT_EQ(WindowText(tf_test::FindControl(dlg, 217)), L"exc");

                SelectFolder(dlg, 1);
                EXPECT_EQ(WindowText(tf_test::FindControl(dlg, 213)), L"1");
                EXPECT_FALSE(Checked(dlg, 214) || Enabled(dlg, 215));
                Click(dlg, 214);
                EXPECT_TRUE(Enabled(dlg, 215));
                Type(dlg, 215, L"bee");

                SelectFolder(dlg, 0);
                Click(dlg, 206);
                EXPECT_EQ(WindowText(tf_test::FindControl(dlg, 213)), L"3");
                EXPECT_EQ(WindowText(tf_test::FindControl(dlg, 215)), L"inc");
                wchar_t line[MAX_PATH] = {};
                SendMessageW(tf_test::FindControl(dlg, 208), LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
                EXPECT_STREQ(line, L"C:\\tf-missing-changed");

                SwitchTab(dlg, 0);
                EXPECT_TRUE(Visible(dlg, 201) && !Visible(dlg, 208));
                EXPECT_EQ(WindowText(tf_test::FindControl(dlg, 201)), L"C:\\single");
                Type(dlg, 213, L"x7");
                Click(dlg, 211);
                EXPECT_FALSE(Enabled(dlg, 213));
                SwitchTab(dlg, 1);
                EXPECT_EQ(WindowText(tf_test::FindControl(dlg, 213)), L"3");
                return IDOK;
            },
            CancelWhenDone));
        EXPECT_TRUE(CSearchEntryDlg::Run(settings, nullptr, L"search", found));
    }
    EXPECT_TRUE(found.empty());
    EXPECT_TRUE(paths.empty());
    EXPECT_TRUE(settings.multipleFolders);
    EXPECT_EQ(settings.depth, 1);
    EXPECT_FALSE(settings.limitDepth);
    ASSERT_EQ(settings.folders.size(), 2u);
    EXPECT_EQ(settings.folders[0].path, L"C:\\tf-missing-changed");
    EXPECT_EQ(settings.folders[0].depth, 3);
    EXPECT_TRUE(settings.folders[0].limitDepth && settings.folders[0].useInclude && settings.folders[0].useExclusion);
    EXPECT_EQ(settings.folders[0].includeText, L"inc");
    EXPECT_EQ(settings.folders[0].exclusionText, L"exc");
    EXPECT_TRUE(settings.folders[1].useInclude);
    EXPECT_EQ(settings.folders[1].includeText, L"bee");

    // Removing the last folder leaves no record to edit until one is added; cancelling keeps the
    // settings as they were.
    paths = {L"C:\\tf-added"};
    {
        ModalResponder responder(Script(
            paths,
            [](HWND dlg) {
                Click(dlg, 205);
                EXPECT_EQ(ListCount(dlg), 1);
                EXPECT_FALSE(FiltersEnabled(dlg));
                SelectFolder(dlg, 0);
                EXPECT_TRUE(Enabled(dlg, 211) && Enabled(dlg, 213));
                Click(dlg, 205);
                EXPECT_EQ(ListCount(dlg), 0);
                EXPECT_FALSE(FiltersEnabled(dlg));
                SwitchTab(dlg, 0);
                EXPECT_TRUE(Enabled(dlg, 211));
                SwitchTab(dlg, 1);
                EXPECT_FALSE(FiltersEnabled(dlg));
                Click(dlg, 204);
                EXPECT_EQ(ListCount(dlg), 1);
                EXPECT_TRUE(Enabled(dlg, 211) && Checked(dlg, 212));
                EXPECT_EQ(WindowText(tf_test::FindControl(dlg, 213)), L"1");
                EXPECT_FALSE(Checked(dlg, 214));
                return IDCANCEL;
            },
            CancelWhenDone));
        EXPECT_FALSE(CSearchEntryDlg::Run(settings, nullptr, L"search", found));
    }
    EXPECT_TRUE(paths.empty());
    ASSERT_EQ(settings.folders.size(), 2u);
    EXPECT_EQ(settings.folders[0].path, L"C:\\tf-missing-changed");
}

// A stop keeps the rows found so far (newest on top) and adding them adds exactly those; a second,
// complete search adds only what is new; the close box during a walk ends the view at once and
// nothing is to be added.
TEST_F(SearchDialogTest, StopKeepsWhatWasFoundAndSearchingAgainAddsNoDuplicates) {
    TempDir dir;
    constexpr int kDirs = 10;
    constexpr int kFiles = 300;
    for (int d = 0; d < kDirs; ++d) ASSERT_TRUE(CreateDirectoryW((dir / (L"d" + std::to_wstring(d))).c_str(), nullptr));
    for (int i = 0; i < kFiles; ++i)
        ASSERT_TRUE(tf_test::WriteText(dir / (L"d" + std::to_wstring(i % kDirs) + L"\\f" + std::to_wstring(i) + L".txt"), "x"));
    const size_t total = kDirs + kFiles;
    CFolder& root = RootFolder();
    root.search.path = dir.path();
    root.search.limitDepth = false;

    // The walk is held after its fifth row until the test has pressed stop.
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(release, nullptr);
    SetSearchViewRowHook([release](size_t queued) {
        if (queued == 5) WaitForSingleObject(release, 10000);
    });
    std::vector<std::wstring> opened;
    SetShellOpenHook([&](const std::wstring& file, const std::wstring&) {
        opened.push_back(file);
        return true;
    });
    std::vector<std::wstring> none;
    std::vector<std::wstring> found;
    int rowsAtStop = 0;
    std::wstring topRow;
    {
        ModalResponder responder(Script(
            none, [](HWND) { return IDOK; },
            [&](HWND view) {
                EXPECT_TRUE(PumpUntil([&] { return RowCount(view) == 5; }));
                EXPECT_FALSE(IsWindowVisible(GetDlgItem(view, 200)));
                // Stop does not wait for the worker, still held in the walk.
                SendMessageW(view, WM_COMMAND, 202, 0);
                EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(GetDlgItem(view, 200)) != FALSE; }));
                EXPECT_TRUE(IsWindowVisible(GetDlgItem(view, 203)));
                EXPECT_FALSE(IsWindowVisible(GetDlgItem(view, 202)));
                rowsAtStop = RowCount(view);
                SetEvent(release);
                tf_test::PumpMessages(100);
                EXPECT_EQ(RowCount(view), rowsAtStop);
                topRow = RowPath(view, 0);
                ListView_SetItemState(ResultList(view), 0, LVIS_SELECTED, LVIS_SELECTED);
                NMHDR header{ResultList(view), 0, static_cast<UINT>(NM_DBLCLK)};
                SendMessageW(view, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
                return 200;
            }));
        ASSERT_TRUE(CSearchEntryDlg::Run(root.search, nullptr, L"search", found));
    }
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found.size(), static_cast<size_t>(rowsAtStop));
    EXPECT_EQ(topRow, found.back());
    EXPECT_EQ(opened, std::vector<std::wstring>{topRow});
    EXPECT_EQ(Filer().AddPaths(found, true), static_cast<int>(found.size()));
    EXPECT_FALSE(root.search.autoUpdate);

    {
        ModalResponder responder(Script(
            none, [](HWND) { return IDOK; },
            [&](HWND view) {
                EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(GetDlgItem(view, 200)) != FALSE; }));
                SendMessageW(GetDlgItem(view, 203), BM_CLICK, 0, 0);
                return 200;
            }));
        ASSERT_TRUE(CSearchEntryDlg::Run(root.search, nullptr, L"search", found));
    }
    EXPECT_EQ(found.size(), total);
    Filer().AddPaths(found, true);
    EXPECT_EQ(root.Count(), total);
    std::set<std::wstring> unique;
    for (size_t i = 0; i < root.Count(); ++i) unique.insert(root.EntryAt(i)->path);
    EXPECT_EQ(unique.size(), total);
    EXPECT_TRUE(root.search.autoUpdate);

    // Closed while its walk runs: the worker is stopped and joined before the view returns.
    ResetEvent(release);
    std::atomic<size_t> lastQueued{0};
    SetSearchViewRowHook([&](size_t queued) {
        lastQueued = queued;
        if (queued == 3) WaitForSingleObject(release, 10000);
    });
    {
        ModalResponder responder(Script(
            none, [](HWND) { return IDOK; },
            [&](HWND view) {
                EXPECT_TRUE(PumpUntil([&] { return RowCount(view) == 3; }));
                SetEvent(release);
                SendMessageW(view, WM_CLOSE, 0, 0);
                return 0;
            }));
        EXPECT_FALSE(CSearchEntryDlg::Run(root.search, nullptr, L"search", found));
    }
    const size_t queuedAtEnd = lastQueued;
    Sleep(100);
    EXPECT_EQ(lastQueued, queuedAtEnd);
    SetSearchViewRowHook(nullptr);
    CloseHandle(release);
    EXPECT_TRUE(found.empty());
    SetShellOpenHook(nullptr);
}

// Rows found while the user looks at the list join it on top and the selection stays on the row it
// was on; the add button does nothing while the walk runs (its results are not complete yet).
TEST_F(SearchDialogTest, SelectionFollowsItsRowAndAddWaitsForTheWalk) {
    TempDir dir;
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(tf_test::WriteText(dir / (L"f" + std::to_wstring(i) + L".txt"), "x"));
    SearchSettings settings;
    settings.path = dir.path();
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(release, nullptr);
    SetSearchViewRowHook([release](size_t queued) {
        if (queued == 3) WaitForSingleObject(release, 10000);
    });
    std::vector<std::wstring> none, found;
    std::wstring chosen, selectedAtEnd;
    int selectedCount = 0, selectedIndex = -1;
    bool openWhileWalking = false;
    {
        ModalResponder responder(Script(
            none, [](HWND) { return IDOK; },
            [&](HWND view) {
                EXPECT_TRUE(PumpUntil([&] { return RowCount(view) == 3; }));
                chosen = RowPath(view, 1);
                ListView_SetItemState(ResultList(view), 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
                SendMessageW(view, WM_COMMAND, 200, 0);
                openWhileWalking = IsWindow(view) != FALSE;
                SetEvent(release);
                EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(GetDlgItem(view, 200)) != FALSE; }));
                HWND list = ResultList(view);
                selectedCount = ListView_GetSelectedCount(list);
                selectedIndex = ListView_GetNextItem(list, -1, LVNI_SELECTED);
                selectedAtEnd = RowPath(view, selectedIndex);
                return IDCANCEL;
            }));
        EXPECT_TRUE(CSearchEntryDlg::Run(settings, nullptr, L"search", found));
    }
    SetSearchViewRowHook(nullptr);
    CloseHandle(release);
    EXPECT_TRUE(openWhileWalking);
    EXPECT_EQ(selectedCount, 1);
    EXPECT_EQ(selectedIndex, 1 + 20 - 3);
    EXPECT_EQ(selectedAtEnd, chosen);
    EXPECT_TRUE(found.empty());
}

// The depth box and the record agree at every moment: a record with depth 5 and no limit shows 5
// (greyed); ticking "limit" walks 5 levels as shown. The box takes digits only, at most three,
// and a 0 becomes 1; an emptied box gets the record's depth back.
TEST_F(SearchDialogTest, DepthBoxAlwaysShowsTheDepthTheWalkUses) {
    SearchSettings settings;
    settings.path = L"C:\\tf-missing-depth";
    settings.depth = 5;
    settings.limitDepth = false;
    std::vector<std::wstring> found, none;
    std::wstring shownAtStart, shownAfterTick, afterZero, afterEmpty;
    LONG_PTR style = 0;
    LRESULT limit = 0;
    {
        ModalResponder responder(Script(
            none,
            [&](HWND dlg) {
                HWND depth = tf_test::FindControl(dlg, 213);
                shownAtStart = WindowText(depth);
                EXPECT_FALSE(Enabled(dlg, 213));
                Click(dlg, 212);
                shownAfterTick = WindowText(depth);
                EXPECT_TRUE(Enabled(dlg, 213));
                style = GetWindowLongPtrW(depth, GWL_STYLE);
                limit = SendMessageW(depth, EM_GETLIMITTEXT, 0, 0);
                Type(dlg, 213, L"0");
                afterZero = WindowText(depth);
                Type(dlg, 213, L"");
                SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(213, EN_KILLFOCUS), reinterpret_cast<LPARAM>(depth));
                afterEmpty = WindowText(depth);
                Type(dlg, 213, L"");
                return IDOK;
            },
            CancelWhenDone));
        EXPECT_TRUE(CSearchEntryDlg::Run(settings, nullptr, L"search", found));
    }
    EXPECT_EQ(shownAtStart, L"5");
    EXPECT_EQ(shownAfterTick, L"5");
    EXPECT_TRUE(style & ES_NUMBER);
    EXPECT_EQ(limit, 3);
    EXPECT_EQ(afterZero, L"1");
    EXPECT_EQ(afterEmpty, L"1");
    EXPECT_TRUE(settings.limitDepth);
    EXPECT_EQ(settings.depth, 1);

    // Confirmed with the box left as it was: the depth shown is the depth kept.
    settings.depth = 7;
    settings.limitDepth = false;
    {
        ModalResponder responder(Script(
            none,
            [&](HWND dlg) {
                Click(dlg, 212);
                return IDOK;
            },
            CancelWhenDone));
        EXPECT_TRUE(CSearchEntryDlg::Run(settings, nullptr, L"search", found));
    }
    EXPECT_TRUE(settings.limitDepth);
    EXPECT_EQ(settings.depth, 7);
}

// Commands become program paths (arguments, quotes, variables); each program is listed once, and
// the view's registered applications mode offers no automatic update.
TEST_F(SearchDialogTest, RegisteredApplicationsAreListedOnceEach) {
    EXPECT_EQ(ProgramOfCommand(L"\"C:\\Program Files\\x y\\a.exe\" \"%1\""), L"C:\\Program Files\\x y\\a.exe");
    EXPECT_EQ(ProgramOfCommand(L"C:\\tools\\b.exe /open %1"), L"C:\\tools\\b.exe");
    ASSERT_TRUE(SetEnvironmentVariableW(L"TF_SEARCH_TEST", L"C:\\envdir"));
    EXPECT_EQ(ProgramOfCommand(L"%TF_SEARCH_TEST%\\c.exe -x"), L"C:\\envdir\\c.exe");
    EXPECT_EQ(ProgramOfCommand(L"\"C:\\" + std::wstring(300, L'l') + L".exe\" %1"), L"");
    EXPECT_EQ(ProgramOfCommand(L""), L"");

    // The one limit of a program path: 259 characters are kept, 260 are not (before and after
    // expanding variables).
    const std::wstring longest = L"C:\\" + std::wstring(MAX_PATH - 1 - 7, L'l') + L".exe";
    ASSERT_EQ(longest.size(), static_cast<size_t>(MAX_PATH - 1));
    EXPECT_EQ(ProgramOfCommand(L"\"" + longest + L"\" %1"), longest);
    EXPECT_EQ(ProgramOfCommand(L"\"" + longest + L"x\" %1"), L"");
    ASSERT_TRUE(SetEnvironmentVariableW(L"TF_SEARCH_LONG", longest.substr(0, 200).c_str()));
    EXPECT_EQ(ProgramOfCommand(L"%TF_SEARCH_LONG%" + longest.substr(200) + L" -x"), longest);
    EXPECT_EQ(ProgramOfCommand(L"%TF_SEARCH_LONG%x" + longest.substr(200) + L" -x"), L"");

    TempDir dir;
    const std::wstring program = dir / L"tf search app.exe", other = dir / L"tf other app.exe";
    ASSERT_TRUE(tf_test::WriteText(program, "MZ"));
    const std::wstring key = L"Applications\\tfsearchtest.exe", otherKey = L"Applications\\tfsearchother.exe";
    auto registerVerb = [](const std::wstring& app, const wchar_t* verb, const std::wstring& command) {
        HKEY created = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (app + L"\\shell\\" + verb + L"\\command").c_str(), 0, nullptr, 0,
                                  KEY_WRITE, nullptr, &created, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(created, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(created);
    };
    for (const wchar_t* verb : {L"open", L"edit"}) registerVerb(key, verb, L"\"" + program + L"\" \"%1\"");
    registerVerb(otherKey, L"open", L"\"" + other + L"\" \"%1\"");
    std::atomic<bool> stop{false};
    int listed = 0, all = 0;
    ListRegisteredApps(stop, [&](const std::wstring& path) {
        listed += path == program ? 1 : 0;
        ++all;
    });
    EXPECT_EQ(listed, 1);
    ASSERT_GE(all, 2);
    // The stop flag is read after every application: set at the start, at most the first one is read.
    stop = true;
    int afterStop = 0;
    ListRegisteredApps(stop, [&](const std::wstring&) { ++afterStop; });
    EXPECT_LT(afterStop, all);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, otherKey.c_str());

    std::vector<std::wstring> found;
    {
        std::vector<std::wstring> none;
        ModalResponder responder(Script(none, [](HWND) { return IDCANCEL; }, [](HWND view) {
            EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(GetDlgItem(view, 200)) != FALSE; }));
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(view, 203)));
            return 200;
        }));
        EXPECT_TRUE(CSearchEntryView::Run(SearchViewMode::RegisteredApps, nullptr, nullptr, found));
    }
    RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    EXPECT_EQ(std::count(found.begin(), found.end(), program), 1);
    EXPECT_FALSE(CSearchEntryView::Run(SearchViewMode::Search, nullptr, nullptr, found));
}

// A row made against the shell folder of its parent shows the item exactly as a parse of the
// whole path does (a drive root and a directory on it included); a path the shell cannot parse
// gives no row.
TEST(SearchRows, RowsEqualAWholePathParse) {
    TempDir dir;
    ASSERT_TRUE(CreateDirectoryW((dir / L"sub").c_str(), nullptr));
    ASSERT_TRUE(tf_test::WriteText(dir / L"a.txt", "a"));
    ASSERT_TRUE(tf_test::WriteText(dir / L"sub\\b.exe", "MZ"));
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring drive = std::wstring(windows).substr(0, 3);
    SearchRowMaker maker;
    for (const std::wstring& path : {dir / L"a.txt", dir / L"sub", dir / L"sub\\b.exe", dir / L"a.txt",
                                     std::wstring(windows), drive}) {
        LPITEMIDLIST whole = KvPathToItemList(path);
        ASSERT_NE(whole, nullptr) << path;
        SHFILEINFOW info{};
        SHGetFileInfoW(reinterpret_cast<LPCWSTR>(whole), 0, &info, sizeof(info),
                       SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
        CoTaskMemFree(whole);
        SearchRow row;
        ASSERT_TRUE(maker.Make(path, row)) << path;
        EXPECT_EQ(row.name, info.szDisplayName) << path;
        EXPECT_EQ(row.icon, info.iIcon) << path;
        EXPECT_EQ(row.path, path);
    }
    SearchRow row;
    EXPECT_FALSE(maker.Make(dir / L"sub\\missing.txt", row));
    EXPECT_FALSE(maker.Make(L"", row));
}
