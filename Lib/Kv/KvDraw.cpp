// The standard font, the read-only text box fitted to its text, text measuring and the small
// drawing helpers every window of the toolkit paints with. Each drawing helper creates its own
// pens and brushes and deletes them before it returns; the DC is left as it was given.
#include "Kv/KvControls.h"
#include "Kv/KvHandles.h"
#include "Kv/KvWindow.h"

#include <algorithm>

namespace {

const int kTextBoxId = 100;
const int kTextBoxWrapHeight = 1024;  // height of the rectangle the wrapped text is measured in

// One-pixel polyline in `colour`.
void DrawLine(HDC dc, COLORREF colour, const POINT* points, int count) {
    kv::UniquePen pen(CreatePen(PS_SOLID, 1, colour));
    kv::SelectObjectScope use(dc, pen.get());
    Polyline(dc, points, count);
}

}  // namespace

HFONT KvCreateDefaultFont() {
    // One description of the standard font serves both the font and the template callers adjust.
    const LOGFONTW lf = KvMakeLogFont();
    return CreateFontIndirectW(&lf);
}

std::wstring KvToCrLf(const wchar_t* text) {
    std::wstring out;
    if (!text) return out;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'\n' && (p == text || p[-1] != L'\r')) out += L'\r';
        out += *p;
    }
    return out;
}

// A line's trailing CR belongs to its line break and is not measured; every line, an empty one
// included, is one text height high.
SIZE KvMeasureText(HDC dc, const wchar_t* text) {
    SIZE total{0, 0};
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    const wchar_t* line = text ? text : L"";
    for (;;) {
        const wchar_t* end = line;
        while (*end && *end != L'\n') ++end;
        int length = static_cast<int>(end - line);
        if (length > 0 && line[length - 1] == L'\r') --length;
        SIZE size{0, 0};
        if (length > 0) GetTextExtentPoint32W(dc, line, length, &size);
        total.cx = std::max(total.cx, size.cx);
        total.cy += tm.tmHeight;
        if (!*end) break;
        line = end + 1;
    }
    return total;
}

HWND KvCreateTextBox(SIZE* sizeOut, DWORD style, DWORD exStyle, const wchar_t* text, int x, int y, int maxWidth,
                     HWND parent, HFONT font) {
    std::wstring crlf = KvToCrLf(text);
    HWND box = CreateWindowExW(exStyle, L"EDIT", crlf.c_str(), style | WS_CHILD | WS_VISIBLE | ES_READONLY, x, y, 50,
                               50, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextBoxId)),
                               GetModuleHandleW(nullptr), nullptr);
    if (!box) return nullptr;
    if (font) SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    kv::WindowDc dc(box);
    kv::SelectObjectScope useFont(dc.get(), font);
    RECT window{}, client{};
    GetWindowRect(box, &window);
    GetClientRect(box, &client);
    int borderWidth = (window.right - window.left) - (client.right - client.left);
    int borderHeight = (window.bottom - window.top) - (client.bottom - client.top);

    // The edit control keeps margins inside its client area; text that is measured to fit must
    // also fit between them, or the control wraps a line the height below does not allow for.
    DWORD margins = static_cast<DWORD>(SendMessageW(box, EM_GETMARGINS, 0, 0));
    int marginWidth = LOWORD(margins) + HIWORD(margins);

    SIZE textSize = KvMeasureText(dc.get(), crlf.c_str());
    int width = textSize.cx + marginWidth + borderWidth;
    int wrapWidth = textSize.cx;
    if (width > maxWidth) {
        width = maxWidth;
        wrapWidth = maxWidth - borderWidth - marginWidth;
    }

    MoveWindow(box, x, y, width, 0, FALSE);
    RECT wrap{0, 0, std::max(wrapWidth, 1), kTextBoxWrapHeight};
    int textHeight = DrawTextW(dc.get(), crlf.c_str(), -1, &wrap, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);

    // The control breaks words a little differently from DrawTextW; it must never show fewer lines
    // than it holds.
    TEXTMETRICW tm{};
    GetTextMetricsW(dc.get(), &tm);
    int shownLines = static_cast<int>(SendMessageW(box, EM_GETLINECOUNT, 0, 0));
    textHeight = std::max(textHeight, shownLines * static_cast<int>(tm.tmHeight));
    int height = textHeight + borderHeight;
    MoveWindow(box, x, y, width, height, TRUE);
    if (sizeOut) *sizeOut = SIZE{width, height};
    return box;
}

