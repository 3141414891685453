// Control creators: each control is created first, then measured with its own font selected into
// its own DC, so the size matches what the control will draw.
#include "Kv/KvControls.h"

#include "Kv/KvHandles.h"
#include "Kv/KvWindow.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kButtonBoxWidth = 26;   // check mark or radio dot plus its gap before the text
constexpr int kButtonMinHeight = 22;  // room for the mark whatever the text's height
constexpr int kDefaultEditSize = 50;  // initial size of a dimension the caller leaves to the text
constexpr int kWrapMeasureHeight = 1024;

HWND CreateChild(const wchar_t* cls, const wchar_t* text, DWORD exStyle, DWORD style, int x, int y, int w, int h,
                 HWND parent, int id, HFONT font) {
    HWND hwnd = CreateWindowExW(exStyle, cls, text ? text : L"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (hwnd && font) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return hwnd;
}

SIZE MeasureInControl(HWND hwnd, HFONT font, const wchar_t* text) {
    kv::WindowDc dc(hwnd);
    if (!dc) return SIZE{0, 0};
    kv::SelectObjectScope select(dc.get(), font);
    return KvMeasureText(dc.get(), text ? text : L"");
}

void Resize(HWND hwnd, int width, int height) {
    SetWindowPos(hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND CreateTextButton(const wchar_t* text, DWORD buttonStyle, int x, int y, HWND parent, int id, HFONT font) {
    HWND hwnd = CreateChild(L"BUTTON", text, 0, buttonStyle, x, y, 0, 0, parent, id, font);
    if (!hwnd) return nullptr;
    SIZE size = MeasureInControl(hwnd, font, text);
    Resize(hwnd, size.cx + kButtonBoxWidth, std::max<int>(size.cy, kButtonMinHeight));
    return hwnd;
}

// Border sizes: what the frame and edges take from the window rectangle.
SIZE FrameSize(HWND hwnd) {
    RECT window{}, client{};
    GetWindowRect(hwnd, &window);
    GetClientRect(hwnd, &client);
    return SIZE{(window.right - window.left) - client.right, (window.bottom - window.top) - client.bottom};
}

}  // namespace

LOGFONTW KvMakeLogFont() {
    LOGFONTW lf;
    std::memset(&lf, 0, sizeof(lf));
    lf.lfHeight = 12;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = 18;  // VARIABLE_PITCH | FF_ROMAN: the standard font's value
    static const wchar_t kFace[] = L"ＭＳ Ｐゴシック";
    static_assert(sizeof(kFace) / sizeof(kFace[0]) <= LF_FACESIZE, "face name fits LOGFONTW");
    std::memcpy(lf.lfFaceName, kFace, sizeof(kFace));
    return lf;
}

HWND KvCreateLabel(const wchar_t* text, int x, int y, HWND parent, int id, HFONT font) {
    HWND hwnd = CreateChild(L"STATIC", text, 0, 0, x, y, 0, 0, parent, id, font);
    if (!hwnd) return nullptr;
    SIZE size = MeasureInControl(hwnd, font, text);
    Resize(hwnd, size.cx, size.cy);
    return hwnd;
}

HWND KvCreateCheckBox(const wchar_t* text, int x, int y, HWND parent, int id, HFONT font) {
    return CreateTextButton(text, BS_AUTOCHECKBOX, x, y, parent, id, font);
}

HWND KvCreateRadioButton(const wchar_t* text, int x, int y, HWND parent, int id, HFONT font) {
    return CreateTextButton(text, BS_AUTORADIOBUTTON, x, y, parent, id, font);
}

HWND KvCreateButton(const wchar_t* text, int x, int y, int width, int height, HWND parent, int id, HFONT font,
                    DWORD style) {
    return CreateChild(L"BUTTON", text, 0, WS_TABSTOP | style, x, y, width, height, parent, id, font);
}

HWND KvCreateGroupBox(const wchar_t* text, int x, int y, int width, int height, HWND parent, HFONT font) {
    return CreateChild(L"BUTTON", text, 0, BS_GROUPBOX, x, y, width, height, parent, -1, font);
}

HWND KvCreateComboList(HFONT font, const std::vector<std::wstring>& items, int selected, HWND parent) {
    HWND hwnd = CreateChild(L"COMBOBOX", L"", 0, CBS_DROPDOWNLIST, 10, 175, 80, 60, parent, KvComboListId, font);
    if (!hwnd) return nullptr;
    for (const std::wstring& item : items) SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    if (items.empty()) return hwnd;
    if (selected < 0 || static_cast<size_t>(selected) >= items.size()) selected = 0;
    SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    return hwnd;
}

HWND KvCreateEdit(HFONT font, DWORD extraStyle, const wchar_t* text, int x, int y, int width, int height, HWND parent,
                  int id) {
    const std::wstring crlf = KvToCrLf(text ? text : L"");
    const bool fitWidth = width == 0;
    const bool fitHeight = height == 0;
    HWND hwnd =
        CreateChild(L"EDIT", crlf.c_str(), WS_EX_CLIENTEDGE, ES_AUTOHSCROLL | extraStyle, x, y,
                    fitWidth ? kDefaultEditSize : width, fitHeight ? kDefaultEditSize : height, parent, id, font);
    if (!hwnd || (!fitWidth && !fitHeight)) return hwnd;

    const SIZE frame = FrameSize(hwnd);
    kv::WindowDc dc(hwnd);
    if (!dc) return hwnd;
    kv::SelectObjectScope select(dc.get(), font);
    const SIZE textSize = KvMeasureText(dc.get(), crlf.c_str());
    if (fitWidth) width = textSize.cx + frame.cx;
    if (fitHeight) {
        RECT rc{0, 0, textSize.cx, kWrapMeasureHeight};
        height = DrawTextW(dc.get(), crlf.c_str(), static_cast<int>(crlf.size()), &rc, DT_WORDBREAK | DT_CALCRECT) +
                 frame.cy;
    }
    Resize(hwnd, width, height);
    return hwnd;
}
