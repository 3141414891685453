// The filer's entry dialogs. The chooser and backup dialogs are separate units that do not exist in
// this build yet; until they do, each call returns without showing anything and changes nothing.
#include "Filer/FilerDialogs.h"

#include "Document/Folder.h"

bool ChooseApplicationFor(HWND owner, CEntry& entry) {
    return false;
}

void BackupEntries(HWND owner, const std::vector<CEntry*>& entries) {}

void ShowBackupHistory(HWND owner, CEntry& entry) {}
