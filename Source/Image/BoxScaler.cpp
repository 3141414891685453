// The streaming area-averaging scaler.
#include "Image/BoxScaler.h"

#include <algorithm>
#include <new>

#include "Image/DibImage.h"

namespace {

// Bounds that keep every position below 2^62 and every sum of weighted samples below 2^63.
constexpr uint64_t kMaxPositionProduct = 1ull << 60;
constexpr uint64_t kMaxBoxArea = 1ull << 53;

}  // namespace

BoxScaler::Box BoxScaler::MakeBox(int64_t index, int64_t sourceSize, int64_t targetSize) {
    // One source pixel is `unit` long; the box of target index i is centred on 2 * i * sourceSize
    // and is 2 * max(sourceSize, targetSize) long before clipping to [0, 2 * targetSize * sourceSize).
    const int64_t unit = 2 * targetSize;
    const int64_t half = std::max(sourceSize, targetSize);
    int64_t start = 2 * index * sourceSize - half;
    int64_t length = 2 * half;
    if (start < 0) {
        length += start;
        start = 0;
    }
    const int64_t limit = unit * sourceSize;
    if (start + length > limit) length = limit - start;
    Box box{start / unit, 0, 0, 0};
    if (length <= 0) return box;
    box.count = (length + unit - 1) / unit;
    box.lastWeight = static_cast<uint64_t>(length - (box.count - 1) * unit);
    box.length = static_cast<uint64_t>(length);
    return box;
}

bool BoxScaler::Begin(int sourceWidth, int sourceHeight, int width, int height) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0) return false;
    const uint64_t sw = static_cast<uint64_t>(sourceWidth), sh = static_cast<uint64_t>(sourceHeight);
    const uint64_t tw = static_cast<uint64_t>(width), th = static_cast<uint64_t>(height);
    if (sw * tw > kMaxPositionProduct || sh * th > kMaxPositionProduct) return false;
    if (std::max(sw, tw) * std::max(sh, th) > kMaxBoxArea) return false;
    sourceWidth_ = sourceWidth;
    sourceHeight_ = sourceHeight;
    width_ = width;
    height_ = height;
    try {
        columns_.resize(tw);
        rows_.resize(th);
        rowSums_.assign(tw * 4, 0);
        sums_.assign(tw * th * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int i = 0; i < width; ++i) columns_[static_cast<size_t>(i)] = MakeBox(i, sourceWidth, width);
    longestRowBox_ = 0;
    for (int j = 0; j < height; ++j) {
        rows_[static_cast<size_t>(j)] = MakeBox(j, sourceHeight, height);
        longestRowBox_ = std::max(longestRowBox_, rows_[static_cast<size_t>(j)].count);
    }
    return true;
}

void BoxScaler::AddRow(int row, const uint8_t* bgra) {
    if (row < 0 || row >= sourceHeight_ || rows_.empty()) return;
    // The target rows whose boxes sample this row: their first rows are in ascending order, and
    // none starts more than the longest box before it.
    const auto after = std::upper_bound(rows_.begin(), rows_.end(), static_cast<int64_t>(row),
                                        [](int64_t value, const Box& box) { return value < box.first; });
    bool summed = false;
    const uint64_t unit = 2 * static_cast<uint64_t>(height_);
    for (auto box = after; box != rows_.begin();) {
        --box;
        if (box->first + longestRowBox_ <= row) break;
        const int64_t sample = row - box->first;
        if (sample >= box->count) continue;
        if (!summed) {
            // Each target column's weighted sum over this row, made once for all target rows.
            for (int i = 0; i < width_; ++i) {
                const Box& column = columns_[static_cast<size_t>(i)];
                uint64_t* out = &rowSums_[static_cast<size_t>(i) * 4];
                out[0] = out[1] = out[2] = out[3] = 0;
                const uint64_t columnUnit = 2 * static_cast<uint64_t>(width_);
                for (int64_t n = 0; n < column.count; ++n) {
                    const uint64_t weight = n + 1 == column.count ? column.lastWeight : columnUnit;
                    const uint8_t* p = bgra + (column.first + n) * 4;
                    for (int c = 0; c < 4; ++c) out[c] += weight * p[c];
                }
            }
            summed = true;
        }
        const uint64_t weight = sample + 1 == box->count ? box->lastWeight : unit;
        uint64_t* sums = &sums_[static_cast<size_t>(box - rows_.begin()) * width_ * 4];
        for (size_t k = 0; k < rowSums_.size(); ++k) sums[k] += weight * rowSums_[k];
    }
}

std::unique_ptr<DibImage> BoxScaler::Finish() const {
    std::unique_ptr<DibImage> target(new (std::nothrow) DibImage());
    if (!target || width_ <= 0 || !target->Allocate(height_, width_)) return nullptr;
    for (int j = 0; j < height_; ++j) {
        const uint64_t rowLength = rows_[static_cast<size_t>(j)].length;
        for (int i = 0; i < width_; ++i) {
            const uint64_t area = rowLength * columns_[static_cast<size_t>(i)].length;
            const uint64_t* sum = &sums_[(static_cast<size_t>(j) * width_ + i) * 4];
            uint8_t* p = &target->pixels[target->PixelOffset(j, i)];
            uint8_t& a = target->alpha[target->AlphaOffset(j, i)];
            if (area == 0) {
                p[0] = p[1] = p[2] = a = 0;
                continue;
            }
            for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(sum[c] / area);
            a = static_cast<uint8_t>(sum[3] / area);
        }
    }
    return target;
}
