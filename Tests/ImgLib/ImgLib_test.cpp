// The image library and the PNM plug-in through their exported interfaces, and the program's
// loader of both: files written by independent encoders (make_test_images.py) in images\ beside
// the tests, the built imglib\ beside the tests, and two misbehaving test libraries in testlibs\.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "Image/DibImage.h"
#include "Image/ImageBackends.h"
#include "Image/ImageInterfaces.h"
#include "Kv/KvHandles.h"
#include "Support/TestSupport.h"

namespace {

std::wstring Images() { return tf_test::ExeDirectory() + L"images\\"; }
std::string Ansi(const std::wstring& path) {
    std::string ansi;
    EXPECT_TRUE(AnsiPath(path, ansi));
    return ansi;
}

uint8_t Channel(const DibImage& image, int topRow, int column, int channel) {
    return image.pixels[image.PixelOffset(image.height - 1 - topRow, column) + channel];
}
uint8_t Alpha(const DibImage& image, int topRow, int column) {
    return image.alpha[image.AlphaOffset(image.height - 1 - topRow, column)];
}

template <typename Function>
Function Entry(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

class ImgLibTest : public ::testing::Test {
protected:
    void TearDown() override {
        UnloadImageLibrary();
        UnloadPlugins();
        SetImglibDirectory(L"");
    }
};

TEST_F(ImgLibTest, LibraryEntryPointsDecodeTypesAndReportTransparency) {
    HMODULE module = LoadLibraryW((tf_test::ExeDirectory() + L"imglib\\imgctl.dll").c_str());
    ASSERT_NE(module, nullptr);
    auto toDib = Entry<ImgctlToDib>(module, "ToDIB");
    auto to24 = Entry<ImgctlDibTo24Bit>(module, "DIBto24Bit");
    auto data = Entry<ImgctlDataDib>(module, "DataDIB");
    auto remove = Entry<ImgctlDeleteDib>(module, "DeleteDIB");
    auto type = Entry<ImgctlGetImageType>(module, "GetImageType");
    auto gif = Entry<ImgctlGifToDibEx>(module, "GIFtoDIBex");
    auto pnga = Entry<ImgctlPngaToDib>(module, "PNGAtoDIB");
    ASSERT_TRUE(toDib && to24 && data && remove && type && gif && pnga);

    EXPECT_EQ(type(Ansi(Images() + L"alpha.png").c_str(), 0), 3);
    EXPECT_EQ(type(Ansi(Images() + L"trans.gif").c_str(), 0), 4);
    EXPECT_EQ(type(Ansi(Images() + L"photo.jpg").c_str(), 0), kImageTypeJpeg);
    EXPECT_EQ(type(Ansi(Images() + L"plain.bmp").c_str(), 0), kImageTypeBmp);
    EXPECT_EQ(type(Ansi(Images() + L"grey.pgm").c_str(), 0), 0);
    EXPECT_EQ(type(Ansi(Images() + L"none.png").c_str(), 0), 0);

    HANDLE dib = toDib(Ansi(Images() + L"photo.jpg").c_str());
    ASSERT_NE(dib, nullptr);
    ASSERT_NE(to24(dib), 0);
    const ImgctlDibData* record = data(dib);
    ASSERT_TRUE(record && record->header && record->bits);
    EXPECT_EQ(record->header->biWidth, 64);
    EXPECT_EQ(record->header->biHeight, 48);
    EXPECT_EQ(record->header->biBitCount, 24);
    EXPECT_GE(record->header->biSizeImage, 64u * 3 * 48);
    EXPECT_NEAR(record->bits[2], 200, 8);  // red of the bottom-left pixel
    EXPECT_TRUE(remove(dib));
    EXPECT_FALSE(remove(dib));  // a freed or foreign handle is refused, not freed twice
    EXPECT_EQ(data(dib), nullptr);

    ImgctlGifInfo info{};
    info.flags = kGifTransparentFlag;
    HANDLE frame = gif(Ansi(Images() + L"trans.gif").c_str(), &info);
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(info.flags & kGifTransparentFlag);
    remove(frame);
    info.flags = kGifTransparentFlag;
    EXPECT_EQ(gif(Ansi(Images() + L"alpha.png").c_str(), &info), nullptr);

    HANDLE mask = pnga(Ansi(Images() + L"alpha.png").c_str());
    ASSERT_NE(mask, nullptr);
    const ImgctlDibData* alpha = data(mask);
    ASSERT_TRUE(alpha);
    EXPECT_EQ(alpha->header->biBitCount, 8);
    EXPECT_EQ(alpha->bits[0], 0);
    EXPECT_EQ(alpha->bits[3], 255);
    remove(mask);
    FreeLibrary(module);
}

TEST_F(ImgLibTest, LoadedLibraryAndPluginGiveImagesWithTheirAlpha) {
    ASSERT_TRUE(LoadImageLibrary());
    ASSERT_TRUE(ImageLibraryLoaded());
    LoadPlugins();
    EXPECT_EQ(PluginCount(), 1u);

    DibImage image;
    ASSERT_TRUE(image.Load(Images() + L"alpha.png"));
    EXPECT_EQ(image.width, 4);
    EXPECT_EQ(image.height, 3);
    EXPECT_EQ(Channel(image, 2, 3, 2), 180);  // red = 60 x
    EXPECT_EQ(Channel(image, 2, 3, 1), 160);  // green = 80 y
    EXPECT_EQ(Channel(image, 0, 0, 0), 200);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Alpha(image, 1, x), x * 85);

    // The transparent palette entry (blue) becomes alpha 0; the other colours stay opaque.
    ASSERT_TRUE(image.Load(Images() + L"trans.gif"));
    const int expectTransparent[2][4] = {{0, 0, 1, 0}, {1, 1, 0, 0}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(Alpha(image, y, x), expectTransparent[y][x] ? 0 : 255) << x << "," << y;
    EXPECT_EQ(Channel(image, 0, 0, 2), 255);
    EXPECT_EQ(Channel(image, 0, 3, 2), 0);  // black stays black and opaque

    ASSERT_TRUE(image.Load(Images() + L"plain.bmp"));
    EXPECT_EQ(Channel(image, 1, 2, 2), 20);
    EXPECT_EQ(Channel(image, 1, 2, 1), 20);
    EXPECT_EQ(Alpha(image, 1, 2), 255);

    // PGM and PPM through the plug-in, which WIC does not read.
    ASSERT_TRUE(image.Load(Images() + L"grey.pgm"));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(Channel(image, 1, 2, 0), 250);
    EXPECT_EQ(Channel(image, 0, 1, 2), 100);
    ASSERT_TRUE(image.Load(Images() + L"colour.ppm"));
    EXPECT_EQ(Channel(image, 1, 0, 1), 255);  // green = y
    EXPECT_EQ(Channel(image, 0, 1, 2), 255);  // red = x
    EXPECT_EQ(Channel(image, 0, 0, 0), 128);

    for (const wchar_t* name : {L"alpha.png", L"trans.gif", L"photo.jpg", L"grey.pgm", L"colour.ppm"})
        EXPECT_TRUE(IsLoadableImage(Images() + name)) << name;
}

TEST_F(ImgLibTest, NamesOutsideTheAnsiCodePageReachTheLibraryWholeAndThePluginsNeverAsAnotherFile) {
    ASSERT_TRUE(LoadImageLibrary());
    LoadPlugins();
    tf_test::TempDir dir;
    // Folders deep enough that not even the short form of the path fits MAX_PATH.
    std::wstring folder = dir.path().substr(0, dir.path().size() - 1);
    while (folder.size() < 320) {
        folder += L"\\\U00020bb7\u7530\u30d5\u30a9\u30eb\u30c0\U0001f600";
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    }
    const std::wstring png = folder + L"\\\U00020bb7\u7530\U0001f600.png";
    ASSERT_TRUE(tf_test::WriteBytes(png, tf_test::ReadBytes(Images() + L"alpha.png")));
    std::string ansi;
    ASSERT_FALSE(AnsiPath(png, ansi));
    EXPECT_TRUE(IsLoadableImage(png));
    DibImage image;
    ASSERT_TRUE(image.Load(png));
    EXPECT_EQ(image.width, 4);
    EXPECT_EQ(Alpha(image, 1, 3), 255);
    DibImage canvas;
    EXPECT_TRUE(ComposeThumbnail(png, canvas));

    // The plug-ins keep their ANSI names. A best-fit spelling of the Latin letter would be
    // "a.pgm", the file beside it, which must not be read in its place.
    const std::vector<unsigned char> pgm = tf_test::ReadBytes(Images() + L"grey.pgm");
    ASSERT_TRUE(tf_test::WriteBytes(dir / L"a.pgm", pgm));
    ASSERT_TRUE(tf_test::WriteBytes(dir / L"\u0101.pgm", {'P', '5', '\n', 'x'}));
    EXPECT_FALSE(image.Load(dir / L"\u0101.pgm"));
    ASSERT_TRUE(tf_test::WriteBytes(folder + L"\\g.pgm", pgm));
    EXPECT_FALSE(image.Load(folder + L"\\g.pgm"));
    // The own readers open the wide path.
    std::vector<unsigned char> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 32, 0, 1, 2, 3, 4};
    ASSERT_TRUE(tf_test::WriteBytes(folder + L"\\\u0e01.tga", tga));
    EXPECT_TRUE(image.Load(folder + L"\\\u0e01.tga"));
}

TEST_F(ImgLibTest, HeadersClaimingFarMoreThanTheirFilesHoldAreRefusedBeforeAnythingIsDecoded) {
    ASSERT_TRUE(LoadImageLibrary());
    LoadPlugins();
    tf_test::TempDir dir;
    // Found by the fuzz test: the bitmap of 3 x 2 with its width made 33,554,435, and a 24-bit TGA
    // (not the own reader's) claiming 16,000 x 16,000, each a few dozen bytes long.
    std::vector<unsigned char> bmp = tf_test::ReadBytes(Images() + L"plain.bmp");
    ASSERT_GE(bmp.size(), 26u);
    bmp[18] = 3, bmp[19] = 0, bmp[20] = 0, bmp[21] = 2;
    ASSERT_TRUE(tf_test::WriteBytes(dir / L"wide.bmp", bmp));
    std::vector<unsigned char> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x3e, 0x80, 0x3e, 24, 0};
    tga.resize(64, 7);
    ASSERT_TRUE(tf_test::WriteBytes(dir / L"huge.tga", tga));
    // And a JPEG of 324 bytes whose frame header claims 29,354 x 45,625 (some decoders allocate the
    // whole frame as soon as they are opened).
    std::vector<unsigned char> jpeg = tf_test::ReadBytes(Images() + L"photo.jpg");
    size_t frame = 2;
    while (frame + 9 < jpeg.size() && !(jpeg[frame] == 0xff && jpeg[frame + 1] == 0xc0)) frame += 2 + (jpeg[frame + 2] << 8 | jpeg[frame + 3]);
    ASSERT_LT(frame + 9, jpeg.size());
    jpeg[frame + 5] = 0xb2, jpeg[frame + 6] = 0x39, jpeg[frame + 7] = 0x72, jpeg[frame + 8] = 0xaa;
    ASSERT_TRUE(tf_test::WriteBytes(dir / L"huge.jpg", jpeg));
    for (const wchar_t* name : {L"wide.bmp", L"huge.tga", L"huge.jpg"}) {
        DibImage image;
        bool loaded = true, made = true;
        const size_t taken = tf_test::PeakExtraBytes([&] {
            loaded = image.Load(dir / name);
            made = ComposeThumbnail(dir / name, image);
        });
        EXPECT_FALSE(loaded) << name;
        EXPECT_FALSE(made) << name;
        EXPECT_LT(taken, 16u << 20) << name;
    }
}

