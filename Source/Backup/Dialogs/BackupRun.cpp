// The backup run of the backup dialog: the comparison with the current version, the questions, the
// copy into the store and the index update.
#include "Backup/Dialogs/BackupDlgState.h"

#include "Backup/Store/BackupStore.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Kv/KvCopyProgress.h"
#include "Kv/KvFiles.h"
#include "Kv/KvWindow.h"

namespace backup_ui {
namespace {

// Entry 149's warning: the file, and why it cannot be read.
void WarnUnreadable(const std::wstring& path) {
    const DWORD error = backup::ReadError(path);
    const std::wstring detail = error ? path + L"\n" + backup::SystemErrorText(error) : path;
    KvWarningBox(GtFormat(kGtBackupUnreadable, {-1}).c_str(), detail.c_str());
}

// Whether the entry is to be backed up: its file is readable, and when it has not changed since
// NowVersion the user still wants a version of it. The questions come here, before anything is
// written.
bool ShouldBackUp(BackupDlgState& s, HWND dlg, CEntry& entry, const backup::BackupPlace& place) {
    const std::wstring path = entry.ResolvedPath();
    if (place.versions.endVersion == 0) {
        if (KvPathExists(path)) return true;
        WarnUnreadable(path);
        return false;
    }
    const int compared = KvCompareFiles(path, backup::VersionPath(place.directory, place.versions.nowVersion));
    if (compared == KvCompareFailBoth || compared == KvCompareFailA) {
        WarnUnreadable(path);
        return false;
    }
    if (compared != KvCompareEqual) return true;
    const wchar_t* title = GlobalText::Get(kGtBackupUnchangedTitle);
    if (s.entry) return KvMessageBox(dlg, title, GlobalText::Get(kGtBackupUnchangedOne), KvMbOkCancel) == IDOK;
    if (s.noToAll) return false;
    if (s.yesToAll) return true;
    const wchar_t* const labels[] = {GlobalText::Get(kGtBackupUnchangedYes), GlobalText::Get(kGtBackupUnchangedNo),
                                     GlobalText::Get(kGtBackupUnchangedYesToAll),
                                     GlobalText::Get(kGtBackupUnchangedNoToAll), nullptr};
    const std::wstring text = GtFormat(kGtBackupUnchangedMany, {entry.name.str()});
    switch (KvMessageBoxCustom(labels, dlg, title, text.c_str())) {
    case 1:
        return true;
    case 3:
        s.yesToAll = true;
        return true;
    case 4:
        s.noToAll = true;
        return false;
    default:
        return false;
    }
}

// Stores the version; a copy that failed is reported with its path and the system's reason (a
// failed index update has been reported by the store).
backup::StoreResult Store(HWND dlg, CEntry& entry, backup::BackupPlace& place, int newVersion,
                          backup::BackupMode mode, const std::wstring& comment, const std::wstring& time) {
    backup::StoreFailure failure;
    const auto copy = [dlg](const std::wstring& from, const std::wstring& to) {
        return KvCopyFileWithProgress(dlg, GlobalText::Get(kGtBackupTitle), from, to);
    };
    const backup::StoreResult result =
        backup::StoreVersion(entry, place, entry.ResolvedPath(), newVersion, mode, comment, time, failure, copy);
    if (result == backup::StoreResult::NotCopied && !failure.path.empty())
        KvWarningBox(failure.directory ? L"BackupFolder Open error!" : GlobalText::Get(kGtBackupCopyFailed),
                     (failure.path + L"\n" + backup::SystemErrorText(failure.error)).c_str());
    return result;
}

}  // namespace

bool RunOneBackup(BackupDlgState& s, HWND dlg, const std::wstring& comment) {
    const wchar_t* title = GlobalText::Get(kGtBackupTitle);
    const backup::Versions& versions = s.place.versions;
    if (s.mode == backup::BackupMode::Normal && versions.nowVersion != versions.endVersion) {
        const std::wstring text = GtFormat(kGtBackupDropLaterOne, {s.newVersion});
        if (KvMessageBox(dlg, title, text.c_str(), KvMbYesNo) != IDYES) return false;
    }
    if (!ShouldBackUp(s, dlg, *s.entry, s.place)) return false;
    const bool first = s.place.directory.empty();
    const backup::StoreResult result = Store(dlg, *s.entry, s.place, s.newVersion, s.mode, comment, s.time);
    if (result == backup::StoreResult::Stored)
        s.recorded = s.newVersion;
    else if (result == backup::StoreResult::NotCopied || first)
        return false;  // nothing was stored: the user stays with the comment
    KvMessageBox(dlg, title, GlobalText::Get(kGtBackupDoneOne), KvMbOk);
    return true;
}

void RunSeveralBackups(BackupDlgState& s, HWND dlg, const std::wstring& comment) {
    const wchar_t* title = GlobalText::Get(kGtBackupTitle);
    s.yesToAll = false;
    s.noToAll = false;
    int count = 0;
    for (CEntry* entry : s.entries) {
        backup::BackupPlace place;
        if (!backup::OpenBackupFolder(*entry, place)) continue;
        const int newVersion = place.versions.nowVersion + 1;
        if (place.versions.nowVersion != place.versions.endVersion) {
            const std::wstring text = GtFormat(kGtBackupDropLaterMany, {entry->name.str(), newVersion});
            if (KvMessageBox(dlg, title, text.c_str(), KvMbYesNo) != IDYES) continue;
        }
        if (!ShouldBackUp(s, dlg, *entry, place)) continue;
        if (Store(dlg, *entry, place, newVersion, backup::BackupMode::Normal, comment, s.time) ==
            backup::StoreResult::Stored)
            ++count;
    }
    KvMessageBox(dlg, title, GtFormat(kGtBackupDoneMany, {count}).c_str(), KvMbOk);
}

}  // namespace backup_ui
