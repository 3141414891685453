// The own readers, scaling, blending and thumbnail composition, with no image library or plug-in
// loaded.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Image/DibImage.h"
#include "Image/ImageBackends.h"
#include "Support/TestSupport.h"

namespace {

using Bytes = std::vector<unsigned char>;

void Put16(Bytes& b, uint32_t v) {
    b.push_back(v & 0xff);
    b.push_back((v >> 8) & 0xff);
}
void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xffff);
    Put16(b, v >> 16);
}

// A 32-bit uncompressed TGA whose pixel at file row r, column c is pixel(r, c) (B, G, R, A).
template <typename Pixel>
Bytes Tga(int width, int height, Pixel pixel, unsigned char depth = 32, unsigned char type = 2) {
    Bytes b = {3, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(b, width);
    Put16(b, height);
    b.push_back(depth);
    b.push_back(0);
    b.insert(b.end(), {'i', 'd', '!'});
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            const uint32_t p = pixel(r, c);
            Put32(b, p);
        }
    return b;
}

Bytes ArgbHeader(uint32_t width, uint32_t height, unsigned char depth = 8) {
    Bytes b = {'B', 'G', 'R', 'A', 8, 8, depth, 8};
    Put32(b, width);
    Put32(b, height);
    return b;
}

uint8_t Blue(const DibImage& image, int row, int column) { return image.pixels[image.PixelOffset(row, column)]; }

// A grey image whose value at stored row y, column x is value(y, x).
template <typename Value>
DibImage Grey(int width, int height, Value value) {
    DibImage image;
    EXPECT_TRUE(image.Allocate(height, width));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &image.pixels[image.PixelOffset(y, x)];
            p[0] = p[1] = p[2] = static_cast<uint8_t>(value(y, x));
        }
    return image;
}

class DibImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        UnloadImageLibrary();
        UnloadPlugins();
    }
    tf_test::TempDir dir_;
};

TEST_F(DibImageTest, OwnReadersTakeOnlyWellFormedFilesOfTheirLowerCaseExtensions) {
    // File row 0 is stored row 0 (TGA rows are taken as they come); alpha comes from the fourth byte.
    const Bytes tga = Tga(3, 2, [](int r, int c) { return (uint32_t(0x40 + r) << 24) | (r * 16 + c); });
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"a.tga", tga));
    DibImage image;
    ASSERT_TRUE(image.Load(dir_ / L"a.tga"));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.stride, 12);
    EXPECT_EQ(Blue(image, 1, 2), 18);
    EXPECT_EQ(image.alpha[image.AlphaOffset(1, 0)], 0x41);
    EXPECT_TRUE(IsLoadableImage(dir_ / L"a.tga"));

    // Upper case is not the own reader's, and nothing else is loaded to read it.
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"b.TGA", tga));
    EXPECT_FALSE(image.Load(dir_ / L"b.TGA"));
    EXPECT_FALSE(IsLoadableImage(dir_ / L"b.TGA"));

    // 24-bit, run-length and short files fail.
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"c.tga", Tga(2, 2, [](int, int) { return 0u; }, 24)));
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"d.tga", Tga(2, 2, [](int, int) { return 0u; }, 32, 10)));
    Bytes cut = tga;
    cut.pop_back();
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"e.tga", cut));
    for (const wchar_t* name : {L"c.tga", L"d.tga", L"e.tga", L"missing.tga"}) EXPECT_FALSE(image.Load(dir_ / name)) << name;

    // .argb rows run from top to bottom, so file row 0 is the top (last stored) row.
    Bytes argb = ArgbHeader(2, 2);
    for (uint32_t p : {0x80000001u, 0x80000002u, 0xff000003u, 0xff000004u}) Put32(argb, p);
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"f.argb", argb));
    ASSERT_TRUE(image.Load(dir_ / L"f.argb"));
    EXPECT_EQ(Blue(image, 1, 1), 2);
    EXPECT_EQ(Blue(image, 0, 0), 3);
    EXPECT_EQ(image.alpha[image.AlphaOffset(1, 0)], 0x80);

    Bytes badDepth = ArgbHeader(2, 2, 16);
    badDepth.resize(badDepth.size() + 16, 0);
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"g.argb", badDepth));
    EXPECT_FALSE(image.Load(dir_ / L"g.argb"));
}