TEST_F(ImgLibTest, AThumbnailIsDecodedOnceAndScaledWhileDecoding) {
    ASSERT_TRUE(LoadImageLibrary());
    // 4096 x 4096 with alpha: the platform's decoder holds the frame; the program and the library
    // add no full-size copy of it, and do not decode it a second time for its alpha.
    const std::wstring large = Images() + L"large.png";
    const size_t decoder = tf_test::PeakExtraBytes([&] { tf_test::PlatformDecodeOneRow(large); });
    DibImage canvas;
    bool made = false;
    const size_t thumbnail = tf_test::PeakExtraBytes([&] { made = ComposeThumbnail(large, canvas); });
    ASSERT_TRUE(made);
    EXPECT_LT(thumbnail, decoder + decoder / 4 + (8u << 20)) << (thumbnail >> 20) << " MB, decoder " << (decoder >> 20);
    // 75 x 75 at column 1: red above, blue below, the checkerboard in column 0.
    EXPECT_EQ(Channel(canvas, 10, 40, 2), 254);
    EXPECT_EQ(Channel(canvas, 10, 40, 0), 0);
    EXPECT_EQ(Channel(canvas, 60, 40, 0), 254);
    EXPECT_EQ(Channel(canvas, 60, 40, 2), 0);
    EXPECT_EQ(Channel(canvas, 10, 0, 0), 120);
}

