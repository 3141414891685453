// Images for thumbnails: a 24-bit bottom-up device-independent bitmap with a separate 8-bit alpha
// plane, decoded from a file by the program's own readers (32-bit uncompressed TGA, raw .argb), the
// external image library and the image plug-ins (ImageBackends.h), scaled down by area averaging
// and blended over a checkerboard.
//
// Layout: pixels are rows of `stride` bytes (width * 3 rounded up to a multiple of 4), blue, green,
// red, row 0 the bottom row; the alpha plane has rows of `alphaStride` bytes (width rounded up to a
// multiple of 4), 0 transparent to 255 opaque, in the same row order.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class DibImage {
public:
    // Frees the old buffers; width and height below 1 become 1. Every pixel and alpha byte becomes
    // 255 (white, opaque). False (and an empty image) when the buffers cannot be allocated.
    bool Allocate(int height, int width);
    void Free();
    // Decodes `path`: the own readers for the extensions ".tga" and ".argb" (case-sensitive), then
    // the image library, then the first plug-in that takes the file. False when nothing could.
    bool Load(const std::wstring& path);

    // Fills the pixels (not the alpha) of a rectangle in top-down coordinates, right and bottom
    // exclusive, clamped to the image; `colour` is an RGB value.
    void FillRect(COLORREF colour, int top, int bottom, int left, int right);
    // 16 x 16 squares of RGB(120, 120, 120) and RGB(200, 200, 200), the dark one at the top left.
    void FillCheckerboard();
    // SetDIBitsToDevice of the top 78 x 75 pixels to (0, 0) of `dc`.
    void DrawThumbnail(HDC dc) const;

    bool Empty() const { return pixels.empty(); }
    // Byte offsets of a pixel and of its alpha, `row` counted in stored (bottom-up) order.
    size_t PixelOffset(int row, int column) const { return static_cast<size_t>(row) * stride + column * 3; }
    size_t AlphaOffset(int row, int column) const { return static_cast<size_t>(row) * alphaStride + column; }

    // The 40-byte header and the zero word after it: 44 bytes, as the bitmap functions take them.
    BITMAPINFOHEADER header{};
    uint32_t headerTail = 0;
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> alpha;
    std::wstring path;
    int width = 0;
    int height = 0;
    int stride = 0;
    int padding = 0;
    int alphaStride = 0;
};

// The thumbnail canvas size.
constexpr int kThumbnailWidth = 78;
constexpr int kThumbnailHeight = 75;

// Area-averaged copy of `source` at width x height; null when it cannot be made.
std::unique_ptr<DibImage> ScaleImage(const DibImage& source, int width, int height);
// Blends `source` over `destination` by the source's alpha, top-left aligned.
void BlendImage(DibImage& destination, const DibImage& source);
// Loads `path`, scales it to at most 78 x 75 (each side on its own) and blends it over the
// checkerboard of `canvas`, which becomes a 78 x 75 image. False when the file cannot be decoded.
bool ComposeThumbnail(const std::wstring& path, DibImage& canvas);
