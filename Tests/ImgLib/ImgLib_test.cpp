// The image library and the PNM plug-in through their exported interfaces, and the program's
// loader of both: files written by independent encoders (make_test_images.py) in images\ beside
// the tests, the built imglib\ beside the tests, and two misbehaving test libraries in testlibs\.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Image/DibImage.h"
#include "Image/ImageBackends.h"
#include "Image/ImageInterfaces.h"
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

TEST_F(ImgLibTest, PathsTheAnsiCodePageCannotSpellReachTheAnsiDecodersOnlyByTheirShortForm) {
    ASSERT_TRUE(LoadImageLibrary());
    LoadPlugins();
    tf_test::TempDir dir;
    // A best-fit spelling of the Latin letter would be "a.pgm", the file beside it, which must not
    // be read in its place.
    const std::vector<unsigned char> pgm = tf_test::ReadBytes(Images() + L"grey.pgm");
    ASSERT_TRUE(tf_test::WriteBytes(dir / L"a.pgm", pgm));
    ASSERT_TRUE(tf_test::WriteBytes(dir / L"\u0101.pgm", {'P', '5', '\n', 'x'}));
    DibImage image;
    EXPECT_FALSE(image.Load(dir / L"\u0101.pgm"));
    // A name the code page cannot spell at all reaches the library under its short name, or not
    // at all; never as another file.
    const std::wstring thai = dir / L"\u0e01\u0e02.png";
    ASSERT_TRUE(tf_test::WriteBytes(thai, tf_test::ReadBytes(Images() + L"alpha.png")));
    wchar_t shortPath[MAX_PATH] = {};
    GetShortPathNameW(thai.c_str(), shortPath, MAX_PATH);
    std::string ansi;
    if (AnsiPath(thai, ansi)) {
        EXPECT_NE(std::wstring(shortPath), thai);
        ASSERT_TRUE(image.Load(thai));
        EXPECT_EQ(image.width, 4);
        EXPECT_EQ(Alpha(image, 0, 3), 255);
    } else {
        EXPECT_FALSE(IsLoadableImage(thai));
    }
    // The own readers open the wide path.
    std::vector<unsigned char> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 32, 0, 1, 2, 3, 4};
    ASSERT_TRUE(tf_test::WriteBytes(dir / L"\u0e01.tga", tga));
    EXPECT_TRUE(image.Load(dir / L"\u0e01.tga"));
}

TEST_F(ImgLibTest, MissingOrIncompleteLibraryAndMisbehavingPlugins) {
    tf_test::TempDir dir;
    SetImglibDirectory(dir.path());
    EXPECT_FALSE(LoadImageLibrary());  // no library at all
    EXPECT_FALSE(ImageLibraryLoaded());

    const std::wstring testlibs = tf_test::ExeDirectory() + L"testlibs\\";
    ASSERT_TRUE(CopyFileW((testlibs + L"partial_imgctl.dll").c_str(), (dir / L"imgctl.dll").c_str(), FALSE));
    CreateDirectoryW((dir / L"spi").c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((testlibs + L"hostile.sph").c_str(), (dir / L"spi\\hostile.sph").c_str(), FALSE));
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
    EXPECT_FALSE(IsLoadableImage(dir / L"other.bin"));
    EXPECT_FALSE(image.Load(dir / L"other.bin"));
}

}  // namespace
