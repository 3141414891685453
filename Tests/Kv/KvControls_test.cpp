#include <gtest/gtest.h>

#include "Kv/KvControls.h"
#include "Kv/KvDialog.h"
#include "Kv/KvFileDialogs.h"
#include "Kv/KvHandles.h"
#include "Kv/KvWindow.h"
#include "Support/TestSupport.h"

#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>

#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using tf_test::TempDir;
using tf_test::WindowText;

namespace {

class ControlsTest : public testing::Test {
protected:
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"STATIC", L"controls", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, parent_);
        font_.reset(KvCreateDefaultFont());
        ASSERT_TRUE(font_.valid());
    }
    void TearDown() override { DestroyWindow(parent_); }

    // What KvMeasureText gives for `text` in `font`, measured apart from any control.
    SIZE Measure(const wchar_t* text, HFONT font) {
        kv::WindowDc dc(nullptr);
        kv::SelectObjectScope select(dc.get(), font);
        return KvMeasureText(dc.get(), text);
    }
    int LineHeight(HFONT font) {
        kv::WindowDc dc(nullptr);
        kv::SelectObjectScope select(dc.get(), font);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc.get(), &tm);
        return tm.tmHeight;
    }

    HWND parent_ = nullptr;
    kv::UniqueFont font_;
};

SIZE WindowSize(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

POINT PositionInParent(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    POINT pt{rc.left, rc.top};
    ScreenToClient(GetParent(hwnd), &pt);
    return pt;
}

std::vector<std::wstring> ComboItems(HWND combo) {
    std::vector<std::wstring> items;
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t buf[256] = {};
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
        items.push_back(buf);
    }
    return items;
}

}  // namespace

TEST_F(ControlsTest, LogFontMatchesTheStandardFont) {
    const LOGFONTW lf = KvMakeLogFont();
    EXPECT_EQ(18, lf.lfPitchAndFamily);
    for (size_t i = wcslen(lf.lfFaceName); i < LF_FACESIZE; ++i) EXPECT_EQ(L'\0', lf.lfFaceName[i]);

    // Apart from the face name's unused tail and the pitch, the standard font is made from the
    // same values.
    LOGFONTW standard{};
    ASSERT_EQ(static_cast<int>(sizeof(standard)), GetObjectW(font_.get(), sizeof(standard), &standard));
    LOGFONTW mine = lf;
    mine.lfPitchAndFamily = standard.lfPitchAndFamily;
    std::wcsncpy(standard.lfFaceName, std::wstring(standard.lfFaceName).c_str(), LF_FACESIZE);
    EXPECT_EQ(0, std::memcmp(&standard, &mine, sizeof(mine)));
    EXPECT_EQ(std::wstring(L"ＭＳ Ｐゴシック"), lf.lfFaceName);
}

