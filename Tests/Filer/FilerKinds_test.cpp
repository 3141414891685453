// The image and music kinds through the real filer: what each accepts, the views and greyed view
// commands, thumbnails made in the background, and the music sequence seen through the MCI seam.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <vector>

#include "Filer/Kinds/FilerImage.h"
#include "Filer/Kinds/FilerMusic.h"
#include "Support/FilerMenuTestSupport.h"
#include "Support/FilerTestFixture.h"

namespace {

using filer_test::FilerFixture;

// A 32-bit TGA of one colour (B, G, R, A packed as 0xAARRGGBB).
std::vector<unsigned char> SolidTga(int width, int height, uint32_t colour) {
    std::vector<unsigned char> b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    static_cast<unsigned char>(width), static_cast<unsigned char>(width >> 8),
                                    static_cast<unsigned char>(height), static_cast<unsigned char>(height >> 8), 32, 0};
    for (int i = 0; i < width * height; ++i)
        for (int k = 0; k < 4; ++k) b.push_back(static_cast<unsigned char>(colour >> (8 * k)));
    return b;
}

LONG_PTR ViewBits(HWND list) { return GetWindowLongPtrW(list, GWL_STYLE) & LVS_TYPEMASK; }

// The thumbnail's pixel at (x, y) from its top left, as 0xRRGGBB.
COLORREF ThumbnailPixel(HIMAGELIST list, int index, int x, int y) {
    IMAGEINFO info{};
    BITMAP whole{};
    if (!ImageList_GetImageInfo(list, index, &info) || !GetObjectW(info.hbmImage, sizeof(whole), &whole))
        return CLR_INVALID;
    HDC screen = GetDC(nullptr);
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = whole.bmWidth;
    bmi.bmiHeader.biHeight = -whole.bmHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    std::vector<uint32_t> pixels(static_cast<size_t>(whole.bmWidth) * whole.bmHeight);
    GetDIBits(screen, info.hbmImage, 0, whole.bmHeight, pixels.data(), &bmi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return pixels[static_cast<size_t>(info.rcImage.top + y) * whole.bmWidth + info.rcImage.left + x] & 0xffffff;
}

class FilerKindsTest : public FilerFixture {
protected:
    void SetUp() override {
        FilerFixture::SetUp();
        ShowWindow(parent_, SW_SHOWNOACTIVATE);
        Filer().SetViewMode(kFilerViewList);
    }
    // The filer is one object for the whole run: its view mode goes back to the default.
    void TearDown() override {
        Filer().SetViewMode(kFilerViewReport);
        FilerFixture::TearDown();
    }

    CFolder* AddKindFolder(unsigned kind) {
        CEntry& entry = RootFolder().Append();
        entry.name = L"kind";
        if (!RootFolder().CreateSubfolder(entry, kind)) return nullptr;
        return entry.subfolder.get();
    }

    // Paints the list and lets the worker's results in until `done` or `rounds` x 50 ms pass.
    template <typename Done>
    bool PaintUntil(Done done, int rounds = 100) {
        for (int i = 0; i < rounds && !done(); ++i) {
            InvalidateRect(list_, nullptr, FALSE);
            UpdateWindow(list_);
            tf_test::PumpMessages(50);
        }
        return done();
    }

    tf_test::TempDir dir_;
};

TEST_F(FilerKindsTest, ImageFolderShowsThumbnailsInIconViewAndLeavesThePreviousViewBehind) {
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"blue.tga", SolidTga(40, 30, 0xff0000ffu)));
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"broken.tga", {1, 2, 3, 4}));
    ASSERT_TRUE(tf_test::WriteText(dir_ / L"notes.txt", "text"));
    CFolder* images = AddKindFolder(kFolderKindImage);
    ASSERT_TRUE(images);
    Filer().NavigateTo(images);
    ASSERT_EQ(Filer().Kind()->Kind(), static_cast<unsigned>(kFolderKindImage));
    EXPECT_EQ(ViewBits(list_), LVS_ICON);
    EXPECT_FALSE(filerHost_.viewCommandsEnabled);

    EXPECT_TRUE(Filer().AddPath(dir_ / L"blue.tga", false));
    EXPECT_TRUE(Filer().AddPath(dir_ / L"broken.tga", false));
    EXPECT_FALSE(Filer().AddPath(dir_ / L"notes.txt", false));
    ASSERT_EQ(images->Count(), 2u);
    // Owner-data icons are laid out side by side, not stacked at the origin.
    RECT first{LVIR_BOUNDS}, second{LVIR_BOUNDS};
    SendMessageW(list_, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    SendMessageW(list_, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
    EXPECT_GE(second.left, first.right);
    CEntry& blue = *images->EntryAt(0);
    CEntry& broken = *images->EntryAt(1);

    ASSERT_TRUE(PaintUntil([&] { return blue.Display().thumbIndex >= 0 && broken.Display().thumbIndex == kThumbFailed; }));
    auto* kind = static_cast<CFilerImage*>(Filer().Kind());
    EXPECT_EQ(ImageList_GetImageCount(kind->Thumbnails()), 1);
    EXPECT_EQ(blue.Display().iconIndex, blue.Display().thumbIndex);
    // The picture sits unscaled in the middle (columns 19-58, rows 22-51); the checkerboard
    // shows around it.
    EXPECT_EQ(ThumbnailPixel(kind->Thumbnails(), blue.Display().thumbIndex, 19, 22), 0x0000feu);
    EXPECT_EQ(ThumbnailPixel(kind->Thumbnails(), blue.Display().thumbIndex, 58, 51), 0x0000feu);
    EXPECT_EQ(ThumbnailPixel(kind->Thumbnails(), blue.Display().thumbIndex, 0, 0), 0x787878u);
    EXPECT_EQ(ThumbnailPixel(kind->Thumbnails(), blue.Display().thumbIndex, 18, 22), 0x787878u);
    EXPECT_EQ(ThumbnailPixel(kind->Thumbnails(), blue.Display().thumbIndex, 59, 40), 0xc8c8c8u);

    // A file that could not be decoded is not asked for again while the folder stays on screen.
    PaintUntil([] { return false; }, 6);
    EXPECT_EQ(broken.Display().thumbIndex, kThumbFailed);
    EXPECT_EQ(ImageList_GetImageCount(kind->Thumbnails()), 1);

    // Shown again, the thumbnails are made anew; left, the filer's own view and commands return.
    Filer().Refresh();
    ASSERT_TRUE(PaintUntil([&] { return blue.Display().thumbIndex >= 0 && broken.Display().thumbIndex == kThumbFailed; }));
    Filer().NavigateTo(&RootFolder());
    EXPECT_EQ(Filer().Kind()->Kind(), static_cast<unsigned>(kFolderKindPlain));
    EXPECT_EQ(ViewBits(list_), LVS_LIST);
    EXPECT_TRUE(filerHost_.viewCommandsEnabled);
    EXPECT_EQ(blue.Display().thumbIndex, 0);
}

// Records the MCI commands; every "open" makes a new device, numbered from 1.
TEST_F(FilerKindsTest, ImageFolderKeepsAFewScreensOfThumbnailsAndRemakesThoseScrolledBackTo) {
    constexpr size_t kLimit = 40;
    SetThumbnailLimit(kLimit);
    CFolder* images = AddKindFolder(kFolderKindImage);
    ASSERT_TRUE(images);
    Filer().NavigateTo(images);
    const int files = 160;
    for (int i = 0; i < files; ++i) {
        const std::wstring path = dir_ / (L"t" + std::to_wstring(1000 + i) + L".tga");
        ASSERT_TRUE(tf_test::WriteBytes(path, SolidTga(8, 8, 0xff000000u | static_cast<uint32_t>(i))));
        ASSERT_TRUE(Filer().AddPath(path, false));
    }
    auto* kind = static_cast<CFilerImage*>(Filer().Kind());
    auto show = [&](int item) {
        SendMessageW(list_, LVM_ENSUREVISIBLE, item, FALSE);
        return PaintUntil([&] { return images->EntryAt(static_cast<size_t>(item))->Display().thumbIndex >= 0; });
    };
    // Scrolled from the top to the end: never more than the limit, the first ones given up.
    for (int item = 0; item < files; item += 8) ASSERT_TRUE(show(item)) << item;
    ASSERT_TRUE(show(files - 1));
    EXPECT_LE(static_cast<size_t>(ImageList_GetImageCount(kind->Thumbnails())), kLimit);
    CEntry& first = *images->EntryAt(0);
    EXPECT_EQ(first.Display().thumbIndex, -1);
    EXPECT_EQ(first.Display().iconIndex, -1);
    // Back at the top, the first thumbnail is made again in a place given up by another.
    ASSERT_TRUE(show(0));
    EXPECT_EQ(ThumbnailPixel(kind->Thumbnails(), first.Display().thumbIndex, 39, 37), 0u);  // its black picture
    EXPECT_LE(static_cast<size_t>(ImageList_GetImageCount(kind->Thumbnails())), kLimit);
    SetThumbnailLimit(0);
}

// A drive that hangs (a share that does not answer) never holds an image folder: leaving it while a
// thumbnail waits and adding a picture there return at once, and the stopped thread ends by itself
// once the file answers.
TEST_F(FilerKindsTest, LeavingAnImageFolderNeverWaitsForAThumbnailThatHangs) {
    tf_test::TempDir slow;
    ASSERT_TRUE(tf_test::WriteBytes(slow / L"far.tga", SolidTga(8, 8, 0xff00ff00u)));
    ASSERT_TRUE(tf_test::WriteText(slow / L"near.png", "not read"));
    CFolder* images = AddKindFolder(kFolderKindImage);
    ASSERT_TRUE(images);
    Filer().NavigateTo(images);
    ASSERT_TRUE(Filer().AddPath(slow / L"far.tga", false));
    CEntry& distant = *images->EntryAt(0);
    tf_test::HungRoot hung(slow.path());
    ASSERT_TRUE(PaintUntil([&] { return distant.Display().thumbIndex == kThumbPending; }, 10));
    tf_test::PumpMessages(100);  // the worker now waits on the file

    const DWORD start = GetTickCount();
    Filer().NavigateTo(&RootFolder());
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_FALSE(ThumbnailWorker::WaitForAllThreads(0));
    // A picture there is taken in by its extension, without a look at the file.
    Filer().NavigateTo(images);
    const DWORD adding = GetTickCount();
    EXPECT_TRUE(Filer().AddPath(slow / L"near.png", false));
    EXPECT_LT(GetTickCount() - adding, 1000u);
    Filer().NavigateTo(&RootFolder());
    hung.Release();
    EXPECT_TRUE(ThumbnailWorker::WaitForAllThreads(5000));
}

class MciRecorder {
public:
    MciRecorder() {
        SetMciCommandSender([this](const std::wstring& command, HWND notify) {
            commands.push_back(command);
            if (command.compare(0, 5, L"open ") == 0) ++device;
        });
        SetMciDeviceLookup([this](const std::wstring&) { return device; });
    }
    ~MciRecorder() {
        SetMciCommandSender({});
        SetMciDeviceLookup({});
    }
    std::vector<std::wstring> Take() { return std::exchange(commands, {}); }
    std::vector<std::wstring> commands;
    unsigned device = 0;
};

TEST_F(FilerKindsTest, MusicFolderPlaysEntriesInTurnAndStopsWhenShownAgainOrLeft) {
    MciRecorder mci;
    CFolder* music = AddKindFolder(kFolderKindMusic);
    ASSERT_TRUE(music);
    Filer().NavigateTo(music);
    EXPECT_EQ(ViewBits(list_), LVS_REPORT);
    EXPECT_FALSE(filerHost_.viewCommandsEnabled);
    for (const wchar_t* name : {L"a.wav", L"b.MP3", L"c.Mid", L"d.txt", L"e.mp4"})
        ASSERT_TRUE(tf_test::WriteText(dir_ / name, "x"));
    for (const wchar_t* name : {L"a.wav", L"b.MP3", L"c.Mid"}) EXPECT_TRUE(Filer().AddPath(dir_ / name, false)) << name;
    for (const wchar_t* name : {L"d.txt", L"e.mp4"}) EXPECT_FALSE(Filer().AddPath(dir_ / name, false)) << name;
    ASSERT_EQ(music->Count(), 3u);
    auto* kind = static_cast<CFilerMusic*>(Filer().Kind());
    mci.Take();

    Filer().OpenEntry(2);
    const std::vector<std::wstring> play = {L"stop Audio", L"close Audio", L"open \"" + (dir_ / L"c.Mid") + L"\" alias Audio",
                                            L"play Audio notify"};
    EXPECT_EQ(mci.Take(), play);
    EXPECT_EQ(kind->PlayingIndex(), 2);

    // The playing item is blue; the animation turns by 0.2 per tick.
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = list_;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = 2;
    LRESULT answer = 0;
    ASSERT_TRUE(kind->CustomDraw(draw, &answer));
    EXPECT_EQ(draw.clrText, RGB(0, 0, 255));
    SendMessageW(Filer().Container(), WM_TIMER, kMusicAnimationTimer, 0);
    EXPECT_FLOAT_EQ(kind->Angle(), 0.2f);

    // Finished: the next entry, wrapping from the last to the first. An aborted one goes nowhere.
    SendMessageW(list_, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, mci.device);
    EXPECT_EQ(kind->PlayingIndex(), 0);
    EXPECT_EQ(mci.Take().at(2), L"open \"" + (dir_ / L"a.wav") + L"\" alias Audio");
    SendMessageW(list_, MM_MCINOTIFY, MCI_NOTIFY_ABORTED, mci.device);
    EXPECT_EQ(kind->PlayingIndex(), 0);

    // A song chosen while the previous one's completion is on its way: that completion, queued or
    // arriving, does not skip the new song; the new song's own does.
    const unsigned previous = mci.device;
    PostMessageW(list_, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, previous);
    Filer().OpenEntry(1);
    tf_test::PumpMessages(50);
    SendMessageW(list_, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, previous);
    EXPECT_EQ(kind->PlayingIndex(), 1);
    SendMessageW(list_, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, mci.device);
    EXPECT_EQ(kind->PlayingIndex(), 2);
    mci.Take();

    // "Stop" is offered without a selection and stops.
    filer_test::MenuAnswer menu(kMusicStopCommand);
    Filer().ShowContextMenu();
    ASSERT_EQ(menu.menus.size(), 1u);
    EXPECT_NE(menu.menus[0].find(L"29"), std::wstring::npos);
    EXPECT_EQ(kind->PlayingIndex(), -1);
    EXPECT_EQ(mci.Take(), (std::vector<std::wstring>{L"stop Audio", L"close Audio"}));

    // Sorting shows the folder again, which stops the sound; so does leaving it.
    Filer().OpenEntry(1);
    ClickColumn(0);
    EXPECT_EQ(kind->PlayingIndex(), -1);
    Filer().OpenEntry(0);
    mci.Take();
    Filer().NavigateTo(&RootFolder());
    EXPECT_EQ(mci.Take().at(0), L"stop Audio");
    EXPECT_EQ(ViewBits(list_), LVS_LIST);
    EXPECT_TRUE(filerHost_.viewCommandsEnabled);
}

// A short silent 8-bit mono WAV file of `milliseconds`.
std::vector<unsigned char> SilentWav(int milliseconds) {
    const uint32_t rate = 8000, samples = rate * milliseconds / 1000;
    std::vector<unsigned char> b;
    auto put = [&b](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put(36 + samples, 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(rate, 4);
    put(rate, 4);
    put(1, 2);
    put(8, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put(samples, 4);
    b.insert(b.end(), samples, 128);
    return b;
}

TEST_F(FilerKindsTest, MusicFolderPlaysRealSoundsOneAfterTheOtherWhereADeviceExists) {
    if (waveOutGetNumDevs() == 0) GTEST_SKIP() << "no wave device";
    CFolder* music = AddKindFolder(kFolderKindMusic);
    ASSERT_TRUE(music);
    Filer().NavigateTo(music);
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"one.wav", SilentWav(150)));
    ASSERT_TRUE(tf_test::WriteBytes(dir_ / L"two.wav", SilentWav(150)));
    ASSERT_TRUE(Filer().AddPath(dir_ / L"one.wav", false));
    ASSERT_TRUE(Filer().AddPath(dir_ / L"two.wav", false));
    auto* kind = static_cast<CFilerMusic*>(Filer().Kind());
    Filer().OpenEntry(0);
    ASSERT_EQ(kind->PlayingIndex(), 0);
    // The end of the first sound starts the second, whose end starts the first again.
    for (int expected : {1, 0}) {
        for (int i = 0; i < 100 && kind->PlayingIndex() != expected; ++i) tf_test::PumpMessages(50);
        EXPECT_EQ(kind->PlayingIndex(), expected);
    }
}

}  // namespace
