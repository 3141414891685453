// The project settings dialog: the open project's options on four tab pages (general options, the
// window title template, the backup directory, the entry menu with the project's application list).
// Modal window of class "CPrjSetupDlg". The project changes only when the dialog is closed with OK;
// the application list is edited on a working copy, so Cancel discards its changes too.
//
// The pages are children of the dialog with the identifiers kPrjSetupPageFirst + 0 to 3 (tab
// order); each page's controls are found on its page.
#pragma once

#include <windows.h>

constexpr int kPrjSetupPageFirst = 300;

class CPrjSetupDlg {
public:
    // True when closed with OK (the project's options have then been replaced).
    static bool Run(HWND owner, const wchar_t* title);
};
