// The internal-error box and the warning box: a modal window of class "__kv_ErrorBox__" with the
// text in a read-only text box on an etched panel and two buttons, either of which ends it with 1.
// The error box's text names where the failure happened:
//     File : <file name of the source unit>      only when a file and a function are given and differ
//     Func : <function>                          only when a function is given
//     Line : <line>
//     (empty line)
//     ----- エラーメッセージ ----
//     <message>
#include "Kv/KvBoxState.h"
#include "Kv/KvGuard.h"
#include "Kv/KvHandles.h"
#include "Kv/KvWindow.h"

#include <algorithm>
#include <string>

namespace {

const wchar_t kErrorTitle[] =  // プログラム内部でエラーが発生しました
    L"\u30D7\u30ED\u30B0\u30E9\u30E0\u5185\u90E8\u3067\u30A8\u30E9\u30FC\u304C\u767A\u751F\u3057\u307E\u3057\u305F";
const wchar_t kWarningTitle[] = L"\u8B66\u544A";  // 警告
const wchar_t kSeparator[] = L"\n----- \u30A8\u30E9\u30FC\u30E1\u30C3\u30BB\u30FC\u30B8 ----\n";
const int kButtonWidth = 100;
const int kButtonHeight = 22;

struct ErrorBoxState {
    HWND hwnd = nullptr;
    std::wstring text;
    int panelX = 0, panelY = 0, panelWidth = 0, panelHeight = 0;
    kv::UniqueFont font;
    ErrorBoxState* outer = nullptr;
};

ErrorBoxState& CurrentErrorBox() {
    static ErrorBoxState state;
    return state;
}

bool Given(const wchar_t* s) {
    return s && *s;
}

std::wstring FileNameOf(const wchar_t* path) {
    std::wstring p = path;
    size_t slash = p.find_last_of(L"\\/");
    return slash == std::wstring::npos ? p : p.substr(slash + 1);
}

std::wstring Joined(const wchar_t* prefix, const wchar_t* detail) {
    std::wstring message = prefix ? prefix : L"";
    message += L'\n';
    if (detail) message += detail;
    return message;
}

HWND CreateButton(HWND parent, const wchar_t* label, int id, DWORD extraStyle, int x, int y, HFONT font) {
    HWND button = CreateWindowExW(
        0, L"BUTTON", label, WS_CHILD | WS_VISIBLE | WS_TABSTOP | extraStyle, x, y, kButtonWidth, kButtonHeight, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (button) SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return button;
}

void OnCreate(ErrorBoxState& s, HWND hwnd) {
    const KvSystemInfo& info = KvGetSystemInfo();
    s.hwnd = hwnd;
    s.font.reset(KvCreateDefaultFont());
    s.panelX = 10;
    s.panelY = 10;
    s.panelWidth = 480 - info.frameWidth2;
    s.panelHeight = 0;

    SIZE ts{0, 0};
    HWND text = KvCreateTextBox(&ts, ES_MULTILINE, WS_EX_STATICEDGE, s.text.c_str(), 18, 18, 464 - info.frameWidth2,
                                hwnd, s.font.get());
    int w = std::max(static_cast<int>(ts.cx), 204);
    int h = ts.cy;
    if (text) SetWindowPos(text, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    s.panelWidth = w + 16;
    s.panelHeight = h + 16;

    HWND ok = CreateButton(hwnd, KvOkLabel, IDOK, 0, 10, h + 41, s.font.get());
    CreateButton(hwnd, KvCancelLabel, IDCANCEL, WS_GROUP, 120, h + 41, s.font.get());
    if (ok) SetFocus(ok);

    int width = info.frameWidth2 + w + 36;
    int height = h + 73 + info.frameCaptionHeight;
    RECT place = KvCenteredOnDesktop(width, height);
    MoveWindow(hwnd, place.left, place.top, width, height, FALSE);
}

LRESULT HandleErrorBox(ErrorBoxState& s, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        OnCreate(s, hwnd);
        return 0;
    case WM_PAINT: {
        kv::PaintDc dc(hwnd);
        RECT panel{s.panelX, s.panelY, s.panelX + s.panelWidth, s.panelY + s.panelHeight};
        KvDrawEtchedFrame(dc.get(), panel);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
            KvEndModal(hwnd, 1);
            return 0;
        }
        break;
    case WM_DESTROY:
        s.font.reset();
        s.hwnd = nullptr;
        return 0;
    default:
        break;
    }
    return DefDlgProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ErrorBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    ErrorBoxState& current = CurrentErrorBox();
    ErrorBoxState* state = msg == WM_CREATE ? &current : kv::FindBoxState(current, hwnd);
    if (!state) return DefDlgProcW(hwnd, msg, wp, lp);
    return KvGuardedWindowProc(L"ErrorBoxProc", __LINE__, DefDlgProcW, hwnd, msg, wp, lp,
                               [&] { return HandleErrorBox(*state, hwnd, msg, wp, lp); });
}

int ShowBox(const std::wstring& text, const wchar_t* title) {
    if (KvGetSystemInfo().majorVersion == 4) {
        MessageBoxW(nullptr, text.c_str(), title, MB_OK);
        return 1;
    }
    ErrorBoxState& current = CurrentErrorBox();
    kv::BoxStateScope<ErrorBoxState> scope(current);
    current.text = text;
    KvDoModal(L"__kv_ErrorBox__", WS_EX_TOOLWINDOW, WS_POPUP | WS_VISIBLE | WS_CAPTION, title, 0, 0, nullptr,
              ErrorBoxProc);
    return 1;
}

}  // namespace

std::wstring KvComposeErrorText(const wchar_t* message, const wchar_t* file, const wchar_t* function, int line) {
    std::wstring text;
    if (Given(file) && Given(function) && std::wstring(file) != function) text += L"File : " + FileNameOf(file) + L"\n";
    if (Given(function)) text += L"Func : " + std::wstring(function) + L"\n";
    text += L"Line : " + std::to_wstring(line) + L"\n";
    text += kSeparator;
    if (message) text += message;
    return text;
}

int KvErrorBox(const wchar_t* message, const wchar_t* file, const wchar_t* function, int line) {
    return ShowBox(KvComposeErrorText(message, file, function, line), kErrorTitle);
}

int KvErrorBox(const wchar_t* prefix, const wchar_t* detail, const wchar_t* file, const wchar_t* function, int line) {
    return KvErrorBox(Joined(prefix, detail).c_str(), file, function, line);
}

int KvWarningBox(const wchar_t* message) {
    return ShowBox(message ? message : L"", kWarningTitle);
}

int KvWarningBox(const wchar_t* prefix, const wchar_t* detail) {
    return ShowBox(Joined(prefix, detail), kWarningTitle);
}