// One table through the builder: fitted sizes, table order as the Tab order, tab stops on what takes
// input, radio groups opened and closed, the default button, hidden and disabled controls, CR LF text.
TEST_F(ControlsTest, ATableBuildsFittedControlsInItsOrder) {
    const wchar_t* twoLines = L"短い\nずっと長い二行目";
    ASSERT_TRUE(KvBuildControls(parent_, font_.get(), {
        {210, KvCtl::Label, L"ラベル", 12, 34, 0, 0},
        {211, KvCtl::Label, twoLines, 0, 60, 0, 0},
        {212, KvCtl::Check, L"A", 5, 100, 0, 0},
        {213, KvCtl::Radio, L"選択肢", 5, 130, 0, 0},
        {214, KvCtl::Radio, L"もう一つ", 5, 155, 0, 0},
        {215, KvCtl::Radio, L"次の組", 5, 180, 0, 0, KvRowNewGroup},
        {216, KvCtl::Edit, L"一行目\n二行目", 100, 10, 150, 40, 0, ES_MULTILINE},
        {217, KvCtl::Edit, L"x", 100, 60, 77, 20, KvRowHidden | KvRowDisabled},
        {218, KvCtl::Button, L"追加する", 100, 90, 0, 0},
        {IDOK, KvCtl::Button, L"OK", 100, 130, 100, 20, KvRowDefault},
    }));
    HWND label = GetDlgItem(parent_, 210);
    const SIZE text = Measure(L"ラベル", font_.get());
    EXPECT_EQ(text.cx, WindowSize(label).cx);
    EXPECT_EQ(text.cy, WindowSize(label).cy);
    EXPECT_EQ(12, PositionInParent(label).x);
    EXPECT_EQ(34, PositionInParent(label).y);
    EXPECT_EQ(reinterpret_cast<LRESULT>(font_.get()), SendMessageW(label, WM_GETFONT, 0, 0));
    EXPECT_EQ(Measure(L"ずっと長い二行目", font_.get()).cx, WindowSize(GetDlgItem(parent_, 211)).cx);
    EXPECT_EQ(2 * LineHeight(font_.get()), WindowSize(GetDlgItem(parent_, 211)).cy);

    // The default font is shorter than 22 pixels: check boxes and radio buttons keep room for the mark.
    ASSERT_LT(LineHeight(font_.get()), 22);
    HWND check = GetDlgItem(parent_, 212);
    EXPECT_EQ(Measure(L"A", font_.get()).cx + 26, WindowSize(check).cx);
    EXPECT_EQ(22, WindowSize(check).cy);
    EXPECT_EQ(BS_AUTOCHECKBOX, GetWindowLongW(check, GWL_STYLE) & BS_TYPEMASK);
    EXPECT_EQ(Measure(L"選択肢", font_.get()).cx + 26, WindowSize(GetDlgItem(parent_, 213)).cx);
    const SIZE buttonText = Measure(L"追加する", font_.get());
    EXPECT_EQ(buttonText.cx + 10, WindowSize(GetDlgItem(parent_, 218)).cx);
    EXPECT_EQ(buttonText.cy + 5, WindowSize(GetDlgItem(parent_, 218)).cy);

    // Styles: what takes input is a tab stop (a radio group once), groups open at each radio group and
    // close after it.
    auto style = [&](int id) { return GetWindowLongW(GetDlgItem(parent_, id), GWL_STYLE); };
    EXPECT_FALSE(style(210) & WS_TABSTOP);
    EXPECT_TRUE(style(212) & WS_TABSTOP);
    EXPECT_TRUE((style(213) & WS_TABSTOP) && (style(213) & WS_GROUP));
    EXPECT_FALSE(style(214) & (WS_TABSTOP | WS_GROUP));
    EXPECT_TRUE((style(215) & WS_TABSTOP) && (style(215) & WS_GROUP));
    EXPECT_TRUE((style(216) & WS_TABSTOP) && (style(216) & WS_GROUP));
    EXPECT_FALSE(style(216) & ES_AUTOHSCROLL);  // a multi-line edit wraps
    EXPECT_EQ(std::wstring(L"一行目\r\n二行目"), WindowText(GetDlgItem(parent_, 216)));
    EXPECT_TRUE(style(217) & ES_AUTOHSCROLL);
    EXPECT_FALSE(style(217) & WS_VISIBLE);
    EXPECT_TRUE(style(217) & WS_DISABLED);
    EXPECT_EQ(BS_DEFPUSHBUTTON, style(IDOK) & BS_TYPEMASK);
    EXPECT_EQ(BS_PUSHBUTTON, style(218) & BS_TYPEMASK);

    // The windows stand in the table's order, which is the Tab order.
    std::vector<int> order;
    for (HWND child = GetWindow(parent_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        order.push_back(GetDlgCtrlID(child));
    EXPECT_EQ(order, (std::vector<int>{210, 211, 212, 213, 214, 215, 216, 217, 218, IDOK}));

    EXPECT_FALSE(KvBuildControls(nullptr, font_.get(), {{1, KvCtl::Label, L"x", 0, 0, 0, 0}}));  // no parent
}

TEST_F(ControlsTest, TextReaders) {
    ASSERT_TRUE(KvBuildControls(parent_, font_.get(), {{230, KvCtl::Edit, L"", 0, 0, 100, 20}}));
    HWND edit = GetDlgItem(parent_, 230);
    const std::wstring longText(300, L'字');
    SetWindowTextW(edit, longText.c_str());
    EXPECT_EQ(longText.substr(0, 255), KvGetWindowText(edit));
    SetWindowTextW(edit, L"");
    EXPECT_EQ(L"", KvGetWindowText(edit));

    struct Case {
        const wchar_t* text;
        double value;
    };
    for (const Case& c : {Case{L"42", 42}, Case{L"  -7x", -7}, Case{L"+15", 15}, Case{L"abc", 0}, Case{L"", 0},
                          Case{L"3.9", 3}, Case{L"99999999999", 2147483647.0}, Case{L"-99999999999", -2147483648.0}}) {
        SetWindowTextW(edit, c.text);
        EXPECT_EQ(c.value, KvGetItemNumber(parent_, 230)) << "text " << testing::PrintToString(std::wstring(c.text));
    }
    // Only the first 511 characters are read.
    std::wstring padded(510, L' ');
    SetWindowTextW(edit, (padded + L"98").c_str());
    EXPECT_EQ(9, KvGetItemNumber(parent_, 230));
    EXPECT_EQ(0, KvGetItemNumber(parent_, 999));
}

TEST_F(ControlsTest, StatusBarParts) {
    HWND status = nullptr;
    ASSERT_TRUE(KvCreateStatusBar(&status, parent_));
    ASSERT_NE(nullptr, status);
    EXPECT_EQ(KvStatusBarId, GetDlgCtrlID(status));
    EXPECT_TRUE(GetWindowLongW(status, GWL_STYLE) & SBARS_SIZEGRIP);
    EXPECT_TRUE(IsChild(parent_, status));

    const int parts[] = {330, 400, 500, -1};
    KvSetStatusParts(status, parts);
    int edges[8] = {};
    ASSERT_EQ(3, SendMessageW(status, SB_GETPARTS, 8, reinterpret_cast<LPARAM>(edges)));
    EXPECT_EQ(330, edges[0]);
    EXPECT_EQ(400, edges[1]);
    EXPECT_EQ(500, edges[2]);

    KvSetStatusText(status, 1, L"12 個の項目");
    wchar_t buf[64] = {};
    SendMessageW(status, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(buf));
    EXPECT_EQ(std::wstring(L"12 個の項目"), buf);

    KvSetStatusParts(status, nullptr);
    ASSERT_EQ(1, SendMessageW(status, SB_GETPARTS, 8, reinterpret_cast<LPARAM>(edges)));
    EXPECT_EQ(-1, edges[0]);
}

namespace {

// Drives the system's own modal dialogs (open-file dialog, folder browser), which the toolkit's
// modal hook never sees: a helper thread finds each dialog among the UI thread's windows, works it
// and presses its buttons. Whatever goes wrong, it ends with Cancel so that no test can hang.
class SystemDialogDriver {
public:
    using Script = std::function<void(SystemDialogDriver&, HWND dlg)>;

    SystemDialogDriver(std::function<bool(HWND)> isTarget, Script script)
        : uiThread_(GetCurrentThreadId()),
          isTarget_(std::move(isTarget)),
          script_(std::move(script)),
          worker_([this] { Run(); }) {}
    ~SystemDialogDriver() { worker_.join(); }

    // A visible dialog of the UI thread other than `except` that satisfies `match`, or null after
    // `ms` milliseconds.
    HWND WaitFor(const std::function<bool(HWND)>& match, DWORD ms, HWND except = nullptr) {
        for (DWORD waited = 0; waited < ms; waited += 50) {
            Found found{match, except, nullptr};
            EnumThreadWindows(uiThread_, &Visit, reinterpret_cast<LPARAM>(&found));
            if (found.hwnd) return found.hwnd;
            Sleep(50);
        }
        return nullptr;
    }

private:
    struct Found {
        const std::function<bool(HWND)>& match;
        HWND except;
        HWND hwnd;
    };
    static BOOL CALLBACK Visit(HWND hwnd, LPARAM lp) {
        Found* f = reinterpret_cast<Found*>(lp);
        wchar_t cls[64] = {};
        GetClassNameW(hwnd, cls, 64);
        if (hwnd == f->except || !IsWindowVisible(hwnd) || std::wstring(cls) != L"#32770" || !f->match(hwnd))
            return TRUE;
        f->hwnd = hwnd;
        return FALSE;
    }
    void Run() {
        HWND dlg = WaitFor(isTarget_, 30000);
        if (!dlg) return;
        script_(*this, dlg);
        for (int i = 0; i < 400 && IsWindow(dlg); ++i) Sleep(50);
        if (IsWindow(dlg)) PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    }

    DWORD uiThread_;
    std::function<bool(HWND)> isTarget_;
    Script script_;
    std::thread worker_;
};

bool HasFilterCombo(HWND dlg) {
    return GetDlgItem(dlg, cmb1) != nullptr;
}

HWND FileNameControl(HWND dlg) {
    if (HWND combo = GetDlgItem(dlg, cmb13)) return combo;
    return GetDlgItem(dlg, edt1);
}

std::wstring SelectedItemText(HWND tree) {
    wchar_t buf[MAX_PATH] = {};
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    item.pszText = buf;
    item.cchTextMax = MAX_PATH;
    if (!item.hItem || !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return std::wstring();
    return buf;
}

std::wstring Normalised(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    wchar_t longPath[MAX_PATH] = {};
    if (GetLongPathNameW(path.c_str(), longPath, MAX_PATH)) path = longPath;
    CharLowerW(&path[0]);
    return path;
}

}  // namespace

TEST(KvFileDialogs, ExecutableFilterHasTwoEntries) {
    const wchar_t expected[] = L"exe {*.exe}\0*.exe\0すべてのファイル {*.*}\0*.*\0";
    EXPECT_EQ(std::wstring(expected, sizeof(expected) / sizeof(wchar_t)), KvMakeExtensionFilter(L"exe"));
}

TEST(KvFileDialogs, ChooseExecutableRefusesMissingFiles) {
    TempDir dir;
    const std::wstring tool = dir / L"tool.exe";
    ASSERT_TRUE(tf_test::WriteText(tool, "MZ"));

    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    std::vector<std::wstring> filters;
    bool sawDialog = false, sawRefusal = false;
    const wchar_t* chosen = nullptr;
    {
        SystemDialogDriver driver(HasFilterCombo, [&](SystemDialogDriver& d, HWND dlg) {
            sawDialog = true;
            filters = ComboItems(GetDlgItem(dlg, cmb1));
            HWND name = FileNameControl(dlg);
            if (!name) return;
            SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>((dir / L"nothere.exe").c_str()));
            PostMessageW(dlg, WM_COMMAND, IDOK, 0);
            if (HWND box = d.WaitFor([](HWND) { return true; }, 15000, dlg)) {
                sawRefusal = true;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                for (int i = 0; i < 300 && IsWindow(box); ++i) Sleep(50);
            }
            SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(tool.c_str()));
            PostMessageW(dlg, WM_COMMAND, IDOK, 0);
        });
        chosen = KvChooseExecutable(nullptr);
    }
    // The program finds files of its own through the current directory: choosing leaves it alone.
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    EXPECT_EQ(Normalised(before), Normalised(current));
    ASSERT_TRUE(sawDialog) << "the open-file dialog did not appear";
    EXPECT_EQ((std::vector<std::wstring>{L"exe {*.exe}", L"すべてのファイル {*.*}"}), filters);
    EXPECT_TRUE(sawRefusal);
    ASSERT_NE(nullptr, chosen);  // the missing name was not taken: the dialog stayed for the next one
    EXPECT_EQ(Normalised(tool), Normalised(chosen));
}

TEST(KvFileDialogs, BrowseForFolderStartsAtThePathAndKeepsItOnCancel) {
    TempDir dir;
    const std::wstring start = dir / L"start";
    ASSERT_TRUE(CreateDirectoryW(start.c_str(), nullptr));
    auto isBrowser = [](HWND dlg) { return FindWindowExW(dlg, nullptr, L"SysTreeView32", nullptr) != nullptr; };

    // Wine's browser now and then gives up finding the starting folder while the machine is busy and
    // stays at the desktop; such a showing is cancelled and the browser shown again, a few times.
    std::wstring path;
    bool chosen = false;
    for (int attempt = 0; attempt < 3 && !(chosen && Normalised(start) == Normalised(path)); ++attempt) {
        path = start;
        SystemDialogDriver driver(isBrowser, [](SystemDialogDriver&, HWND dlg) {
            // OK once the browser has selected the starting folder.
            HWND tree = FindWindowExW(dlg, nullptr, L"SysTreeView32", nullptr);
            for (int i = 0; i < 200 && SelectedItemText(tree) != L"start"; ++i) Sleep(50);
            PostMessageW(dlg, WM_COMMAND, SelectedItemText(tree) == L"start" ? IDOK : IDCANCEL, 0);
        });
        chosen = KvBrowseForFolder(path, nullptr, L"フォルダの選択");
    }
    EXPECT_TRUE(chosen);
    EXPECT_EQ(Normalised(start), Normalised(path));

    path = start + L"\\";
    {
        SystemDialogDriver driver(isBrowser,
                                  [](SystemDialogDriver&, HWND dlg) { PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0); });
        EXPECT_FALSE(KvBrowseForFolder(path, nullptr, L"フォルダの選択"));
    }
    EXPECT_EQ(start + L"\\", path);
}
