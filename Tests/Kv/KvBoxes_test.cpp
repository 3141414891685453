// The message box, the internal-error box and the warning box, through their real windows: layout,
// buttons and results, the keyboard, owners, and boxes opened from inside other boxes.
#include <gtest/gtest.h>

#include "Kv/KvHandles.h"
#include "Kv/KvWindow.h"
#include "Support/TestSupport.h"

#include <algorithm>
#include <string>
#include <vector>

using tf_test::ModalResponder;
using tf_test::ModalSeen;

namespace {

const wchar_t kErrorTitle[] =
    L"\u30D7\u30ED\u30B0\u30E9\u30E0\u5185\u90E8\u3067\u30A8\u30E9\u30FC\u304C\u767A\u751F\u3057\u307E\u3057\u305F";
const wchar_t kSeparator[] = L"\n----- \u30A8\u30E9\u30FC\u30E1\u30C3\u30BB\u30FC\u30B8 ----\n";

// The icon of the box's kind stands left of the text; the text is at least the icon's height.
constexpr int kIconRoom = 42;
int TextHeight(const RECT& text) {
    return std::max<int>(text.bottom - text.top, 32);
}

// A control's rectangle in its dialog's client coordinates.
RECT ChildRect(HWND dlg, HWND child) {
    RECT rc{};
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

int ClientWidth(HWND dlg) {
    RECT rc{};
    GetClientRect(dlg, &rc);
    return rc.right;
}

bool IsDefaultButton(HWND button) {
    return (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// Sends Escape to whichever control has the focus, as the keyboard would.
void PressEscape(HWND dlg) {
    HWND focus = GetFocus();
    PostMessageW(focus && IsChild(dlg, focus) ? focus : dlg, WM_KEYDOWN, VK_ESCAPE, 0);
}

class OwnerWindow : public ::testing::Test {
protected:
    void SetUp() override {
        owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 200, 150, 600, 400, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override { DestroyWindow(owner_); }
    HWND owner_ = nullptr;
};

}  // namespace

TEST_F(OwnerWindow, MessageBoxLayoutOfAOneWordText) {
    const KvSystemInfo& info = KvGetSystemInfo();
    ModalResponder responder([&](HWND dlg, const ModalSeen& seen) {
        EXPECT_EQ(seen.className, L"__kv_MsgBox__");
        EXPECT_EQ(seen.title, L"Title");
        EXPECT_EQ(seen.text, L"Hi");
        EXPECT_TRUE(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
        EXPECT_FALSE(IsWindowEnabled(owner_));

        RECT text = ChildRect(dlg, GetDlgItem(dlg, 100));
        int f = text.right - text.left;
        int th = TextHeight(text);
        EXPECT_EQ(text.left, 16 + kIconRoom);
        EXPECT_EQ(text.top, 18);
        EXPECT_EQ(f, 198);  // two buttons' worth, however short the text
        EXPECT_EQ(ClientWidth(dlg), f + 32 + kIconRoom);

        RECT ok = ChildRect(dlg, GetDlgItem(dlg, IDOK));
        RECT cancel = ChildRect(dlg, GetDlgItem(dlg, IDCANCEL));
        EXPECT_EQ(ok.left, f - 188 + kIconRoom);
        EXPECT_EQ(cancel.left, f - 78 + kIconRoom);
        EXPECT_EQ(ok.top, th + 36);
        EXPECT_EQ(cancel.right, ClientWidth(dlg) - 10);
        EXPECT_EQ(tf_test::WindowText(GetDlgItem(dlg, IDCANCEL)), KvCancelLabel);

        RECT win{};
        GetWindowRect(dlg, &win);
        EXPECT_EQ(win.right - win.left, info.frameWidth2 + f + 32 + kIconRoom);
        EXPECT_EQ(win.bottom - win.top, th + 36 + info.smallCaptionHeight + 34);
        POINT centre = KvWindowCenter(owner_);
        EXPECT_NEAR((win.left + win.right) / 2, centre.x, 1);
        EXPECT_NEAR((win.top + win.bottom) / 2, centre.y, 1);

        EXPECT_EQ(GetFocus(), GetDlgItem(dlg, IDOK));
        EXPECT_TRUE(IsDefaultButton(GetDlgItem(dlg, IDOK)));
        return IDCANCEL;
    });
    EXPECT_EQ(KvMessageBox(owner_, L"Title", L"Hi", KvMbOkCancel), IDCANCEL);
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(OwnerWindow, EachKindHasItsButtonsAndReturnsThePressedOne) {
    struct Kind {
        int kind;
        std::vector<int> ids;
    };
    const std::vector<Kind> kinds = {{KvMbOk, {IDOK}},
                                     {KvMbOkCancel, {IDOK, IDCANCEL}},
                                     {KvMbYesNo, {IDYES, IDNO}},
                                     {KvMbYesCancel, {IDYES, IDCANCEL}},
                                     {KvMbYesNoCancel, {IDYES, IDNO, IDCANCEL}}};
    for (const Kind& k : kinds) {
        for (int press : k.ids) {
            ModalResponder responder([&](HWND dlg, const ModalSeen&) {
                int x = ClientWidth(dlg) - 110 - 110 * static_cast<int>(k.ids.size() - 1);
                for (int id : k.ids) {
                    HWND b = GetDlgItem(dlg, id);
                    EXPECT_NE(b, nullptr) << "kind " << k.kind << " id " << id;
                    if (b) {
                        EXPECT_EQ(ChildRect(dlg, b).left, x) << "kind " << k.kind << " id " << id;
                    }
                    x += 110;
                }
                int buttons = 0;
                for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                    buttons += GetDlgCtrlID(c) != 100;
                EXPECT_EQ(buttons, static_cast<int>(k.ids.size())) << "kind " << k.kind;
                EXPECT_EQ(GetFocus(), GetDlgItem(dlg, k.ids[0])) << "kind " << k.kind;
                return press;
            });
            EXPECT_EQ(KvMessageBox(owner_, L"t", L"text", k.kind), press) << "kind " << k.kind;
        }
    }
}

TEST_F(OwnerWindow, SixCustomLabelsMakeARowOfFourAndARowOfTwo) {
    const wchar_t* labels[] = {L"one", L"two", L"three", L"four", L"five", L"six", nullptr};
    const KvSystemInfo& info = KvGetSystemInfo();
    ModalResponder responder([&](HWND dlg, const ModalSeen&) {
        RECT text = ChildRect(dlg, GetDlgItem(dlg, 100));
        int f = text.right - text.left;
        int th = TextHeight(text);
        EXPECT_EQ(f, 418);
        std::vector<RECT> b;
        for (int id = 1; id <= 6; ++id) {
            HWND h = GetDlgItem(dlg, id);
            EXPECT_NE(h, nullptr);
            if (!h) return 0;
            b.push_back(ChildRect(dlg, h));
            EXPECT_EQ(tf_test::WindowText(h), labels[id - 1]);
        }
        for (int i = 0; i < 4; ++i) EXPECT_EQ(b[i].top, th + 36);
        for (int i = 1; i < 4; ++i) EXPECT_EQ(b[i].left - b[i - 1].left, 110);
        EXPECT_EQ(b[3].right, ClientWidth(dlg) - 10);
        EXPECT_EQ(b[4].left, b[0].left);
        EXPECT_EQ(b[5].left, b[1].left);
        EXPECT_EQ(b[4].top, b[0].top + 32);
        EXPECT_EQ(b[5].top, b[0].top + 32);
        RECT win{};
        GetWindowRect(dlg, &win);
        EXPECT_EQ(win.bottom - win.top, th + 36 + 32 + info.smallCaptionHeight + 34);
        EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 1));
        EXPECT_TRUE(IsDefaultButton(GetDlgItem(dlg, 1)));
        return 5;
    });
    EXPECT_EQ(KvMessageBoxCustom(labels, owner_, L"t", L"choose"), 5);

    // No labels at all: a plain OK box rather than a box without any button.
    const wchar_t* none[] = {nullptr};
    ModalResponder third([&](HWND dlg, const ModalSeen&) {
        EXPECT_NE(GetDlgItem(dlg, IDOK), nullptr);
        return IDOK;
    });
    EXPECT_EQ(KvMessageBoxCustom(none, owner_, L"t", L"text"), 1);
    EXPECT_EQ(KvMessageBoxCustom(nullptr, owner_, L"t", L"text"), 1);
}

TEST_F(OwnerWindow, EscapeEndsEveryKindWithTwo) {
    ModalResponder responder([&](HWND dlg, const ModalSeen&) {
        PressEscape(dlg);
        return 0;
    });
    EXPECT_EQ(KvMessageBox(owner_, L"t", L"text", KvMbOk), IDCANCEL);
    EXPECT_EQ(KvMessageBox(owner_, L"t", L"text", KvMbYesNo), IDCANCEL);
    const wchar_t* labels[] = {L"a", L"b", L"c", nullptr};
    EXPECT_EQ(KvMessageBoxCustom(labels, owner_, L"t", L"text"), 2);
    EXPECT_EQ(responder.seen().size(), 3u);
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(OwnerWindow, BoxOpenedInsideABoxLeavesTheOuterBoxIntact) {
    int innerResult = -1;
    ModalResponder responder([&](HWND outer, const ModalSeen& seen) {
        if (seen.title != L"outer") return 0;
        {
            ModalResponder inner([](HWND, const ModalSeen&) { return IDNO; });
            innerResult = KvMessageBox(outer, L"inner", L"nested text", KvMbYesNo);
            EXPECT_EQ(inner.seen().size(), 1u);
        }
        // The outer box still paints with a live brush and its buttons with a live font.
        HWND text = GetDlgItem(outer, 100);
        kv::WindowDc dc(text);
        auto brush = reinterpret_cast<HGDIOBJ>(
            SendMessageW(outer, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(text)));
        EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
        auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(GetDlgItem(outer, IDOK), WM_GETFONT, 0, 0));
        EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
        EXPECT_FALSE(IsWindowEnabled(owner_));
        UpdateWindow(outer);

        // So do the error box and the warning box opened from inside an error box.
        ModalResponder errors([](HWND err, const ModalSeen&) {
            ModalResponder warning(IDCANCEL);
            EXPECT_EQ(KvWarningBox(L"inner warning"), 1);
            auto f = reinterpret_cast<HGDIOBJ>(SendMessageW(GetDlgItem(err, IDOK), WM_GETFONT, 0, 0));
            EXPECT_EQ(GetObjectType(f), static_cast<DWORD>(OBJ_FONT));
            EXPECT_EQ(warning.seen().size(), 1u);
            return IDOK;
        });
        EXPECT_EQ(KvErrorBox(L"outer error", L"a.cpp", L"F", 1), 1);
        return IDOK;
    });
    EXPECT_EQ(KvMessageBox(owner_, L"outer", L"text", KvMbOkCancel), IDOK);
    EXPECT_EQ(innerResult, IDNO);
    EXPECT_TRUE(IsWindowEnabled(owner_));

    // Boxes still work afterwards.
    ModalResponder after(IDYES);
    EXPECT_EQ(KvMessageBox(owner_, L"after", L"text", KvMbYesCancel), IDYES);
}

TEST(KvErrorBox, ComposedText) {
    const std::wstring sep = kSeparator;
    EXPECT_EQ(KvComposeErrorText(L"msg", L".\\Source\\Master", L"CMaster::Init", 42),
              L"File : Master\nFunc : CMaster::Init\nLine : 42\n" + sep + L"msg");
    EXPECT_EQ(KvComposeErrorText(L"msg", L"C:/dir/unit.cpp", L"F", 7),
              L"File : unit.cpp\nFunc : F\nLine : 7\n" + sep + L"msg");
    EXPECT_EQ(KvComposeErrorText(L"msg", nullptr, L"F", 7), L"Func : F\nLine : 7\n" + sep + L"msg");
    EXPECT_EQ(KvComposeErrorText(L"msg", L"Same", L"Same", 3), L"Func : Same\nLine : 3\n" + sep + L"msg");
    EXPECT_EQ(KvComposeErrorText(L"msg", L".\\x\\Unit", nullptr, -5), L"Line : -5\n" + sep + L"msg");
    EXPECT_EQ(KvComposeErrorText(L"msg", L"", L"", 0), L"Line : 0\n" + sep + L"msg");
    EXPECT_EQ(KvComposeErrorText(nullptr, nullptr, nullptr, 1), L"Line : 1\n" + sep);
}

// The box belongs to the active window, which opened it, and is centred on it.
TEST(KvErrorBox, ShowsTheTextAndReturnsOneForOkAndEsc) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 700, 500, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    SetActiveWindow(owner);
    for (int press : {IDOK, IDCANCEL}) {
        ModalResponder responder([&](HWND dlg, const ModalSeen& seen) {
            EXPECT_EQ(seen.className, L"__kv_ErrorBox__");
            EXPECT_EQ(seen.title, kErrorTitle);
            EXPECT_EQ(GetWindow(dlg, GW_OWNER), owner);
            RECT text = ChildRect(dlg, GetDlgItem(dlg, 100));
            EXPECT_EQ(text.left, 18 + kIconRoom);
            EXPECT_GE(text.right - text.left, 204);
            RECT ok = ChildRect(dlg, GetDlgItem(dlg, IDOK));
            RECT copy = ChildRect(dlg, GetDlgItem(dlg, 3));
            EXPECT_EQ(copy.right, ClientWidth(dlg) - 10);
            EXPECT_EQ(copy.left - ok.left, 110);
            EXPECT_EQ(ok.top, TextHeight(text) + 41);
            EXPECT_EQ(GetFocus(), GetDlgItem(dlg, IDOK));
            RECT box{};
            GetWindowRect(dlg, &box);
            const POINT centre = KvWindowCenter(owner);
            EXPECT_NEAR((box.left + box.right) / 2, centre.x, 1);
            EXPECT_NEAR((box.top + box.bottom) / 2, centre.y, 1);
            // コピー puts the text on the clipboard and leaves the box open.
            SendMessageW(dlg, WM_COMMAND, 3, 0);
            EXPECT_TRUE(IsWindow(dlg));
            EXPECT_EQ(ClipboardText(), tf_test::WindowText(GetDlgItem(dlg, 100)));
            return press;
        });
        EXPECT_EQ(KvErrorBox(L"Something failed", L".\\Lib\\Kv\\KvTest", L"KvTestFunc", 12), 1);
        ASSERT_EQ(responder.seen().size(), 1u);
        EXPECT_EQ(responder.seen()[0].text,
                  KvToCrLf(KvComposeErrorText(L"Something failed", L".\\Lib\\Kv\\KvTest", L"KvTestFunc", 12).c_str()));
    }

    ModalResponder responder([](HWND dlg, const ModalSeen&) {
        PressEscape(dlg);
        return 0;
    });
    EXPECT_EQ(KvErrorBox(L"prefix", L"detail", nullptr, L"Fn", 3), 1);
    ASSERT_EQ(responder.seen().size(), 1u);
    EXPECT_NE(responder.seen()[0].text.find(L"\r\nprefix\r\ndetail"), std::wstring::npos);
    DestroyWindow(owner);
}

TEST(KvErrorBox, WarningBoxShowsTheBareMessage) {
    ModalResponder responder(IDCANCEL);
    EXPECT_EQ(KvWarningBox(L"Be careful"), 1);
    EXPECT_EQ(KvWarningBox(L"first", L"second\nthird"), 1);
    ASSERT_EQ(responder.seen().size(), 2u);
    EXPECT_EQ(responder.seen()[0].title, L"\u8B66\u544A");
    EXPECT_EQ(responder.seen()[0].text, L"Be careful");
    EXPECT_EQ(responder.seen()[1].text, L"first\r\nsecond\r\nthird");
}
