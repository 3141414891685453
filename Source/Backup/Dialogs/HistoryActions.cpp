// The history dialog's commands on one version: restore it, make an earlier or later version
// current, edit its comment. The entry's file is only ever replaced by moving a finished copy over
// it, and NowVersion is stored only after the copy it stands for has succeeded.
#include "Backup/Dialogs/HistoryState.h"

#include <algorithm>

#include "Backup/Dialogs/BackupCommentDlg.h"
#include "Backup/Dialogs/BackupDlg.h"
#include "Backup/Store/BackupStore.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Kv/KvCopyProgress.h"
#include "Kv/KvFiles.h"
#include "Kv/KvWindow.h"

namespace backup_ui {
namespace {

enum class Outcome { Go, Stop };

void Say(HWND dlg, int title, const std::wstring& text) {
    KvMessageBox(dlg, GlobalText::Get(title), text.c_str(), KvMbOk);
}

// Whether the entry's file differs from the version NowVersion stands for. A current version file
// deleted by hand counts as different, so the user is offered a backup rather than a dead end.
int CompareWithNow(const HistoryState& s) {
    const int result = KvCompareFiles(s.entry->ResolvedPath(), backup::VersionPath(s.directory, s.versions.nowVersion));
    return result == KvCompareFailB ? KvCompareDifferent : result;
}

// Backs the current file up as a new version in the append mode and lists it. The file may be
// replaced afterwards only when that version is both written and recorded in the index: otherwise
// says why (`stopped` when the user cancelled) and gives false.
bool BackUpCurrent(HistoryState& s, HWND dlg, int title, int stopped) {
    int recorded = 0;
    const bool ran =
        CBackupDlg::Run(*s.entry, backup::BackupMode::Append, dlg, GlobalText::Get(kGtBackupTitle), &recorded);
    if (recorded == 0) {
        Say(dlg, title, GlobalText::Get(ran ? kGtHistorySafetyNotRecorded : stopped));
        return false;
    }
    HistoryRow row;
    row.version = recorded;
    s.versions.endVersion = std::max(s.versions.endVersion, recorded);
    row.present = true;
    std::vector<backup::VersionNote> notes = {{row.version}};
    backup::SetVerComment(s.directory, s.versions.endVersion, notes);
    row.comment = notes[0].comment;
    row.time = notes[0].time;
    const int index = static_cast<int>(s.rows.size()) - 1;
    s.rows.insert(s.rows.begin() + index, row);
    ShowRowCount(s);
    return true;
}

// Asks whether the version replaces the entry's file (both exist and differ).
bool AskCopy(HWND dlg, int title) {
    const wchar_t* const labels[] = {GlobalText::Get(kGtHistoryCopy), GlobalText::Get(kGtHistoryDontCopy), nullptr};
    return KvMessageBoxCustom(labels, dlg, GlobalText::Get(title), GlobalText::Get(kGtHistoryCopyQuestion)) == 1;
}

// Copies the version over the entry's file (a progress window titled `title` for a large one) and
// shows the current file's row as it now is.
bool CopyOver(HistoryState& s, HWND dlg, int title, const HistoryRow& row) {
    backup::StoreFailure failure;
    const auto copy = [dlg, title](const std::wstring& from, const std::wstring& to) {
        return KvCopyFileWithProgress(dlg, GlobalText::Get(title), from, to);
    };
    const bool copied = backup::RestoreFile(RowPath(s, row), s.entry->ResolvedPath(), failure, copy);
    s.rows.back().present = KvPathExists(s.entry->ResolvedPath());
    InvalidateRect(s.list, nullptr, TRUE);
    InvalidateRect(s.view.Window(), nullptr, TRUE);
    return copied;
}

}  // namespace

void RestoreVersion(HistoryState& s, HWND dlg, HistoryRow row) {
    const std::wstring file = s.entry->ResolvedPath();
    const std::wstring version = RowPath(s, row);
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_READONLY) || !KvPathExists(version)) {
            Say(dlg, kGtHistoryRestore, GlobalText::Get(kGtHistoryFileError));
            return;
        }
        const int same = KvCompareFiles(version, file);
        if (same == KvCompareEqual) {
            Say(dlg, kGtHistoryRestore, GlobalText::Get(kGtHistorySameAsFile));
            return;
        }
        if (same != KvCompareDifferent) {
            Say(dlg, kGtHistoryRestore, GlobalText::Get(kGtHistoryFileError));
            return;
        }
        const int now = CompareWithNow(s);
        if (now != KvCompareEqual && now != KvCompareDifferent) {
            Say(dlg, kGtHistoryRestore, GlobalText::Get(kGtHistoryFileError));
            return;
        }
        if (now == KvCompareDifferent) {
            const int answer = KvMessageBox(dlg, GlobalText::Get(kGtHistoryRestore),
                                            GlobalText::Get(kGtHistoryBackupFirst), KvMbYesNoCancel);
            if (answer == IDCANCEL) return;
            if (answer == IDYES && !BackUpCurrent(s, dlg, kGtHistoryRestore, kGtHistoryRestoreStopped)) return;
        }
    }
    if (!CopyOver(s, dlg, kGtHistoryRestore, row)) {
        Say(dlg, kGtHistoryRestore, GlobalText::Get(kGtHistoryFileError));
        return;
    }
    Say(dlg, kGtHistoryRestore, GtFormat(kGtHistoryRestored, {row.version}));
}

