// Readers of control text. The character limits are those of the dialogs' fixed buffers: longer
// texts are cut, never overrun.
#include "Kv/KvControls.h"

#include <climits>

namespace {

constexpr int kWindowTextChars = 256;  // 255 characters and the NUL
constexpr int kItemTextChars = 512;    // 511 characters and the NUL

// atoi-style: blanks, optional sign, then digits until the first other character. Saturates at the
// int range instead of overflowing.
long long ParseDecimal(const wchar_t* s) {
    while (*s == L' ' || *s == L'\t' || *s == L'\r' || *s == L'\n' || *s == L'\v' || *s == L'\f') ++s;
    bool negative = false;
    if (*s == L'+' || *s == L'-') negative = *s++ == L'-';
    long long value = 0;
    for (; *s >= L'0' && *s <= L'9'; ++s) {
        value = value * 10 + (*s - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return value;
}

}  // namespace

std::wstring KvGetWindowText(HWND hwnd) {
    wchar_t buf[kWindowTextChars] = {};
    int n = GetWindowTextW(hwnd, buf, kWindowTextChars);
    return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring KvGetWholeText(HWND hwnd) {
    if (!hwnd) return {};
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, &text[0], length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

std::wstring KvGetItemWholeText(HWND dlg, int itemId) {
    return KvGetWholeText(GetDlgItem(dlg, itemId));
}

double KvGetItemNumber(HWND dlg, int itemId) {
    HWND item = GetDlgItem(dlg, itemId);
    if (!item) return 0.0;
    wchar_t buf[kItemTextChars] = {};
    GetWindowTextW(item, buf, kItemTextChars);
    return static_cast<double>(ParseDecimal(buf));
}
