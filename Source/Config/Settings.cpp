// Colour settings from Setting.ini, section "Tool":
//   BG R, BG G, BG B                 background of the filer and the folder tree
//   ToolBg0 R, ToolBg0 G, ToolBg0 B  top colour of the tool bar gradient
//   ToolBg1 R, ToolBg1 G, ToolBg1 B  bottom colour of the tool bar gradient
// Each value is read as an integer and only its low 8 bits are kept (300 reads as 44). A missing
// file, section or key gives that key's default.
#include "Config/Settings.h"

#include "Config/ModulePath.h"

namespace {

struct ColourKeys {
    const wchar_t* red;
    const wchar_t* green;
    const wchar_t* blue;
    BYTE defaultRed, defaultGreen, defaultBlue;
};

const ColourKeys kBackKeys = {L"BG R", L"BG G", L"BG B", 200, 200, 255};
const ColourKeys kToolTopKeys = {L"ToolBg0 R", L"ToolBg0 G", L"ToolBg0 B", 250, 249, 245};
const ColourKeys kToolBottomKeys = {L"ToolBg1 R", L"ToolBg1 G", L"ToolBg1 B", 192, 192, 168};

BYTE ReadChannel(const wchar_t* key, BYTE fallback, const std::wstring& iniPath) {
    const UINT value = GetPrivateProfileIntW(L"Tool", key, fallback, iniPath.c_str());
    return static_cast<BYTE>(value & 0xFF);
}

COLORREF ReadColour(const ColourKeys& keys, const std::wstring& iniPath) {
    return RGB(ReadChannel(keys.red, keys.defaultRed, iniPath), ReadChannel(keys.green, keys.defaultGreen, iniPath),
               ReadChannel(keys.blue, keys.defaultBlue, iniPath));
}

// 80 % of a channel, truncated: the channel moved a fifth of the way towards black.
BYTE Fade(BYTE channel) {
    return static_cast<BYTE>(channel * 4 / 5);
}

}  // namespace

ColourSettings& Settings() {
    static ColourSettings settings;
    return settings;
}

void ReadSettings(ColourSettings& settings) {
    ReadSettingsFrom(settings, ExecutableDirectory() + L"Setting.ini");
}

void ReadSettingsFrom(ColourSettings& settings, const std::wstring& iniPath) {
    settings.backColor = ReadColour(kBackKeys, iniPath);
    settings.toolBackTop = ReadColour(kToolTopKeys, iniPath);
    settings.toolBackBottom = ReadColour(kToolBottomKeys, iniPath);
}

COLORREF FadedColour(COLORREF colour) {
    return RGB(Fade(GetRValue(colour)), Fade(GetGValue(colour)), Fade(GetBValue(colour)));
}
