// Status bar helpers of the main window.
#include "Kv/KvControls.h"

#include <commctrl.h>

namespace {
constexpr int kMaxStatusParts = 256;  // the status bar's own limit
}  // namespace

bool KvCreateStatusBar(HWND* statusOut, HWND parent) {
    HWND status = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM, L"", parent, KvStatusBarId);
    if (statusOut) *statusOut = status;
    return status != nullptr;
}

void KvSetStatusParts(HWND status, const int* parts) {
    static const int kWholeWidth[] = {-1};
    if (!parts) {
        SendMessageW(status, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(kWholeWidth));
        return;
    }
    int count = 0;
    while (count < kMaxStatusParts && parts[count] != -1) ++count;
    SendMessageW(status, SB_SETPARTS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(parts));
}

void KvSetStatusText(HWND status, int partAndFlags, const wchar_t* text) {
    SendMessageW(status, SB_SETTEXTW, static_cast<WPARAM>(partAndFlags), reinterpret_cast<LPARAM>(text ? text : L""));
    UpdateWindow(status);
}
