#include <gtest/gtest.h>

#include "Kv/KvControls.h"
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

SIZE FrameOf(HWND hwnd) {
    RECT client{};
    GetClientRect(hwnd, &client);
    SIZE size = WindowSize(hwnd);
    return SIZE{size.cx - client.right, size.cy - client.bottom};
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

TEST_F(ControlsTest, LabelsAndButtonsAreSizedToTheirText) {
    const wchar_t* single = L"ラベル";
    HWND label = KvCreateLabel(single, 12, 34, parent_, 210, font_.get());
    ASSERT_NE(nullptr, label);
    const SIZE text = Measure(single, font_.get());
    EXPECT_EQ(text.cx, WindowSize(label).cx);
    EXPECT_EQ(text.cy, WindowSize(label).cy);
    EXPECT_EQ(12, PositionInParent(label).x);
    EXPECT_EQ(34, PositionInParent(label).y);
    EXPECT_EQ(210, GetDlgCtrlID(label));
    EXPECT_EQ(reinterpret_cast<LRESULT>(font_.get()), SendMessageW(label, WM_GETFONT, 0, 0));

    const wchar_t* twoLines = L"短い\r\nずっと長い二行目";
    HWND tall = KvCreateLabel(twoLines, 0, 0, parent_, 211, font_.get());
    EXPECT_EQ(Measure(L"ずっと長い二行目", font_.get()).cx, WindowSize(tall).cx);
    EXPECT_EQ(2 * LineHeight(font_.get()), WindowSize(tall).cy);

    // The default font is shorter than 22 pixels: the button keeps room for its mark.
    ASSERT_LT(LineHeight(font_.get()), 22);
    HWND check = KvCreateCheckBox(L"A", 5, 6, parent_, 212, font_.get());
    ASSERT_NE(nullptr, check);
    EXPECT_EQ(Measure(L"A", font_.get()).cx + 26, WindowSize(check).cx);
    EXPECT_EQ(22, WindowSize(check).cy);
    EXPECT_EQ(BS_AUTOCHECKBOX, GetWindowLongW(check, GWL_STYLE) & BS_TYPEMASK);
    SendMessageW(check, BM_CLICK, 0, 0);
    EXPECT_EQ(BST_CHECKED, SendMessageW(check, BM_GETCHECK, 0, 0));

    HWND radio = KvCreateRadioButton(L"選択肢", 5, 40, parent_, 213, font_.get());
    ASSERT_NE(nullptr, radio);
    EXPECT_EQ(Measure(L"選択肢", font_.get()).cx + 26, WindowSize(radio).cx);
    EXPECT_EQ(22, WindowSize(radio).cy);
    EXPECT_EQ(BS_AUTORADIOBUTTON, GetWindowLongW(radio, GWL_STYLE) & BS_TYPEMASK);

    // A taller font: the text decides the height.
    LOGFONTW lf = KvMakeLogFont();
    lf.lfHeight = 40;
    kv::UniqueFont big(CreateFontIndirectW(&lf));
    ASSERT_GT(LineHeight(big.get()), 22);
    HWND bigCheck = KvCreateCheckBox(L"大", 0, 0, parent_, 214, big.get());
    EXPECT_EQ(LineHeight(big.get()), WindowSize(bigCheck).cy);
    EXPECT_EQ(Measure(L"大", big.get()).cx + 26, WindowSize(bigCheck).cx);

    EXPECT_EQ(nullptr, KvCreateLabel(L"x", 0, 0, nullptr, 1, font_.get()));  // a child needs a parent
    EXPECT_EQ(nullptr, KvCreateCheckBox(L"x", 0, 0, nullptr, 1, font_.get()));
}

TEST_F(ControlsTest, ComboListSelection) {
    const std::vector<std::wstring> items = {L"一", L"二", L"三"};
    HWND combo = KvCreateComboList(font_.get(), items, 2, parent_);
    ASSERT_NE(nullptr, combo);
    EXPECT_EQ(KvComboListId, GetDlgCtrlID(combo));
    EXPECT_EQ(10, PositionInParent(combo).x);
    EXPECT_EQ(175, PositionInParent(combo).y);
    EXPECT_EQ(80, WindowSize(combo).cx);
    EXPECT_EQ(CBS_DROPDOWNLIST, GetWindowLongW(combo, GWL_STYLE) & 3);
    EXPECT_EQ(items, ComboItems(combo));  // in order, not sorted
    EXPECT_EQ(2, SendMessageW(combo, CB_GETCURSEL, 0, 0));
    DestroyWindow(combo);

    for (int outside : {3, 100, -1, -5}) {
        combo = KvCreateComboList(font_.get(), items, outside, parent_);
        EXPECT_EQ(0, SendMessageW(combo, CB_GETCURSEL, 0, 0)) << outside;
        DestroyWindow(combo);
    }
    combo = KvCreateComboList(font_.get(), {}, 0, parent_);
    ASSERT_NE(nullptr, combo);
    EXPECT_EQ(CB_ERR, SendMessageW(combo, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(0, SendMessageW(combo, CB_GETCOUNT, 0, 0));
}

TEST_F(ControlsTest, EditIsFittedToItsText) {
    HWND fitted = KvCreateEdit(font_.get(), 0, L"テキスト", 3, 4, 0, 0, parent_, 220);
    ASSERT_NE(nullptr, fitted);
    const SIZE frame = FrameOf(fitted);
    EXPECT_GT(frame.cx, 0);  // the client edge
    EXPECT_EQ(Measure(L"テキスト", font_.get()).cx + frame.cx, WindowSize(fitted).cx);
    EXPECT_EQ(LineHeight(font_.get()) + frame.cy, WindowSize(fitted).cy);
    EXPECT_TRUE(GetWindowLongW(fitted, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(GetWindowLongW(fitted, GWL_STYLE) & ES_AUTOHSCROLL);
    EXPECT_EQ(220, GetDlgCtrlID(fitted));

    // Bare LF line ends become CR LF; the height counts both lines, a given width is kept.
    HWND multi = KvCreateEdit(font_.get(), ES_MULTILINE, L"一行目\n二行目", 0, 0, 150, 0, parent_, 221);
    ASSERT_NE(nullptr, multi);
    EXPECT_EQ(std::wstring(L"一行目\r\n二行目"), WindowText(multi));
    EXPECT_TRUE(GetWindowLongW(multi, GWL_STYLE) & ES_MULTILINE);
    EXPECT_EQ(150, WindowSize(multi).cx);
    EXPECT_EQ(2 * LineHeight(font_.get()) + FrameOf(multi).cy, WindowSize(multi).cy);

    HWND fixed = KvCreateEdit(font_.get(), 0, L"x", 0, 0, 77, 33, parent_, 222);
    EXPECT_EQ(77, WindowSize(fixed).cx);
    EXPECT_EQ(33, WindowSize(fixed).cy);

    HWND widthOnly = KvCreateEdit(font_.get(), 0, L"abc", 0, 0, 0, 40, parent_, 223);
    EXPECT_EQ(Measure(L"abc", font_.get()).cx + FrameOf(widthOnly).cx, WindowSize(widthOnly).cx);
    EXPECT_EQ(40, WindowSize(widthOnly).cy);
}

TEST_F(ControlsTest, TextReaders) {
    HWND edit = KvCreateEdit(font_.get(), 0, L"", 0, 0, 100, 20, parent_, 230);
    ASSERT_NE(nullptr, edit);
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