TEST_F(DibImageTest, HostileHeadersAreRefusedWithoutAllocatingWhatTheyClaim) {
    // 100,000 x 100,000 pixels claimed by a file of a few bytes; then 65535 x 65535 in a TGA.
    Bytes argb = ArgbHeader(100000, 100000);
    argb.insert(argb.end(), {1, 2, 3, 4});
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"huge.argb", argb));
    Bytes tga = Tga(1, 1, [](int, int) { return 0u; });
    tga[12] = tga[13] = tga[14] = tga[15] = 0xff;
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"huge.tga", tga));
    // Sizes whose products overflow 32 bits and zero sizes.
    Bytes wrap = ArgbHeader(0x40000001u, 4);
    wrap.resize(wrap.size() + 16, 0);
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"wrap.argb", wrap));
    Bytes empty = ArgbHeader(0, 5);
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"empty.argb", empty));
    DibImage image;
    for (const wchar_t* name : {L"huge.argb", L"huge.tga", L"wrap.argb", L"empty.argb"}) {
        EXPECT_FALSE(image.Load(dir_ / name)) << name;
        EXPECT_TRUE(image.Empty()) << name;
    }
}

TEST_F(DibImageTest, ScalingAveragesShiftedBoxesClippedAtTheFirstEdge) {
    // Halving: column i >= 1 is the mean of columns 2i - 1 and 2i, column 0 is column 0 alone;
    // rows likewise in stored order.
    const DibImage source = Grey(156, 150, [](int y, int x) { return (x * 7 + y * 3) % 251; });
    std::unique_ptr<DibImage> half = ScaleImage(source, 78, 75);
    ASSERT_TRUE(half);
    auto at = [](int y, int x) { return float((x * 7 + y * 3) % 251); };
    for (int y : {0, 1, 40, 74})
        for (int x : {0, 1, 33, 77}) {
            const int ys[2] = {y == 0 ? 0 : 2 * y - 1, 2 * y};
            const int xs[2] = {x == 0 ? 0 : 2 * x - 1, 2 * x};
            const int ny = y == 0 ? 1 : 2, nx = x == 0 ? 1 : 2;
            float sum = 0;
            for (int i = 0; i < ny; ++i)
                for (int j = 0; j < nx; ++j) sum += at(ys[i], xs[j]);
            EXPECT_NEAR(Blue(*half, y, x), sum / (nx * ny), 1.0) << y << "," << x;
        }

    // The same size moves the picture by one pixel; column and row 0 keep their own.
    const DibImage small = Grey(40, 30, [](int y, int x) { return y * 40 + x; });
    std::unique_ptr<DibImage> same = ScaleImage(small, 40, 30);
    ASSERT_TRUE(same);
    EXPECT_EQ(Blue(*same, 0, 0), Blue(small, 0, 0));
    EXPECT_EQ(Blue(*same, 5, 0), Blue(small, 4, 0));
    EXPECT_EQ(Blue(*same, 0, 9), Blue(small, 0, 8));
    EXPECT_EQ(Blue(*same, 29, 39), Blue(small, 28, 38));
}

TEST_F(DibImageTest, BlendingLosesOneStepAtBothEndsAndThumbnailsAreNotEnlarged) {
    DibImage canvas;
    ASSERT_TRUE(canvas.Allocate(kThumbnailHeight, kThumbnailWidth));
    canvas.FillCheckerboard();
    DibImage clear = Grey(20, 20, [](int, int) { return 255; });
    std::fill(clear.alpha.begin(), clear.alpha.end(), 0);
    BlendImage(canvas, clear);
    // Top-left square (stored top row) is dark, the next one light.
    EXPECT_EQ(Blue(canvas, 74, 0), 119);
    EXPECT_EQ(Blue(canvas, 74, 16), 199);
    DibImage opaque = Grey(20, 20, [](int, int) { return 255; });
    BlendImage(canvas, opaque);
    EXPECT_EQ(Blue(canvas, 74, 0), 254);

    // A 40 x 30 TGA keeps its size, centred on the checkerboard: columns 19-58, rows 22-51 from the top.
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"small.tga", Tga(40, 30, [](int, int) { return 0xff0000ffu; })));
    DibImage thumb;
    ASSERT_TRUE(ComposeThumbnail(dir_ / L"small.tga", thumb));
    EXPECT_EQ(thumb.width, 78);
    EXPECT_EQ(thumb.height, 75);
    auto top = [&](int y, int x) { return Blue(thumb, 74 - y, x); };
    EXPECT_EQ(thumb.pixels[thumb.PixelOffset(74 - 22, 19) + 2], 0);  // red byte of the blue picture
    EXPECT_EQ(top(22, 19), 254);
    EXPECT_EQ(top(51, 58), 254);
    // Around it the checkerboard: the squares at (1, 1) and (3, 3) are dark.
    EXPECT_EQ(top(21, 19), 120);
    EXPECT_EQ(top(22, 18), 120);
    EXPECT_EQ(top(52, 58), 120);
    EXPECT_EQ(top(51, 59), 120);
    EXPECT_FALSE(ComposeThumbnail(dir_ / L"none.tga", thumb));
}

