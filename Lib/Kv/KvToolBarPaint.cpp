// CKvToolBar painting: background gradient (flat when both colours are equal), etched separators,
// the hot frame and the icons, pressed icons one pixel right and down, disabled icons blended 50 %
// with grey. WM_PAINT draws into an off-screen bitmap first so that hot tracking does not flicker.
#include "Kv/KvToolBar.h"

#include "Kv/KvWindow.h"

namespace {

const COLORREF kSeparatorDarkTop = RGB(177, 174, 164);
const COLORREF kSeparatorDarkBottom = RGB(180, 179, 158);
const COLORREF kSeparatorLightTop = RGB(227, 224, 214);
const COLORREF kSeparatorLightBottom = RGB(220, 219, 198);
const COLORREF kHotBorder = RGB(49, 106, 197);
const COLORREF kHotFill = RGB(193, 210, 238);

void DrawSeparator(HDC dc, const RECT& rc) {
    int m = (rc.left + rc.right) / 2;
    KvFillGradientV(dc, RECT{m, rc.top, m + 1, rc.bottom}, kSeparatorDarkTop, kSeparatorDarkBottom);
    KvFillGradientV(dc, RECT{m + 1, rc.top, m + 2, rc.bottom}, kSeparatorLightTop, kSeparatorLightBottom);
}

void DrawHotFrame(HDC dc, const RECT& rc) {
    kv::UniquePen pen(CreatePen(PS_SOLID, 1, kHotBorder));
    kv::UniqueBrush brush(CreateSolidBrush(kHotFill));
    kv::SelectObjectScope selectPen(dc, pen.get());
    kv::SelectObjectScope selectBrush(dc, brush.get());
    Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
}

}  // namespace

void CKvToolBar::Paint(HDC dc, const RECT& client) const {
    kv::SelectObjectScope selectFont(dc, font_.get());
    if (backTop_ == backBottom_) {
        kv::UniqueBrush brush(CreateSolidBrush(backTop_));
        FillRect(dc, &client, brush.get());
    } else {
        KvFillGradientV(dc, client, backTop_, backBottom_);
    }
    for (const KvToolButton& button : buttons_) PaintButton(dc, button);
}

void CKvToolBar::PaintButton(HDC dc, const KvToolButton& button) const {
    const RECT& rc = button.rect;
    if (button.kind == KvToolButton::Separator) {
        DrawSeparator(dc, rc);
        return;
    }
    if (button.hot) DrawHotFrame(dc, rc);
    if (!imageList_ || button.imageIndex < 0) return;
    int x = (rc.left + rc.right) / 2 - iconSize_ / 2 + button.iconOffset;
    int y = (rc.top + rc.bottom) / 2 - iconSize_ / 2 + button.iconOffset;
    if (!button.enabled) {
        ImageList_DrawEx(imageList_.get(), button.imageIndex, dc, x, y, button.imageSize, button.imageSize, CLR_NONE,
                         disabledBlend_, ILD_BLEND50);
        return;
    }
    int shift = button.pressed ? 1 : 0;
    ImageList_Draw(imageList_.get(), button.imageIndex, dc, x + shift, y + shift, ILD_TRANSPARENT);
}

void CKvToolBar::PaintBuffered(HDC target, const RECT& client) const {
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    kv::UniqueMemoryDc memory(CreateCompatibleDC(target));
    kv::UniqueBitmap bitmap(memory ? CreateCompatibleBitmap(target, width, height) : nullptr);
    if (!bitmap) {
        Paint(target, client);
        return;
    }
    kv::SelectObjectScope selectBitmap(memory.get(), bitmap.get());
    Paint(memory.get(), client);
    BitBlt(target, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
}
