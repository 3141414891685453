// The library's message box: a modal window of class "__kv_MsgBox__" with the icon of its kind (a
// question for boxes that ask, information for an OK box) and the text in a read-only text box on a
// light blue panel, and a row (or rows, for custom labels) of buttons under it at the right. A box
// returns the identifier of the pressed button: kinds 0 to 4 use the fixed identifiers below, the
// custom kind returns 1 + the index of the label. The dialog keyboard handling of the modal loop
// turns Escape and the close box into command 2, which ends every kind with 2.
#include "Kv/KvBoxState.h"
#include "Kv/KvDialog.h"
#include "Kv/KvDpi.h"
#include "Kv/KvGuard.h"
#include "Kv/KvHandles.h"
#include "Kv/KvWindow.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

const int kCustomKind = 5;
const int kRowPitch = 32;
const int kMaxColumns = 4;
const COLORREF kPanelColour = RGB(240, 240, 255);
const COLORREF kTextColour = RGB(40, 40, 40);
const COLORREF kGradientTop = RGB(250, 250, 255);
const COLORREF kGradientBottom = RGB(190, 190, 255);

struct MessageBoxState {
    HWND hwnd = nullptr;
    std::wstring text;
    int kind = 0;
    int focusIndex = 0;
    int buttonCount = 0;
    std::vector<std::wstring> labels;  // kind 5 only
    int panelX = 0, panelY = 0, panelWidth = 0, panelHeight = 0;
    kv::UniqueBrush background;
    kv::UniqueFont font;
    MessageBoxState* outer = nullptr;
};

MessageBoxState& CurrentMessageBox() {
    static MessageBoxState state;
    return state;
}

struct FixedButton {
    const wchar_t* label;
    int id;
};

// The buttons of kinds 0 to 4, left to right.
std::vector<FixedButton> FixedButtons(int kind) {
    switch (kind) {
    case KvMbOkCancel:
        return {{KvOkLabel, IDOK}, {KvCancelLabel, IDCANCEL}};
    case KvMbYesNo:
        return {{KvYesLabel, IDYES}, {KvNoLabel, IDNO}};
    case KvMbYesCancel:
        return {{KvYesLabel, IDYES}, {KvCancelLabel, IDCANCEL}};
    case KvMbYesNoCancel:
        return {{KvYesLabel, IDYES}, {KvNoLabel, IDNO}, {KvCancelLabel, IDCANCEL}};
    default:
        return {{KvOkLabel, IDOK}};
    }
}

void MakeDefault(HWND dlg, HWND button) {
    if (button) SendMessageW(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button), TRUE);
}

// Lays out the buttons, the last of a row at the right margin of a client area `clientWidth` wide,
// and returns the y of the last button row. In pixels of the box's DPI.
int CreateButtons(MessageBoxState& s, HWND hwnd, int clientWidth, int firstRowY, UINT dpi) {
    auto px = [dpi](int length) { return KvScale(length, dpi); };
    HFONT font = s.font.get();
    const int rightmost = clientWidth - px(kv::kBoxMargin + kv::kBoxButtonWidth);  // its left edge
    if (s.kind != kCustomKind) {
        std::vector<FixedButton> buttons = FixedButtons(s.kind);
        int count = static_cast<int>(buttons.size());
        HWND leftmost = nullptr;
        for (int i = 0; i < count; ++i) {
            int x = rightmost - (count - 1 - i) * px(kv::kBoxButtonPitch);
            HWND b = kv::CreateBoxButton(hwnd, buttons[i].label, buttons[i].id, x, firstRowY, font);
            if (i == 0) leftmost = b;
        }
        if (count == 1) {
            SetFocus(leftmost);
        } else {
            MakeDefault(hwnd, leftmost);
        }
        return firstRowY;
    }

    int count = static_cast<int>(s.labels.size());
    int cols = std::min(count, kMaxColumns);
    int y = firstRowY;
    for (int i = 0; i < count; ++i) {
        int x = rightmost - (cols - 1 - (i % cols)) * px(kv::kBoxButtonPitch);
        HWND b = kv::CreateBoxButton(hwnd, s.labels[i].c_str(), i + 1, x, y, font);
        if (i == s.focusIndex) MakeDefault(hwnd, b);
        if ((i + 1) % cols == 0 && i + 1 < count) y += px(kRowPitch);
    }
    return y;
}

