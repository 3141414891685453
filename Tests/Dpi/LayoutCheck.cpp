// Text extents are measured with the control's own font in its own DC, so that the check sees what
// the control draws. Containers whose children lie on them by design (group boxes and tab strips
// under their controls) take no part in the overlap check, nor do an up-down control and the edit it
// is attached to, which it overlaps by design.
#include "Dpi/LayoutCheck.h"

#include <commctrl.h>
#include <wincodec.h>

#include <algorithm>

#include "Kv/KvDpi.h"
#include "Kv/KvHandles.h"

namespace tf_test {
namespace {

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

std::wstring TextOf(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, &text[0], length + 1)));
    return text;
}

std::wstring Describe(HWND hwnd) {
    return ClassOf(hwnd) + L" #" + std::to_wstring(GetDlgCtrlID(hwnd)) + L" \"" + TextOf(hwnd) + L"\"";
}

bool IsCaseOf(const std::wstring& cls, const wchar_t* name) {
    return _wcsicmp(cls.c_str(), name) == 0;
}

LONG_PTR Style(HWND hwnd) {
    return GetWindowLongPtrW(hwnd, GWL_STYLE);
}

bool IsContainer(HWND hwnd) {
    const std::wstring cls = ClassOf(hwnd);
    if (IsCaseOf(cls, WC_TABCONTROLW)) return true;
    return IsCaseOf(cls, L"Button") && (Style(hwnd) & BS_TYPEMASK) == BS_GROUPBOX;
}

bool IsUpDownOf(HWND arrows, HWND buddy) {
    return IsCaseOf(ClassOf(arrows), UPDOWN_CLASSW) &&
           reinterpret_cast<HWND>(SendMessageW(arrows, UDM_GETBUDDY, 0, 0)) == buddy;
}

bool OverlapByDesign(HWND a, HWND b) {
    return IsContainer(a) || IsContainer(b) || IsUpDownOf(a, b) || IsUpDownOf(b, a);
}

// The text of `text` as `hwnd` draws it: its font in its DC, wrapped at `wrapWidth` when that is
// positive.
SIZE TextExtent(HWND hwnd, const std::wstring& text, int wrapWidth = 0) {
    kv::WindowDc dc(hwnd);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    kv::SelectObjectScope select(dc.get(), font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    RECT rc{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
    UINT flags = DT_CALCRECT | DT_NOPREFIX | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE);
    if (wrapWidth <= 0 && text.find(L'\n') != std::wstring::npos) flags &= ~DT_SINGLELINE;
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &rc, flags);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

void CheckText(HWND hwnd, std::vector<std::wstring>& problems) {
    const std::wstring cls = ClassOf(hwnd);
    const std::wstring text = TextOf(hwnd);
    if (text.empty()) return;
    RECT client{};
    GetClientRect(hwnd, &client);
    const UINT dpi = KvDpiOfWindow(hwnd);
    int room = client.right, height = client.bottom;
    SIZE extent{};
    if (IsCaseOf(cls, L"Static")) {
        const LONG_PTR type = Style(hwnd) & SS_TYPEMASK;
        if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP && type != SS_SIMPLE)
            return;
        const bool wraps = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
        extent = TextExtent(hwnd, text, wraps ? room : 0);
    } else if (IsCaseOf(cls, L"Button")) {
        const LONG_PTR type = Style(hwnd) & BS_TYPEMASK;
        extent = TextExtent(hwnd, text, (Style(hwnd) & BS_MULTILINE) ? room : 0);
        switch (type) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            // The box or dot and its gap before the text.
            room -= GetSystemMetrics(SM_CXMENUCHECK) + KvScale(4, dpi);
            break;
        case BS_GROUPBOX:
            room -= KvScale(16, dpi);  // the frame's corner before the text and after it
            height = extent.cy;
            break;
        default:
            room -= 2 * GetSystemMetrics(SM_CXEDGE);
            height -= 2 * GetSystemMetrics(SM_CYEDGE);
            break;
        }
    } else {
        return;
    }
    if (extent.cx > room || extent.cy > height)
        problems.push_back(Describe(hwnd) + L": text " + std::to_wstring(extent.cx) + L" x " + std::to_wstring(extent.cy) +
                           L" in " + std::to_wstring(room) + L" x " + std::to_wstring(height));
}

