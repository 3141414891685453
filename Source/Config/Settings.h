// Colour settings read once from Setting.ini beside the executable (section "Tool"); the program
// never writes the file.
#pragma once

#include <windows.h>
#include <string>

struct ColourSettings {
    COLORREF backColor = RGB(200, 200, 255);  // filer and tree background
    COLORREF toolBackTop = 0;                 // tool bar gradient, top
    COLORREF toolBackBottom = 0;              // tool bar gradient, bottom
};

// The process-wide record.
ColourSettings& Settings();

// Fills the record from "<exe dir>Setting.ini"; missing file, section or keys give the defaults,
// and each value keeps only its low 8 bits.
void ReadSettings(ColourSettings& settings);
// The same from an explicit file (tests).
void ReadSettingsFrom(ColourSettings& settings, const std::wstring& iniPath);

// backColor moved 20 % of the way towards black, channel by channel (colour of missing entries).
COLORREF FadedColour(COLORREF colour);
