// The backup run of the backup dialog: the comparison with the current version, the questions, the
// copy into the store and the index update.
#include "Backup/Dialogs/BackupDlgState.h"

#include "Backup/Store/BackupStore.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Kv/KvFiles.h"
#include "Kv/KvWindow.h"

namespace backup_ui {
namespace {

const wchar_t kOpenError[] = L"BackupFolder Open error!";

enum class Unchanged { Ask, BackUp, Skip };

// Copies the entry's file into version `newVersion`. False when the entry is not to be backed up
// (unreadable, unchanged and declined, or the copy failed); nothing is then written.
bool CopyStep(BackupDlgState& s, HWND dlg, CEntry& entry, const std::wstring& directory,
              const backup::Versions& versions, int newVersion) {
    const std::wstring path = entry.ResolvedPath();
    if (versions.endVersion != 0) {
        const int compared = KvCompareFiles(path, backup::VersionPath(directory, versions.nowVersion));
        if (compared == KvCompareFailBoth || compared == KvCompareFailA) {
            KvWarningBox(GtFormat(kGtBackupUnreadable, {-1}).c_str(), path.c_str());
            return false;
        }
        if (compared == KvCompareEqual) {
            const wchar_t* title = GlobalText::Get(kGtBackupUnchangedTitle);
            if (s.entry) {
                if (KvMessageBox(dlg, title, GlobalText::Get(kGtBackupUnchangedOne), KvMbOkCancel) != IDOK)
                    return false;
            } else {
                if (s.noToAll) return false;
                if (!s.yesToAll) {
                    const wchar_t* const labels[] = {GlobalText::Get(kGtBackupUnchangedYes),
                                                     GlobalText::Get(kGtBackupUnchangedNo),
                                                     GlobalText::Get(kGtBackupUnchangedYesToAll),
                                                     GlobalText::Get(kGtBackupUnchangedNoToAll), nullptr};
                    const std::wstring text = GtFormat(kGtBackupUnchangedMany, {entry.name.str()});
                    switch (KvMessageBoxCustom(labels, dlg, title, text.c_str())) {
                    case 1:
                        break;
                    case 3:
                        s.yesToAll = true;
                        break;
                    case 4:
                        s.noToAll = true;
                        return false;
                    default:
                        return false;
                    }
                }
            }
        }
    } else if (!KvPathExists(path)) {
        KvWarningBox(GtFormat(kGtBackupUnreadable, {-1}).c_str(), path.c_str());
        return false;
    }
    return backup::CopyReplacingSafely(path, backup::VersionPath(directory, newVersion));
}

void Record(const std::wstring& directory, const backup::Versions& versions, int newVersion, backup::BackupMode mode,
            const std::wstring& comment, const std::wstring& time) {
    if (mode == backup::BackupMode::Normal) backup::DeleteVersions(directory, newVersion + 1, versions.endVersion);
    backup::UpdateXML(directory, versions, newVersion, mode, comment, time);
}

}  // namespace

bool RunOneBackup(BackupDlgState& s, HWND dlg, const std::wstring& comment) {
    const wchar_t* title = GlobalText::Get(kGtBackupTitle);
    if (s.mode == backup::BackupMode::Normal && s.versions.nowVersion != s.versions.endVersion) {
        const std::wstring text = GtFormat(kGtBackupDropLaterOne, {s.newVersion});
        if (KvMessageBox(dlg, title, text.c_str(), KvMbYesNo) != IDYES) return false;
    }
    if (!CopyStep(s, dlg, *s.entry, s.directory, s.versions, s.newVersion)) return false;
    Record(s.directory, s.versions, s.newVersion, s.mode, comment, s.time);
    KvMessageBox(dlg, title, GlobalText::Get(kGtBackupDoneOne), KvMbOk);
    return true;
}

void RunSeveralBackups(BackupDlgState& s, HWND dlg, const std::wstring& comment) {
    const wchar_t* title = GlobalText::Get(kGtBackupTitle);
    s.yesToAll = false;
    s.noToAll = false;
    int count = 0;
    for (CEntry* entry : s.entries) {
        const std::wstring directory = backup::OpenBackupFolder(*entry);
        if (directory.empty()) {
            KvWarningBox(kOpenError, directory.c_str());
            continue;
        }
        backup::Versions versions;
        if (!backup::GetVersion(directory, versions)) continue;
        const int newVersion = versions.nowVersion + 1;
        if (versions.nowVersion != versions.endVersion) {
            const std::wstring text = GtFormat(kGtBackupDropLaterMany, {entry->name.str(), newVersion});
            if (KvMessageBox(dlg, title, text.c_str(), KvMbYesNo) != IDYES) continue;
        }
        if (!CopyStep(s, dlg, *entry, directory, versions, newVersion)) continue;
        Record(directory, versions, newVersion, backup::BackupMode::Normal, comment, s.time);
        ++count;
    }
    KvMessageBox(dlg, title, GtFormat(kGtBackupDoneMany, {count}).c_str(), KvMbOk);
}

}  // namespace backup_ui