void OnCreate(MessageBoxState& s, HWND hwnd) {
    const KvSystemInfo& info = KvGetSystemInfo();
    const UINT dpi = KvDpiOfWindow(hwnd);
    auto px = [dpi](int length) { return KvScale(length, dpi); };
    s.hwnd = hwnd;
    s.font.reset(KvCreateDialogFont(hwnd));
    s.panelX = px(10);
    s.panelY = px(10);
    s.background.reset(CreateSolidBrush(kPanelColour));

    const int textX = px(16 + kv::kBoxIconRoom);
    SIZE ts{0, 0};
    HWND text = KvCreateTextBox(&ts, ES_MULTILINE, 0, s.text.c_str(), textX, px(18),
                                px(468 - kv::kBoxIconRoom) - info.frameWidth2, hwnd, s.font.get());
    int cols = std::max(1, std::min(s.buttonCount, kMaxColumns));
    int f = std::max(static_cast<int>(ts.cx), cols * px(kv::kBoxButtonPitch) - px(22));
    const int textHeight = std::max(static_cast<int>(ts.cy), px(kv::kBoxIconSize));
    if (text) SetWindowPos(text, nullptr, 0, 0, f, ts.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    s.panelHeight = textHeight + px(16);
    s.panelWidth = textX - s.panelX + f + px(6);
    const int clientWidth = textX + f + px(16);
    int width = info.frameWidth2 + clientWidth;
    int lastRowY = CreateButtons(s, hwnd, clientWidth, textHeight + px(36), dpi);
    int height = lastRowY + info.smallCaptionHeight + px(34);

    POINT centre = KvWindowCenter(GetWindow(hwnd, GW_OWNER));
    MoveWindow(hwnd, centre.x - width / 2, centre.y - height / 2, width, height, FALSE);
}

void OnPaint(const MessageBoxState& s, HWND hwnd) {
    kv::PaintDc dc(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    KvFillGradientV(dc.get(), client, kGradientTop, kGradientBottom);
    RECT panel{s.panelX, s.panelY, s.panelX + s.panelWidth, s.panelY + s.panelHeight};
    KvDrawEtchedFrame(dc.get(), panel);
    InflateRect(&panel, -4, -4);
    KvDrawEtchedFrame(dc.get(), panel);
    kv::DrawBoxIcon(dc.get(), hwnd, s.kind == KvMbOk ? IDI_INFORMATION : IDI_QUESTION, s.panelX, s.panelY);
}

LRESULT HandleMessageBox(MessageBoxState& s, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        OnCreate(s, hwnd);
        return 0;
    case WM_PAINT:
        OnPaint(s, hwnd);
        return 0;
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wp);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, kTextColour);
        return reinterpret_cast<LRESULT>(s.background.get());
    }
    case WM_COMMAND: {
        int id = LOWORD(wp);
        if (id >= 1 && id <= 99) {
            KvEndModal(hwnd, id);
            return 0;
        }
        break;
    }
    case WM_DESTROY:
        s.font.reset();
        s.hwnd = nullptr;
        return 0;
    default:
        break;
    }
    return DefDlgProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK MessageBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    MessageBoxState& current = CurrentMessageBox();
    MessageBoxState* state = msg == WM_CREATE ? &current : kv::FindBoxState(current, hwnd);
    if (!state) return DefDlgProcW(hwnd, msg, wp, lp);
    return KvGuardedWindowProc(L"MessageBoxProc", __LINE__, DefDlgProcW, hwnd, msg, wp, lp,
                               [&] { return HandleMessageBox(*state, hwnd, msg, wp, lp); });
}

// The box's brush and font belong to its state and are released when the scope puts back the
// state of any box this one was opened from inside.
int RunMessageBox(HWND owner, const wchar_t* title, const wchar_t* text, int kind, std::vector<std::wstring> labels) {
    MessageBoxState& current = CurrentMessageBox();
    kv::BoxStateScope<MessageBoxState> scope(current);
    current.text = text ? text : L"";
    current.kind = kind;
    current.focusIndex = 0;
    current.labels = std::move(labels);
    current.buttonCount = kind == kCustomKind       ? static_cast<int>(current.labels.size())
                          : kind == KvMbYesNoCancel ? 3
                                                    : 2;
    return KvDoModal(L"__kv_MsgBox__", WS_EX_TOOLWINDOW, WS_POPUP | WS_VISIBLE | WS_CAPTION, title ? title : L"", 0, 0,
                     kv::BoxOwner(owner), MessageBoxProc);
}

}  // namespace

int KvMessageBox(HWND owner, const wchar_t* title, const wchar_t* text, int kind) {
    if (kind < KvMbOk || kind > KvMbYesNoCancel) kind = KvMbOk;
    return RunMessageBox(owner, title, text, kind, {});
}

// Without any label there would be no button to lay out or press; such a box is shown as a plain
// OK box (result 1).
int KvMessageBoxCustom(const wchar_t* const* labels, HWND owner, const wchar_t* title, const wchar_t* text) {
    std::vector<std::wstring> list;
    for (const wchar_t* const* p = labels; p && *p; ++p) list.emplace_back(*p);
    if (list.empty()) return RunMessageBox(owner, title, text, KvMbOk, {});
    return RunMessageBox(owner, title, text, kCustomKind, std::move(list));
}
