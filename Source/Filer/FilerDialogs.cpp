// The filer's entry dialogs, and opening an entry with a chosen program.
#include "Filer/FilerDialogs.h"

#include <shlwapi.h>

#include "Backup/Dialogs/BackupDlg.h"
#include "Backup/Dialogs/BackupHistoryDlg.h"
#include "Choosers/AppSelectDlg.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Kv/KvWindow.h"
#include "Shell/ShellRun.h"

namespace {
const wchar_t kMissingProgram[] = L"このプログラムが見つからないため、開けませんでした。";

// A full path must name an existing file; a bare program name ("notepad.exe") is left to the shell,
// which looks it up and reports a failure itself.
bool ProgramMissing(const std::wstring& program) {
    if (program.empty()) return true;
    if (PathIsRelativeW(program.c_str())) return false;
    const DWORD attributes = GetFileAttributesW(program.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
}  // namespace

bool ChooseApplicationFor(HWND owner, CEntry& entry) {
    std::wstring chosen;
    const int result = CKvAppSelectDlg::Run(entry, owner, GlobalText::Get(kGtChooserTitle), chosen);
    if (result & kAppSelectOpen) OpenEntryWith(owner, chosen, entry);
    return (result & kAppSelectStored) != 0;
}

void OpenEntryWith(HWND owner, const std::wstring& program, const CEntry& entry) {
    if (ProgramMissing(program)) {
        KvWarningBox(kMissingProgram, program.c_str());
        return;
    }
    ShellOpen(owner, program, L"\"" + entry.ResolvedPath() + L"\"");
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
