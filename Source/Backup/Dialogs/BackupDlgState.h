// State of the open backup dialog and the backup run behind its button 1.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Backup/Store/BackupInfo.h"
#include "Backup/Store/BackupStore.h"
#include "Kv/KvHandles.h"

class CEntry;

namespace backup_ui {

struct BackupDlgState {
    CEntry* entry = nullptr;  // null in the several-entries form
    std::vector<CEntry*> entries;
    backup::BackupMode mode = backup::BackupMode::Normal;
    backup::BackupPlace place;
    int newVersion = 0;
    int recorded = 0;  // the version the one-entry form stored and recorded; 0 when none
    std::wstring time;
    bool yesToAll = false;
    bool noToAll = false;
    kv::UniqueFont font;
};

// Button 1 of the one-entry form; true when the dialog is to end with 1.
bool RunOneBackup(BackupDlgState& s, HWND dlg, const std::wstring& comment);
// Button 1 of the several-entries form; shows the count at the end.
void RunSeveralBackups(BackupDlgState& s, HWND dlg, const std::wstring& comment);

}  // namespace backup_ui
