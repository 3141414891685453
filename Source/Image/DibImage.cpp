// DibImage: buffers, the load order of the decoders, filling and drawing.
#include "Image/DibImage.h"

#include <algorithm>
#include <new>

#include "Image/ImageBackends.h"
#include "Image/OwnReaders.h"

namespace {

// The part of the file name from its last dot; empty when the name has none.
std::wstring Extension(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return std::wstring();
    return path.substr(dot);
}

}  // namespace

bool DibImage::Allocate(int newHeight, int newWidth) {
    Free();
    width = std::max(newWidth, 1);
    height = std::max(newHeight, 1);
    stride = (width * 3 + 3) & ~3;
    padding = stride - width * 3;
    alphaStride = (width + 3) & ~3;
    header = BITMAPINFOHEADER{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(stride) * static_cast<DWORD>(height);
    try {
        pixels.assign(static_cast<size_t>(stride) * height, 255);
        alpha.assign(static_cast<size_t>(alphaStride) * height, 255);
    } catch (const std::bad_alloc&) {
        Free();
        return false;
    }
    return true;
}

void DibImage::Free() {
    std::vector<uint8_t>().swap(pixels);
    std::vector<uint8_t>().swap(alpha);
    width = height = stride = padding = alphaStride = 0;
}

bool DibImage::Load(const std::wstring& source) {
    path = source;
    const std::wstring extension = Extension(source);
    if (extension == L".tga" && ReadTgaFile(source, *this)) return true;
    if (extension == L".argb" && ReadArgbFile(source, *this)) return true;
    if (LoadWithImageLibrary(source, *this)) return true;
    return LoadWithPlugins(source, *this);
}

void DibImage::FillRect(COLORREF colour, int top, int bottom, int left, int right) {
    if (Empty()) return;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    left = std::clamp(left, 0, width);
    right = std::clamp(right, 0, width);
    top = std::clamp(top, 0, height);
    bottom = std::clamp(bottom, 0, height);
    const uint8_t blue = GetBValue(colour), green = GetGValue(colour), red = GetRValue(colour);
    for (int y = top; y < bottom; ++y) {
        uint8_t* p = &pixels[PixelOffset(height - 1 - y, left)];
        for (int x = left; x < right; ++x, p += 3) {
            p[0] = blue;
            p[1] = green;
            p[2] = red;
        }
    }
}

void DibImage::FillCheckerboard() {
    constexpr int kSquare = 16;
    for (int top = 0; top < height; top += kSquare)
        for (int left = 0; left < width; left += kSquare) {
            const bool dark = ((top / kSquare) + (left / kSquare)) % 2 == 0;
            FillRect(dark ? RGB(120, 120, 120) : RGB(200, 200, 200), top, top + kSquare, left, left + kSquare);
        }
}

void DibImage::DrawThumbnail(HDC dc) const {
    if (Empty()) return;
    BITMAPINFO info{};
    info.bmiHeader = header;
    SetDIBitsToDevice(dc, 0, 0, kThumbnailWidth, kThumbnailHeight, 0, height - kThumbnailHeight, 0,
                      static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
}

bool ComposeThumbnail(const std::wstring& path, DibImage& canvas) {
    DibImage loaded;
    if (!loaded.Load(path)) return false;
    std::unique_ptr<DibImage> scaled =
        ScaleImage(loaded, std::min(loaded.width, kThumbnailWidth), std::min(loaded.height, kThumbnailHeight));
    if (!scaled) return false;
    if (canvas.width != kThumbnailWidth || canvas.height != kThumbnailHeight || canvas.Empty())
        if (!canvas.Allocate(kThumbnailHeight, kThumbnailWidth)) return false;
    canvas.FillCheckerboard();
    BlendImage(canvas, *scaled);
    return true;
}