void KvFillGradientV(HDC dc, const RECT& rc, COLORREF top, COLORREF bottom) {
    if (rc.bottom <= rc.top || rc.right <= rc.left) return;
    if (KvGetSystemInfo().majorVersion >= 4) {
        TRIVERTEX v[2] = {};
        v[0].x = rc.left;
        v[0].y = rc.top;
        v[0].Red = static_cast<COLOR16>(GetRValue(top) * 255);
        v[0].Green = static_cast<COLOR16>(GetGValue(top) * 255);
        v[0].Blue = static_cast<COLOR16>(GetBValue(top) * 255);
        v[0].Alpha = 255;
        v[1].x = rc.right;
        v[1].y = rc.bottom;
        v[1].Red = static_cast<COLOR16>(GetRValue(bottom) * 255);
        v[1].Green = static_cast<COLOR16>(GetGValue(bottom) * 255);
        v[1].Blue = static_cast<COLOR16>(GetBValue(bottom) * 255);
        v[1].Alpha = 255;
        GRADIENT_RECT r{0, 1};
        GradientFill(dc, v, 2, &r, 1, GRADIENT_FILL_RECT_V);
        return;
    }
    int span = rc.bottom - rc.top;
    for (int y = rc.top; y < rc.bottom; ++y) {
        double t = static_cast<double>(y - rc.top) / span;
        auto channel = [t](int a, int b) { return a + static_cast<int>(t * (b - a)); };
        COLORREF c = RGB(channel(GetRValue(top), GetRValue(bottom)), channel(GetGValue(top), GetGValue(bottom)),
                         channel(GetBValue(top), GetBValue(bottom)));
        kv::UniqueBrush brush(CreateSolidBrush(c));
        RECT row{rc.left, y, rc.right, y + 1};
        FillRect(dc, &row, brush.get());
    }
}

void KvDrawEtchedFrame(HDC dc, const RECT& rc) {
    const POINT left[2] = {{rc.left, rc.top}, {rc.left, rc.bottom - 1}};
    const POINT top[2] = {{rc.right - 1, rc.top}, {rc.left, rc.top}};
    const POINT bottom[2] = {{rc.left, rc.bottom - 1}, {rc.right - 1, rc.bottom - 1}};
    const POINT right[2] = {{rc.right - 1, rc.bottom - 1}, {rc.right - 1, rc.top}};
    const COLORREF shadow = RGB(172, 168, 153);
    const COLORREF light = RGB(255, 255, 255);
    DrawLine(dc, shadow, left, 2);
    DrawLine(dc, shadow, top, 2);
    DrawLine(dc, light, bottom, 2);
    DrawLine(dc, light, right, 2);
}

void KvDrawFrameRect(HDC dc, const RECT& rc, COLORREF colour) {
    const POINT outline[5] = {{rc.left, rc.top},
                              {rc.left, rc.bottom - 1},
                              {rc.right - 1, rc.bottom - 1},
                              {rc.right - 1, rc.top},
                              {rc.left, rc.top}};
    DrawLine(dc, colour, outline, 5);
}

void KvFillRect(HDC dc, const RECT& rc, COLORREF colour) {
    kv::UniquePen pen(CreatePen(PS_SOLID, 1, colour));
    kv::UniqueBrush brush(CreateSolidBrush(colour));
    kv::SelectObjectScope usePen(dc, pen.get());
    kv::SelectObjectScope useBrush(dc, brush.get());
    Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
}
