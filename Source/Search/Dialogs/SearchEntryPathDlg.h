// Asks for one search folder path, typed or chosen with the folder browser. Modal window of class
// "CSearchEntryPathDlg".
#pragma once

#include <windows.h>

#include <string>

class CSearchEntryPathDlg {
public:
    // Shows `path` for editing; true when confirmed, `path` then holding the edited text. Any text is
    // accepted, an empty one too.
    static bool Run(std::wstring& path, HWND parent);
};
