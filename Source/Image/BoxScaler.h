// The area-averaging scaler of thumbnails, fed one source row at a time so that a picture of any
// size is scaled without being held whole.
//
// Every target pixel is the mean of the source box it covers: box size = source size / target size
// (at least one pixel), centred on target index * step, clipped at the image edges. The box
// therefore starts half a box before the target position, which shifts the picture by one pixel at
// equal sizes, and the first box of each row and column is clipped at 0. Samples are taken in
// whole-pixel steps from the box's fractional start (a box starting at 2.5 reads columns 2, 3, ...),
// each weighted by the length it covers over the box's clipped length; sums are truncated.
//
// Positions are kept as exact integers in units of 1 / (2 * target size) of a source pixel, in which
// every box edge is a whole number, so no source is too large for the steps to advance and the
// result is the exact truncated mean whatever the sizes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class DibImage;

class BoxScaler {
public:
    // Prepares a target of width x height for a source of sourceWidth x sourceHeight; false when a
    // size is not positive or the sums could not be held exactly.
    bool Begin(int sourceWidth, int sourceHeight, int width, int height);
    // Adds the source row `row` (stored order, 0 = bottom): sourceWidth pixels of blue, green, red,
    // alpha. Rows may come in any order; each is taken once.
    void AddRow(int row, const uint8_t* bgra);
    // The target (rows bottom-up as in DibImage); null when it cannot be allocated.
    std::unique_ptr<DibImage> Finish() const;

private:
    // The samples of one box along an axis: `count` source indexes from `first`, each with weight
    // `unit` but the last, which has `lastWeight`; `length` is the box's clipped length.
    struct Box {
        int64_t first;
        int64_t count;
        uint64_t lastWeight;
        uint64_t length;
    };
    static Box MakeBox(int64_t index, int64_t sourceSize, int64_t targetSize);

    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    int width_ = 0;
    int height_ = 0;
    std::vector<Box> columns_;
    std::vector<Box> rows_;
    int64_t longestRowBox_ = 0;
    std::vector<uint64_t> rowSums_;  // per target column and channel, for the row being added
    std::vector<uint64_t> sums_;     // per target pixel and channel
};
