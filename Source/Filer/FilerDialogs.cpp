// The filer's entry dialogs. The application chooser is a separate unit that does not exist in this
// build yet; until it does, its call returns without showing anything and changes nothing.
#include "Filer/FilerDialogs.h"

#include "Backup/Dialogs/BackupDlg.h"
#include "Backup/Dialogs/BackupHistoryDlg.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"

bool ChooseApplicationFor(HWND owner, CEntry& entry) {
    return false;
}

void BackupEntry(HWND owner, CEntry& entry) {
    CBackupDlg::Run(entry, backup::BackupMode::Normal, owner, GlobalText::Get(kGtBackupTitle));
}

void BackupEntries(HWND owner, const std::vector<CEntry*>& entries) {
    CBackupDlg::Run(entries, owner, GlobalText::Get(kGtBackupTitle));
}

void ShowBackupHistory(HWND owner, CEntry& entry) {
    CBackupHistoryDlg::Run(entry, owner, GlobalText::Get(kGtBackupHistory));
}
