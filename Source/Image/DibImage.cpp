// DibImage: buffers, the load order of the decoders, filling and drawing, thumbnails.
#include "Image/DibImage.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "Image/BoxScaler.h"
#include "Image/ImageBackends.h"
#include "Image/OwnReaders.h"
#include "Kv/KvSlowPaths.h"

namespace {

// The part of the file name from its last dot; empty when the name has none.
std::wstring Extension(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return std::wstring();
    return path.substr(dot);
}

// Copies what a decoder delivers into a DibImage of the picture's full size.
class ImageSink : public PictureSink {
public:
    explicit ImageSink(DibImage& image) : image_(image) {}
    bool Begin(int width, int height) override { return image_.Allocate(height, width); }
    void Row(int row, const uint8_t* bgra) override {
        if (row < 0 || row >= image_.height) return;
        uint8_t* p = &image_.pixels[image_.PixelOffset(row, 0)];
        uint8_t* a = &image_.alpha[image_.AlphaOffset(row, 0)];
        for (int x = 0; x < image_.width; ++x, bgra += 4, p += 3) {
            p[0] = bgra[0];
            p[1] = bgra[1];
            p[2] = bgra[2];
            a[x] = bgra[3];
        }
    }

private:
    DibImage& image_;
};

// Scales what a decoder delivers straight to its thumbnail size.
class ThumbnailSink : public PictureSink {
public:
    bool Begin(int width, int height) override {
        size_ = ThumbnailSize(width, height);
        begun_ = scaler_.Begin(width, height, size_.cx, size_.cy);
        return begun_;
    }
    void Row(int row, const uint8_t* bgra) override { scaler_.AddRow(row, bgra); }
    std::unique_ptr<DibImage> Finish() const { return begun_ ? scaler_.Finish() : nullptr; }

private:
    BoxScaler scaler_;
    SIZE size_{};
    bool begun_ = false;
};

// Decoders that scale while decoding are asked for this many times the thumbnail's size, so that
// the area averaging of the last step still sees several samples per thumbnail pixel.
constexpr int kDecodeOversampling = 4;

}  // namespace

bool DecodePicture(const std::wstring& path, PictureSink& sink, int maxWidth, int maxHeight) {
    KvPathCallGate(path);
    const std::wstring extension = Extension(path);
    if (extension == L".tga" && ReadTgaFile(path, sink)) return true;
    if (extension == L".argb" && ReadArgbFile(path, sink)) return true;
    if (LoadWithImageLibrary(path, sink, maxWidth, maxHeight)) return true;
    return LoadWithPlugins(path, sink);
}

SIZE ThumbnailSize(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width <= kThumbnailWidth && height <= kThumbnailHeight) return SIZE{width, height};
    const int64_t w = width, h = height;
    // Whichever side meets its limit first sets the scale; the other is rounded to the nearest pixel.
    if (w * kThumbnailHeight >= h * kThumbnailWidth)
        return SIZE{kThumbnailWidth, static_cast<LONG>(std::max<int64_t>(1, (h * kThumbnailWidth + w / 2) / w))};
    return SIZE{static_cast<LONG>(std::max<int64_t>(1, (w * kThumbnailHeight + h / 2) / h)), kThumbnailHeight};
}

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
    ImageSink sink(*this);
    if (DecodePicture(source, sink, 0, 0)) return true;
    Free();
    return false;
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
    ThumbnailSink sink;
    if (!DecodePicture(path, sink, kThumbnailWidth * kDecodeOversampling, kThumbnailHeight * kDecodeOversampling))
        return false;
    std::unique_ptr<DibImage> scaled = sink.Finish();
    if (!scaled) return false;
    if (canvas.width != kThumbnailWidth || canvas.height != kThumbnailHeight || canvas.Empty())
        if (!canvas.Allocate(kThumbnailHeight, kThumbnailWidth)) return false;
    canvas.FillCheckerboard();
    BlendImage(canvas, *scaled, (kThumbnailWidth - scaled->width) / 2, (kThumbnailHeight - scaled->height) / 2);
    return true;
}