// A folder holding the built library, the PNM plug-in and the misbehaving test libraries.
std::wstring HostileImglib(const tf_test::TempDir& dir, bool realLibrary) {
    const std::wstring testlibs = tf_test::ExeDirectory() + L"testlibs\\";
    const std::wstring library = realLibrary ? tf_test::ExeDirectory() + L"imglib\\imgctl.dll" : testlibs + L"partial_imgctl.dll";
    CopyFileW(library.c_str(), (dir / L"imgctl.dll").c_str(), FALSE);
    CreateDirectoryW((dir / L"spi").c_str(), nullptr);
    CopyFileW((testlibs + L"hostile.sph").c_str(), (dir / L"spi\\hostile.sph").c_str(), FALSE);
    return dir.path();
}

TEST_F(ImgLibTest, DecidingWhetherAFileIsAnImageNeverWaitsForADecodeInProgress) {
    tf_test::TempDir dir;
    SetImglibDirectory(HostileImglib(dir, true));
    ASSERT_TRUE(CopyFileW((tf_test::ExeDirectory() + L"imglib\\spi\\ifpnm.sph").c_str(), (dir / L"spi\\ifpnm.sph").c_str(), FALSE));
    ASSERT_TRUE(LoadImageLibrary());
    LoadPlugins();
    ASSERT_EQ(PluginCount(), 2u);
    kv::UniqueKernel entered(CreateEventA(nullptr, TRUE, FALSE, "TfHostilePluginEntered"));
    kv::UniqueKernel release(CreateEventA(nullptr, TRUE, FALSE, "TfHostilePluginRelease"));
    ASSERT_TRUE(tf_test::WriteText(dir / L"slow.bin", "SLOW"));
    ASSERT_TRUE(tf_test::WriteText(dir / L"notes.txt", "text"));

    std::thread decoding([&] {
        DibImage image;
        image.Load(dir / L"slow.bin");
    });
    ASSERT_EQ(WaitForSingleObject(entered.get(), 10000), WAIT_OBJECT_0);
    std::future<bool> asked = std::async(std::launch::async, [&] {
        return IsLoadableImage(Images() + L"photo.jpg") && IsLoadableImage(Images() + L"grey.pgm") &&
               !IsLoadableImage(dir / L"notes.txt");
    });
    const bool answered = asked.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    SetEvent(release.get());
    decoding.join();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(asked.get());
}

