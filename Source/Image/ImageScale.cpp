// Area-averaged scaling and alpha blending of DibImages.
//
// ScaleImage gives every target pixel the mean of the source box it covers: box size = source size /
// target size (at least one pixel), centred on target index * step, clipped at the image edges.
// The box therefore starts half a box before the target position, which shifts the picture by one
// pixel at equal sizes, and the first box of each row and column is clipped at 0. Samples are taken
// in whole-pixel steps from the box's fractional start, each weighted by the length it covers over
// the box's (clipped) length; sums are truncated toward zero. Single-precision throughout, so that
// thumbnails come out the same on every build.
#include "Image/DibImage.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

// One extent of a box along an axis: [start, end) and its clipped length.
struct Extent {
    float start;
    float end;
    float length;
};

Extent BoxExtent(float centre, float box, float limit) {
    float length = box;
    float start = centre - 0.5f * length;
    if (start < 0) {
        length = length + start;
        start = 0;
    }
    float end = start + length;
    if (end > limit) {
        length = length - (end - limit);
        end = limit;
    }
    return {start, end, length};
}

}  // namespace

std::unique_ptr<DibImage> ScaleImage(const DibImage& source, int width, int height) {
    if (source.Empty()) return nullptr;
    std::unique_ptr<DibImage> target(new (std::nothrow) DibImage());
    if (!target || !target->Allocate(height, width)) return nullptr;
    const float sw = static_cast<float>(source.width);
    const float sh = static_cast<float>(source.height);
    const float sx = sw / static_cast<float>(target->width);
    const float sy = sh / static_cast<float>(target->height);
    const float bw = std::max(sx, 1.0f);
    const float bh = std::max(sy, 1.0f);

    // The samples of a box: whole-pixel steps from its fractional start, each with the share of
    // the box it covers. The horizontal ones are the same for every row, so they are made once.
    struct Sample {
        int index;
        float weight;
    };
    auto boxSamples = [](const Extent& box, std::vector<Sample>& out) {
        if (!(box.start < box.end)) return;
        float at = box.start;
        do {
            const float next = std::min(at + 1, box.end);
            out.push_back({static_cast<int>(at), (next - at) / box.length});
            at = next;
        } while (at < box.end);
    };
    std::vector<Sample> columnSamples;
    std::vector<size_t> columnFirst(static_cast<size_t>(target->width) + 1, 0);
    float cx = 0;
    for (int i = 0; i < target->width; ++i, cx += sx) {
        columnFirst[static_cast<size_t>(i)] = columnSamples.size();
        boxSamples(BoxExtent(cx, bw, sw), columnSamples);
    }
    columnFirst.back() = columnSamples.size();

    std::vector<Sample> rowSamples;
    float cy = 0;
    for (int j = 0; j < target->height; ++j, cy += sy) {
        rowSamples.clear();
        boxSamples(BoxExtent(cy, bh, sh), rowSamples);
        for (int i = 0; i < target->width; ++i) {
            const Sample* firstColumn = columnSamples.data() + columnFirst[static_cast<size_t>(i)];
            const Sample* lastColumn = columnSamples.data() + columnFirst[static_cast<size_t>(i) + 1];
            float sum[4] = {0, 0, 0, 0};
            for (const Sample& row : rowSamples) {
                const uint8_t* pixelRow = &source.pixels[source.PixelOffset(row.index, 0)];
                const uint8_t* alphaRow = &source.alpha[source.AlphaOffset(row.index, 0)];
                float rowSum[4] = {0, 0, 0, 0};
                for (const Sample* column = firstColumn; column != lastColumn; ++column) {
                    const uint8_t* p = pixelRow + column->index * 3;
                    rowSum[0] += column->weight * p[0];
                    rowSum[1] += column->weight * p[1];
                    rowSum[2] += column->weight * p[2];
                    rowSum[3] += column->weight * alphaRow[column->index];
                }
                for (int c = 0; c < 4; ++c) sum[c] += row.weight * rowSum[c];
            }
            uint8_t* out = &target->pixels[target->PixelOffset(j, i)];
            out[0] = static_cast<uint8_t>(sum[0]);
            out[1] = static_cast<uint8_t>(sum[1]);
            out[2] = static_cast<uint8_t>(sum[2]);
            target->alpha[target->AlphaOffset(j, i)] = static_cast<uint8_t>(sum[3]);
        }
    }
    return target;
}

void BlendImage(DibImage& destination, const DibImage& source) {
    if (destination.Empty() || source.Empty()) return;
    const int rows = std::min(source.height, destination.height);
    const int columns = std::min(source.width, destination.width);
    // Rows are taken from the top of both images; stored row 0 is the bottom.
    for (int r = 0; r < rows; ++r) {
        const int sourceRow = source.height - 1 - r;
        const int destinationRow = destination.height - 1 - r;
        const uint8_t* s = &source.pixels[source.PixelOffset(sourceRow, 0)];
        const uint8_t* a = &source.alpha[source.AlphaOffset(sourceRow, 0)];
        uint8_t* d = &destination.pixels[destination.PixelOffset(destinationRow, 0)];
        for (int x = 0; x < columns; ++x) {
            const unsigned alpha = a[x];
            for (int c = 0; c < 3; ++c, ++s, ++d)
                *d = static_cast<uint8_t>((*s * alpha + *d * (255 - alpha)) >> 8);
        }
    }
}
