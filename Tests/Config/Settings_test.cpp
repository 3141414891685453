#include <gtest/gtest.h>

#include "Config/Settings.h"
#include "Support/TestSupport.h"

using namespace tf_test;

namespace {

const COLORREF kDefaultBack = RGB(200, 200, 255);
const COLORREF kDefaultToolTop = RGB(250, 249, 245);
const COLORREF kDefaultToolBottom = RGB(192, 192, 168);

ColourSettings Scrambled() {
    ColourSettings s;
    s.backColor = s.toolBackTop = s.toolBackBottom = RGB(1, 2, 3);
    return s;
}

TEST(Settings, ValuesKeepTheirLowByteAndMissingKeysTakeDefaults) {
    TempDir dir;
    const std::wstring ini = dir / L"Setting.ini";
    ASSERT_TRUE(
        WriteText(ini, "[Tool]\r\nBG R=300\r\nBG B=0\r\nToolBg0 G=511\r\nToolBg1 B=7\r\n[Other]\r\nBG G=9\r\n"));
    ColourSettings s = Scrambled();
    ReadSettingsFrom(s, ini);
    EXPECT_EQ(s.backColor, RGB(44, 200, 0));
    EXPECT_EQ(s.toolBackTop, RGB(250, 255, 245));
    EXPECT_EQ(s.toolBackBottom, RGB(192, 192, 7));

    ColourSettings missing = Scrambled();
    ReadSettingsFrom(missing, dir / L"absent.ini");
    EXPECT_EQ(missing.backColor, kDefaultBack);
    EXPECT_EQ(missing.toolBackTop, kDefaultToolTop);
    EXPECT_EQ(missing.toolBackBottom, kDefaultToolBottom);
}

TEST(Settings, ShippedFileBesideTheProgramGivesTheDefaultColours) {
    ASSERT_TRUE(FileExists(ExeDirectory() + L"Setting.ini"));
    ColourSettings& s = Settings();
    EXPECT_EQ(&s, &Settings());
    s = Scrambled();
    ReadSettings(s);
    EXPECT_EQ(s.backColor, kDefaultBack);
    EXPECT_EQ(s.toolBackTop, kDefaultToolTop);
    EXPECT_EQ(s.toolBackBottom, kDefaultToolBottom);
}

TEST(Settings, FadedColourIsFourFifthsOfEachChannelTruncated) {
    EXPECT_EQ(FadedColour(RGB(200, 200, 255)), RGB(160, 160, 204));
    EXPECT_EQ(FadedColour(RGB(1, 4, 9)), RGB(0, 3, 7));
    EXPECT_EQ(FadedColour(RGB(0, 0, 0)), RGB(0, 0, 0));
    EXPECT_EQ(FadedColour(RGB(255, 128, 99)), RGB(204, 102, 79));
}

}  // namespace
