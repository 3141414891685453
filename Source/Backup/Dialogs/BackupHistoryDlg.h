// The history of one entry's backups: every kept version and the entry's current file, the
// selected version's comment and first bytes, and the commands to restore a version, to make an
// earlier or later version current and to edit a comment. Modal window of class
// "CBackupHistoryDlg".
#pragma once

#include <windows.h>

class CEntry;

class CBackupHistoryDlg {
public:
    // Shows the history; always ends with 0, so the result is false.
    static bool Run(CEntry& entry, HWND parent, const wchar_t* title);
};
