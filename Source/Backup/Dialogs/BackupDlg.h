// The backup dialog: asks for a comment and makes a new version of one entry (normal or append
// mode) or of several entries (normal mode), with its questions for unchanged files and for
// versions that a normal backup drops. Modal window of class "CBackupDlg".
#pragma once

#include <windows.h>

#include <vector>

#include "Backup/Store/BackupInfo.h"

class CEntry;

class CBackupDlg {
public:
    // True when a backup ran (the dialog ended with 1); false when cancelled or when the entry's
    // store could not be opened (after its warning). `recorded`, when given, receives the number
    // of the version that was both stored and recorded in the index, or 0.
    static bool Run(CEntry& entry, backup::BackupMode mode, HWND parent, const wchar_t* title,
                    int* recorded = nullptr);
    static bool Run(const std::vector<CEntry*>& entries, HWND parent, const wchar_t* title);
};