// Column titles of a list view's header within their columns (the sort arrow's room aside).
void CheckHeader(HWND header, std::vector<std::wstring>& problems) {
    const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t title[128] = {};
        HDITEMW item{};
        item.mask = HDI_TEXT | HDI_WIDTH;
        item.pszText = title;
        item.cchTextMax = 128;
        if (!SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item)) || !title[0]) continue;
        const int needed = TextExtent(header, title).cx + 2 * KvScale(6, KvDpiOfWindow(header));
        if (needed > item.cxy)
            problems.push_back(L"column \"" + std::wstring(title) + L"\": " + std::to_wstring(needed) + L" needed, " +
                               std::to_wstring(item.cxy) + L" wide");
    }
}

// The status bar's parts, each holding its text.
void CheckStatusBar(HWND status, std::vector<std::wstring>& problems) {
    int edges[256] = {};
    const int parts = static_cast<int>(SendMessageW(status, SB_GETPARTS, 256, reinterpret_cast<LPARAM>(edges)));
    for (int i = 0; i < parts; ++i) {
        const int length = LOWORD(SendMessageW(status, SB_GETTEXTLENGTHW, i, 0));
        if (length == 0) continue;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(status, SB_GETTEXTW, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(length));
        RECT part{};
        SendMessageW(status, SB_GETRECT, i, reinterpret_cast<LPARAM>(&part));
        const int needed = TextExtent(status, text).cx;
        if (needed > part.right - part.left)
            problems.push_back(L"status part " + std::to_wstring(i) + L" \"" + text + L"\": " + std::to_wstring(needed) +
                               L" needed, " + std::to_wstring(part.right - part.left) + L" wide");
    }
}

std::vector<HWND> VisibleChildren(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsWindowVisible(child)) children.push_back(child);
    }
    return children;
}

RECT ScreenRect(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    return rc;
}

void CheckTree(HWND parent, std::vector<std::wstring>& problems) {
    const std::vector<HWND> children = VisibleChildren(parent);
    for (size_t i = 0; i < children.size(); ++i) {
        HWND child = children[i];
        const std::wstring cls = ClassOf(child);
        CheckText(child, problems);
        if (IsCaseOf(cls, WC_HEADERW)) CheckHeader(child, problems);
        if (IsCaseOf(cls, STATUSCLASSNAMEW)) CheckStatusBar(child, problems);
        for (size_t j = i + 1; j < children.size(); ++j) {
            if (OverlapByDesign(child, children[j])) continue;
            RECT a = ScreenRect(child), b = ScreenRect(children[j]), both{};
            if (IntersectRect(&both, &a, &b))
                problems.push_back(Describe(child) + L" overlaps " + Describe(children[j]));
        }
        CheckTree(child, problems);
    }
}

}  // namespace

std::vector<std::wstring> LayoutProblems(HWND window) {
    std::vector<std::wstring> problems;
    CheckTree(window, problems);
    return problems;
}

bool SaveWindowPicture(HWND window, const std::wstring& path) {
    RECT rc{};
    if (!GetWindowRect(window, &rc)) return false;
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    kv::WindowDc screen(nullptr);
    kv::UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    kv::UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    if (!memory || !bitmap) return false;
    {
        kv::SelectObjectScope select(memory.get(), bitmap.get());
        if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), rc.left, rc.top, SRCCOPY)) return false;
    }
    kv::ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
        return false;
    kv::ComPtr<IWICBitmap> source;
    if (FAILED(factory->CreateBitmapFromHBITMAP(bitmap.get(), nullptr, WICBitmapIgnoreAlpha, &source))) return false;
    kv::ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(&stream)) || FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)))
        return false;
    kv::ComPtr<IWICBitmapEncoder> encoder;
    if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)))
        return false;
    kv::ComPtr<IWICBitmapFrameEncode> frame;
    if (FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->WriteSource(source.get(), nullptr)) || FAILED(frame->Commit()))
        return false;
    return SUCCEEDED(encoder->Commit());
}

}  // namespace tf_test