TEST_F(DibImageTest, ThumbnailsKeepTheirProportionsCentredOnTheCanvas) {
    EXPECT_EQ(ThumbnailSize(200, 300).cx, 50);
    EXPECT_EQ(ThumbnailSize(200, 300).cy, 75);
    EXPECT_EQ(ThumbnailSize(1600, 1200).cx, 78);
    EXPECT_EQ(ThumbnailSize(1600, 1200).cy, 59);
    EXPECT_EQ(ThumbnailSize(17000000, 1).cy, 1);
    EXPECT_EQ(ThumbnailSize(78, 75).cx, 78);

    // A 200 x 300 portrait, red above and green below, becomes 50 x 75 at columns 14-63.
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"portrait.tga",
                                    Tga(200, 300, [](int r, int) { return r < 150 ? 0xff00ff00u : 0xffff0000u; })));
    DibImage thumb;
    ASSERT_TRUE(ComposeThumbnail(dir_ / L"portrait.tga", thumb));
    auto rgb = [&](int y, int x) {
        const uint8_t* p = &thumb.pixels[thumb.PixelOffset(74 - y, x)];
        return RGB(p[2], p[1], p[0]);
    };
    EXPECT_EQ(rgb(0, 13), RGB(120, 120, 120));
    EXPECT_EQ(rgb(10, 14), RGB(254, 0, 0));  // the TGA's last file rows are the top
    EXPECT_EQ(rgb(10, 63), RGB(254, 0, 0));
    EXPECT_EQ(rgb(70, 40), RGB(0, 254, 0));
    EXPECT_EQ(rgb(70, 64), RGB(120, 120, 120));
}

TEST_F(DibImageTest, PicturesWiderOrTallerThanFloatsCanStepAreScaledExactly) {
    // 17,000,000 x 1: black up to the middle, then grey 200. Every box covers about 217,949 pixels;
    // only box 39 holds both halves.
    const uint32_t wide = 17000000;
    Bytes argb = ArgbHeader(wide, 1);
    argb.reserve(argb.size() + size_t{wide} * 4);
    for (uint32_t x = 0; x < wide; ++x) Put32(argb, x < wide / 2 ? 0xff000000u : 0xffc8c8c8u);
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"wide.argb", argb));
    argb = Bytes();
    DibImage thumb;
    ASSERT_TRUE(ComposeThumbnail(dir_ / L"wide.argb", thumb));
    const int row = 74 - 37;  // the one row of the picture, centred
    EXPECT_EQ(Blue(thumb, row, 0), 0);
    EXPECT_EQ(Blue(thumb, row, 38), 0);
    EXPECT_GT(Blue(thumb, row, 39), 0);
    EXPECT_LT(Blue(thumb, row, 39), 199);
    EXPECT_EQ(Blue(thumb, row, 40), 199);
    EXPECT_EQ(Blue(thumb, row, 77), 199);
    EXPECT_EQ(Blue(thumb, row - 1, 40), 120);  // the checkerboard right below it

    // 1 x 17,000,000 scaled directly: the rows likewise.
    DibImage tall;
    ASSERT_TRUE(tall.Allocate(static_cast<int>(wide), 1));
    for (uint32_t y = wide / 2; y < wide; ++y) tall.pixels[tall.PixelOffset(static_cast<int>(y), 0)] = 0;
    std::unique_ptr<DibImage> scaled = ScaleImage(tall, 1, 75);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(Blue(*scaled, 0, 0), 255);
    EXPECT_EQ(Blue(*scaled, 36, 0), 255);
    EXPECT_EQ(Blue(*scaled, 38, 0), 0);
    EXPECT_EQ(Blue(*scaled, 74, 0), 0);
}

}  // namespace
