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

// Receives a decoded picture row by row.
class PictureSink {
public:
    virtual ~PictureSink() = default;
    // The picture's size, before any row; false refuses it and the decoder stops.
    virtual bool Begin(int width, int height) = 0;
    // One row in stored order (0 = the bottom row): width pixels of blue, green, red, alpha.
    virtual void Row(int row, const uint8_t* bgra) = 0;
};

class DibImage {
public:
    // Frees the old buffers; width and height below 1 become 1. Every pixel and alpha byte becomes
    // 255 (white, opaque). False (and an empty image) when the buffers cannot be allocated.
    bool Allocate(int height, int width);
    void Free();
    // Decodes `path` at its full size (DecodePicture). False, and an empty image, when nothing could.
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

// Decodes `path` into `sink`: the own readers for the extensions ".tga" and ".argb"
// (case-sensitive), then the image library, then the first plug-in that takes the file. A decoder
// that can scale while decoding delivers at most maxWidth x maxHeight, keeping the proportions
// (0 x 0: the full size). False when nothing could decode it.
bool DecodePicture(const std::wstring& path, PictureSink& sink, int maxWidth, int maxHeight);

// Area-averaged copy of `source` at width x height (BoxScaler.h); null when it cannot be made.
std::unique_ptr<DibImage> ScaleImage(const DibImage& source, int width, int height);
// Blends `source` over `destination` by the source's alpha, its top-left corner at (left, top) of
// the destination counted from the top.
void BlendImage(DibImage& destination, const DibImage& source, int left = 0, int top = 0);
// The size of the thumbnail of a width x height picture: it keeps its proportions, fits 78 x 75 and
// is never enlarged; neither side is below 1.
SIZE ThumbnailSize(int width, int height);
// Decodes `path`, scales it to its ThumbnailSize while it is decoded and blends it over the
// checkerboard of `canvas`, centred; `canvas` becomes a 78 x 75 image. The whole picture is never
// held: what the decoders deliver goes through the scaler row by row. False when the file cannot
// be decoded.
bool ComposeThumbnail(const std::wstring& path, DibImage& canvas);