TEST_F(ImgLibTest, MissingOrIncompleteLibraryAndMisbehavingPlugins) {
    tf_test::TempDir dir;
    SetImglibDirectory(dir.path());
    EXPECT_FALSE(LoadImageLibrary());  // no library at all
    EXPECT_FALSE(ImageLibraryLoaded());

    const std::wstring testlibs = tf_test::ExeDirectory() + L"testlibs\\";
    HostileImglib(dir, false);
    ASSERT_TRUE(CopyFileW((testlibs + L"partial_imgctl.dll").c_str(), (dir / L"spi\\notplugin.sph").c_str(), FALSE));
    ASSERT_TRUE(tf_test::WriteText(dir / L"spi\\junk.sph", "not a library"));
    CreateDirectoryW((dir / L"spi\\sub.sph").c_str(), nullptr);

    // A library lacking an entry point is let go again; loading still reports success.
    EXPECT_TRUE(LoadImageLibrary());
    EXPECT_FALSE(ImageLibraryLoaded());
    EXPECT_FALSE(IsLoadableImage(Images() + L"alpha.png"));
    LoadPlugins();
    EXPECT_EQ(PluginCount(), 1u);

    ASSERT_TRUE(tf_test::WriteText(dir / L"claims.bin", "HOST and sixteen bytes"));
    ASSERT_TRUE(tf_test::WriteText(dir / L"fails.bin", "FAIL"));
    ASSERT_TRUE(tf_test::WriteText(dir / L"other.bin", "OTHER"));
    DibImage image;
    EXPECT_TRUE(IsLoadableImage(dir / L"claims.bin"));
    EXPECT_FALSE(image.Load(dir / L"claims.bin"));  // blocks smaller than the header claims
    EXPECT_TRUE(image.Empty());
    EXPECT_FALSE(image.Load(dir / L"fails.bin"));
    // Row lengths past 32 bits: 178,956,971 pixels of 24 bits wrap to a 4-byte row in 32-bit
    // arithmetic; 89,478,486 pass 2^31 bytes. Both are refused for their 16-byte blocks.
    ASSERT_TRUE(tf_test::WriteText(dir / L"wide.bin", "WIDE"));
    ASSERT_TRUE(tf_test::WriteText(dir / L"wide2.bin", "WID2"));
    for (const wchar_t* name : {L"wide.bin", L"wide2.bin"}) {
        EXPECT_FALSE(image.Load(dir / name)) << name;
        EXPECT_TRUE(image.Empty()) << name;
        EXPECT_FALSE(ComposeThumbnail(dir / name, image)) << name;
    }
    EXPECT_FALSE(IsLoadableImage(dir / L"other.bin"));
    EXPECT_FALSE(image.Load(dir / L"other.bin"));
}

}  // namespace
