// The history dialog's view of a file's first bytes.
#include "Backup/Dialogs/BackupDataView.h"

#include <algorithm>

#include "Kv/KvGuard.h"
#include "Kv/KvWindow.h"

namespace {

const wchar_t kClassName[] = L"CBackupDataView";
const wchar_t kUnit[] = L".\\Source\\BackupDataView";
constexpr size_t kHexPerRow = 16;

enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be };

// The file's own encoding: a byte-order mark at its start, else UTF-8 when the shown bytes are valid
// UTF-8 (a sequence cut at either end of the window does not count against it), else ANSI.
Encoding Detect(const std::vector<unsigned char>& head, const std::vector<unsigned char>& shown) {
    if (head.size() >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) return Encoding::Utf8;
    if (head.size() >= 2 && head[0] == 0xFF && head[1] == 0xFE) return Encoding::Utf16Le;
    if (head.size() >= 2 && head[0] == 0xFE && head[1] == 0xFF) return Encoding::Utf16Be;
    size_t begin = 0;
    while (begin < shown.size() && begin < 3 && (shown[begin] & 0xC0) == 0x80) ++begin;
    size_t end = shown.size();
    for (size_t back = 1; back <= 3 && back <= end - begin; ++back) {
        const unsigned char c = shown[end - back];
        if ((c & 0xC0) == 0x80) continue;
        const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (need > back) end -= back;
        break;
    }
    if (end <= begin) return Encoding::Ansi;
    const bool ascii = std::all_of(shown.begin() + begin, shown.begin() + end, [](unsigned char c) { return c < 0x80; });
    if (ascii) return Encoding::Ansi;
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(shown.data() + begin),
                               static_cast<int>(end - begin), nullptr, 0) > 0
               ? Encoding::Utf8
               : Encoding::Ansi;
}

std::wstring Widen(UINT codePage, const unsigned char* bytes, size_t count) {
    if (count == 0) return std::wstring();
    const int length = MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(bytes), static_cast<int>(count),
                                           nullptr, 0);
    std::wstring text(static_cast<size_t>(std::max(length, 0)), L'\0');
    if (length > 0)
        MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(bytes), static_cast<int>(count), &text[0],
                            length);
    return text;
}

}  // namespace

std::wstring CBackupDataView::DecodeShown(const std::vector<unsigned char>& head, const std::vector<unsigned char>& shown,
                                          int64_t offset) {
    const Encoding encoding = Detect(head, shown);
    size_t begin = 0;
    size_t end = shown.size();
    if (encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be) {
        if (offset == 0) begin = 2;                          // the byte-order mark
        if (offset % 2) begin = std::max<size_t>(begin, 1);  // characters start at even offsets
        std::wstring text;
        for (size_t i = begin; i + 1 < end; i += 2) {
            const unsigned char a = shown[i], b = shown[i + 1];
            text.push_back(static_cast<wchar_t>(encoding == Encoding::Utf16Le ? a | (b << 8) : (a << 8) | b));
        }
        return text;
    }
    if (encoding == Encoding::Ansi) return Widen(CP_ACP, shown.data(), shown.size());
    if (offset == 0 && head.size() >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) begin = 3;
    while (begin < end && (shown[begin] & 0xC0) == 0x80) ++begin;  // the tail of a cut character
    return Widen(CP_UTF8, shown.data() + begin, end - std::min(begin, end));
}

std::vector<std::wstring> CBackupDataView::HexRows(const std::vector<unsigned char>& shown, int64_t offset) {
    std::vector<std::wstring> rows;
    for (size_t row = 0; row < shown.size(); row += kHexPerRow) {
        wchar_t line[128];
        int at = swprintf(line, 128, L"%04llx ", static_cast<unsigned long long>(offset + static_cast<int64_t>(row)));
        std::wstring chars;
        for (size_t i = row; i < row + kHexPerRow; ++i) {
            if (i < shown.size())
                at += swprintf(line + at, 128 - at, L" %02x", shown[i]);
            else
                at += swprintf(line + at, 128 - at, L"   ");
            if (i < shown.size()) chars.push_back(shown[i] >= 0x20 && shown[i] < 0x7F ? shown[i] : L'.');
        }
        rows.push_back(std::wstring(line) + L"  " + chars);
    }
    return rows;
}

bool CBackupDataView::Create(HWND parent) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kClassName;
    if (!KvRegisterClassEx(wc)) {
        KvErrorBox(L"Create CBackupDataView!", kUnit, L"CBackupDataView::Create", 69);
        return false;
    }
    path_.clear();
    mode_ = kModeText;
    offset_ = 0;
    hwnd_ = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 100, 100, parent, nullptr,
                            GetModuleHandleW(nullptr), this);
    if (!hwnd_) {
        KvErrorBox(L"Create CBackupDataView!", kUnit, L"CBackupDataView::Create", 82);
        return false;
    }
    font_.reset(KvCreateDefaultFont());
    fixedFont_.reset(CreateFontW(-10, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New"));
    return true;
}

void CBackupDataView::Destroy() {
    if (!hwnd_) return;
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
}

void CBackupDataView::SetFile(const std::wstring& path) {
    path_ = path;
    if (!path.empty()) offset_ = 0;
}

std::vector<unsigned char> CBackupDataView::ReadShown(const std::wstring& path, int64_t offset) {
    kv::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    LARGE_INTEGER at;
    at.QuadPart = offset;
    if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) return {};
    std::vector<unsigned char> bytes(kShownBytes);
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), kShownBytes, &read, nullptr)) return {};
    bytes.resize(read);
    return bytes;
}

void CBackupDataView::Paint(HDC dc) const {
    if (path_.empty()) return;
    const std::vector<unsigned char> bytes = ReadShown(path_, offset_);
    if (bytes.empty()) return;
    kv::SelectObjectScope selectFont(dc, font_.get());
    SetBkMode(dc, TRANSPARENT);
    if (mode_ == kModeText) {
        const std::wstring text = DecodeShown(offset_ == 0 ? bytes : ReadShown(path_, 0), bytes, offset_);
        RECT rc{};
        GetClientRect(hwnd_, &rc);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_WORDBREAK | DT_NOPREFIX);
        return;
    }
    kv::SelectObjectScope selectFixed(dc, fixedFont_.get());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    int y = 0;
    for (const std::wstring& row : HexRows(bytes, offset_)) {
        TextOutW(dc, 0, y, row.c_str(), static_cast<int>(row.size()));
        y += metrics.tmHeight;
    }
}

LRESULT CALLBACK CBackupDataView::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return KvGuardedWindowProc(L"CBackupDataView::WndProc", __LINE__, nullptr, hwnd, msg, wp, lp, [&]() -> LRESULT {
        if (msg == WM_NCCREATE) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
        } else if (msg == WM_PRINTCLIENT) {
            auto* view = reinterpret_cast<CBackupDataView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            if (view) view->Paint(reinterpret_cast<HDC>(wp));
            return 0;
        } else if (msg == WM_PAINT) {
            auto* view = reinterpret_cast<CBackupDataView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            kv::PaintDc dc(hwnd);
            if (view) view->Paint(dc.get());
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    });
}
