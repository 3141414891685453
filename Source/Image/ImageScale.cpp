// Area-averaged scaling (BoxScaler) of whole DibImages, and alpha blending.
#include "Image/DibImage.h"

#include <algorithm>
#include <new>
#include <vector>

#include "Image/BoxScaler.h"

std::unique_ptr<DibImage> ScaleImage(const DibImage& source, int width, int height) {
    if (source.Empty()) return nullptr;
    BoxScaler scaler;
    if (!scaler.Begin(source.width, source.height, std::max(width, 1), std::max(height, 1))) return nullptr;
    std::vector<uint8_t> row;
    try {
        row.resize(static_cast<size_t>(source.width) * 4);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    for (int y = 0; y < source.height; ++y) {
        const uint8_t* p = &source.pixels[source.PixelOffset(y, 0)];
        const uint8_t* a = &source.alpha[source.AlphaOffset(y, 0)];
        for (int x = 0; x < source.width; ++x, p += 3) {
            uint8_t* out = &row[static_cast<size_t>(x) * 4];
            out[0] = p[0];
            out[1] = p[1];
            out[2] = p[2];
            out[3] = a[x];
        }
        scaler.AddRow(y, row.data());
    }
    return scaler.Finish();
}

void BlendImage(DibImage& destination, const DibImage& source, int left, int top) {
    if (destination.Empty() || source.Empty() || left < 0 || top < 0) return;
    const int rows = std::min(source.height, destination.height - top);
    const int columns = std::min(source.width, destination.width - left);
    // Rows are counted from the top of both images; stored row 0 is the bottom.
    for (int r = 0; r < rows; ++r) {
        const int sourceRow = source.height - 1 - r;
        const int destinationRow = destination.height - 1 - top - r;
        const uint8_t* s = &source.pixels[source.PixelOffset(sourceRow, 0)];
        const uint8_t* a = &source.alpha[source.AlphaOffset(sourceRow, 0)];
        uint8_t* d = &destination.pixels[destination.PixelOffset(destinationRow, left)];
        for (int x = 0; x < columns; ++x) {
            const unsigned alpha = a[x];
            for (int c = 0; c < 3; ++c, ++s, ++d)
                *d = static_cast<uint8_t>((*s * alpha + *d * (255 - alpha)) >> 8);
        }
    }
}
