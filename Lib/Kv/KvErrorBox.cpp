// The internal-error box and the warning box: a modal window of class "__kv_ErrorBox__" with the
// icon of its kind and the text in a read-only text box on an etched panel, OK (also Esc and the
// close box), which ends it with 1, and コピー, which puts the text on the clipboard and leaves the
// box open. The box is owned by the active window of the thread and centred on it.
// The error box's text names where the failure happened:
//     File : <file name of the source unit>      only when a file and a function are given and differ
//     Func : <function>                          only when a function is given
//     Line : <line>
//     (empty line)
//     ----- エラーメッセージ ----
//     <message>
#include "Kv/KvBoxState.h"
#include "Kv/KvClipboard.h"
#include "Kv/KvDialog.h"
#include "Kv/KvDpi.h"
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
const wchar_t kCopyLabel[] = L"\u30B3\u30D4\u30FC";  // コピー
constexpr int kCopyId = 3;

struct ErrorBoxState {
    HWND hwnd = nullptr;
    std::wstring text;
    const wchar_t* icon = IDI_ERROR;
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

// The icon at the panel's left, the text beside it, and the buttons at the right under the panel
// (OK, then コピー at the right margin). Sizes are 96-DPI pixels scaled to the owner's DPI.
void OnCreate(ErrorBoxState& s, HWND hwnd) {
    const KvSystemInfo& info = KvGetSystemInfo();
    const UINT dpi = KvDpiOfWindow(hwnd);
    auto px = [dpi](int length) { return KvScale(length, dpi); };
    s.hwnd = hwnd;
    s.font.reset(KvCreateDialogFont(hwnd));
    s.panelX = px(10);
    s.panelY = px(10);

    const int textX = px(18 + kv::kBoxIconRoom);
    SIZE ts{0, 0};
    HWND text = KvCreateTextBox(&ts, ES_MULTILINE, WS_EX_STATICEDGE, s.text.c_str(), textX, px(18),
                                px(464 - kv::kBoxIconRoom) - info.frameWidth2, hwnd, s.font.get());
    const int w = std::max(static_cast<int>(ts.cx), px(2 * kv::kBoxButtonWidth + kv::kBoxMargin - 6));
    const int h = std::max(static_cast<int>(ts.cy), px(kv::kBoxIconSize));
    if (text) SetWindowPos(text, nullptr, 0, 0, w, ts.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    s.panelWidth = textX - s.panelX + w + px(8);
    s.panelHeight = h + px(16);

    const int clientWidth = s.panelX + s.panelWidth + px(kv::kBoxMargin);
    const int buttonsTop = s.panelY + s.panelHeight + px(15);
    const int copyX = clientWidth - px(kv::kBoxMargin + kv::kBoxButtonWidth);
    HWND ok = kv::CreateBoxButton(hwnd, KvOkLabel, IDOK, copyX - px(kv::kBoxButtonPitch), buttonsTop, s.font.get());
    kv::CreateBoxButton(hwnd, kCopyLabel, kCopyId, copyX, buttonsTop, s.font.get());
    if (ok) SendMessageW(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ok), TRUE);

    const int width = info.frameWidth2 + clientWidth;
    const int height = buttonsTop + px(kv::kBoxButtonHeight + kv::kBoxMargin) + info.frameCaptionHeight;
    SetWindowPos(hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    KvCentreOnOwner(hwnd);
}

void CopyText(const ErrorBoxState& s, HWND hwnd) {
    if (!OpenClipboard(hwnd)) return;
    EmptyClipboard();
    if (HGLOBAL text = KvMakeTextGlobal(KvToCrLf(s.text.c_str()))) {
        if (!SetClipboardData(CF_UNICODETEXT, text)) GlobalFree(text);
    }
    CloseClipboard();
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
        kv::DrawBoxIcon(dc.get(), hwnd, s.icon, s.panelX, s.panelY);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == kCopyId) {
            CopyText(s, hwnd);
            return 0;
        }
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
            KvEndModal(hwnd, 1);
            return 0;
        }
        break;
    case WM_CLOSE:
        KvEndModal(hwnd, 1);
        return 0;
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

int ShowBox(const std::wstring& text, const wchar_t* title, const wchar_t* icon) {
    if (KvGetSystemInfo().majorVersion == 4) {
        MessageBoxW(nullptr, text.c_str(), title, MB_OK);
        return 1;
    }
    ErrorBoxState& current = CurrentErrorBox();
    kv::BoxStateScope<ErrorBoxState> scope(current);
    current.text = text;
    current.icon = icon;
    KvDoModal(L"__kv_ErrorBox__", WS_EX_TOOLWINDOW, WS_POPUP | WS_VISIBLE | WS_CAPTION, title, 0, 0,
              kv::BoxOwner(nullptr), ErrorBoxProc);
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
    return ShowBox(KvComposeErrorText(message, file, function, line), kErrorTitle, IDI_ERROR);
}

int KvErrorBox(const wchar_t* prefix, const wchar_t* detail, const wchar_t* file, const wchar_t* function, int line) {
    return KvErrorBox(Joined(prefix, detail).c_str(), file, function, line);
}

int KvWarningBox(const wchar_t* message) {
    return ShowBox(message ? message : L"", kWarningTitle, IDI_WARNING);
}

int KvWarningBox(const wchar_t* prefix, const wchar_t* detail) {
    return ShowBox(Joined(prefix, detail), kWarningTitle, IDI_WARNING);
}
