// The history dialog's view of a file's first bytes.
#include "Backup/Dialogs/BackupDataView.h"

#include "Kv/KvGuard.h"
#include "Kv/KvWindow.h"

namespace {

const wchar_t kClassName[] = L"CBackupDataView";
const wchar_t kUnit[] = L".\\Source\\BackupDataView";
constexpr int kHexStep = 15;
constexpr int kHexLine = 12;
constexpr int kHexPerLine = 15;

}  // namespace

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
        const int length = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<int>(bytes.size()), nullptr, 0);
        std::wstring text(static_cast<size_t>(length), L'\0');
        MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
                            &text[0], length);
        RECT rc{};
        GetClientRect(hwnd_, &rc);
        DrawTextW(dc, text.c_str(), length, &rc, DT_WORDBREAK | DT_NOPREFIX);
        return;
    }
    int x = 0;
    int y = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        wchar_t digits[3];
        swprintf(digits, 3, L"%02x", bytes[i]);
        TextOutW(dc, x, y, digits, 2);
        x += kHexStep;
        if ((i + 1) % kHexPerLine == 0) {
            x = 0;
            y += kHexLine;
        }
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