void StepBack(HistoryState& s, HWND dlg, HistoryRow row) {
    const std::wstring file = s.entry->ResolvedPath();
    const std::wstring version = RowPath(s, row);
    bool copy = false;
    if (!KvPathExists(file)) {
        copy = true;
    } else if (KvPathExists(version) && KvCompareFiles(version, file) != KvCompareEqual) {
        copy = AskCopy(dlg, kGtHistoryStepBack);
    }
    if (copy && KvPathExists(file) && CompareWithNow(s) != KvCompareEqual) {
        const int answer = KvMessageBox(dlg, GlobalText::Get(kGtHistoryStepBack),
                                        GlobalText::Get(kGtHistoryBackupFirst), KvMbYesNoCancel);
        if (answer == IDCANCEL) {
            Say(dlg, kGtHistoryStepBack, GlobalText::Get(kGtHistoryStepBackStopped));
            return;
        }
        if (answer == IDYES && !BackUpCurrent(s, dlg, kGtHistoryStepBack, kGtHistoryStepBackStopped)) return;
    }
    if (copy && !CopyOver(s, dlg, kGtHistoryStepBack, row)) {
        Say(dlg, kGtHistoryStepBack, GlobalText::Get(kGtHistoryFileError));
        return;
    }
    if (!backup::UpdateVersion(s.directory, row.version)) {
        Say(dlg, kGtHistoryStepBack, GlobalText::Get(kGtHistoryStepBackInfoError));
        return;
    }
    s.versions.nowVersion = row.version;
    InvalidateRect(s.list, nullptr, TRUE);
    Say(dlg, kGtHistoryStepBack, GlobalText::Get(kGtHistoryStepBackDone));
}

void StepForward(HistoryState& s, HWND dlg, HistoryRow row) {
    const std::wstring file = s.entry->ResolvedPath();
    const std::wstring version = RowPath(s, row);
    bool copy = false;
    if (!KvPathExists(file)) {
        copy = true;
    } else if (KvPathExists(version) && KvCompareFiles(version, file) == KvCompareDifferent) {
        copy = AskCopy(dlg, kGtHistoryStepForward);
    }
    if (copy && KvPathExists(file)) {
        const int now = CompareWithNow(s);
        if (now != KvCompareEqual && now != KvCompareDifferent) {
            Say(dlg, kGtHistoryStepForward, GlobalText::Get(kGtHistoryStepForwardError));
            return;
        }
        if (now == KvCompareDifferent) {
            const int answer = KvMessageBox(dlg, GlobalText::Get(kGtHistoryStepForward),
                                            GlobalText::Get(kGtHistoryOverwriteQuestion), KvMbYesNoCancel);
            if (answer == IDCANCEL) {
                Say(dlg, kGtHistoryStepForward, GlobalText::Get(kGtHistoryStepForwardStopped));
                return;
            }
            copy = answer == IDYES;
        }
    }
    if (copy && !CopyOver(s, dlg, kGtHistoryStepForward, row)) {
        Say(dlg, kGtHistoryStepForward, GlobalText::Get(kGtHistoryFileError));
        return;
    }
    if (!backup::UpdateVersion(s.directory, row.version)) {
        Say(dlg, kGtHistoryStepForward, GlobalText::Get(kGtHistoryStepForwardError));
        return;
    }
    s.versions.nowVersion = row.version;
    InvalidateRect(s.list, nullptr, TRUE);
    Say(dlg, kGtHistoryStepForward, GlobalText::Get(kGtHistoryStepForwardDone));
}

void EditVersionComment(HistoryState& s, HWND dlg, HistoryRow& row) {
    std::wstring text = row.comment;
    if (!CBackupCommentDlg::Run(text, dlg, GlobalText::Get(kGtHistoryEditComment))) return;
    if (!backup::EditComment(s.directory, row.version, text)) return;
    // The row shows the comment as stored (without the characters the index cannot hold).
    std::vector<backup::VersionNote> notes = {{row.version}};
    if (backup::SetVerComment(s.directory, s.versions.endVersion, notes)) row.comment = notes[0].comment;
}

}  // namespace backup_ui
