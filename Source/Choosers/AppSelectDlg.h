// The application chooser of one entry: lists the programs registered for the entry's extension
// with their names and icons, takes a typed or browsed executable, and either opens the entry with
// it once or stores it as the entry's appPath. Modal window of class "CKvAppSelectDlg".
#pragma once

#include <windows.h>

#include <string>

class CEntry;

// Result bits of CKvAppSelectDlg::Run; 0 = cancelled.
enum AppSelectResult {
    kAppSelectOk = 1,      // closed with OK
    kAppSelectOpen = 2,    // closed with "open": open the entry with the chosen program now
    kAppSelectStored = 4,  // the chosen program was stored as the entry's appPath
};

class CKvAppSelectDlg {
public:
    // Runs the chooser for `entry`; `chosen` receives the program's path when the result is not 0.
    static int Run(CEntry& entry, HWND parent, const wchar_t* title, std::wstring& chosen);
};
