// The backup dialog's window: its controls and buttons. The run itself is in BackupRun.cpp.
#include "Backup/Dialogs/BackupDlg.h"

#include "Backup/Dialogs/BackupDlgState.h"
#include "Backup/Store/BackupStore.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Kv/KvControls.h"
#include "Kv/KvModalState.h"
#include "Kv/KvWindow.h"

namespace {

using backup_ui::BackupDlgState;

constexpr int kCommentId = 200;

// The state of the one open backup dialog; the dialog is modal and opens no other backup dialog.
void OnCreate(BackupDlgState& s, HWND dlg) {
    s.font.reset(KvCreateDefaultFont());
    HFONT font = s.font.get();
    const std::wstring heading =
        s.entry ? GtFormat(kGtBackupOne, {s.entry->name.str()}) : std::wstring(GlobalText::Get(kGtBackupMany));
    KvCreateLabel(heading.c_str(), 10, 10, dlg, -1, font);
    if (s.entry) KvCreateLabel(GtFormat(kGtBackupNewVersion, {s.newVersion}).c_str(), 10, 30, dlg, -1, font);
    KvCreateLabel(s.time.c_str(), 20, 60, dlg, -1, font);
    KvCreateLabel(GlobalText::Get(kGtBackupComment), 10, 85, dlg, -1, font);
    KvCreateEdit(font, ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP, L"", 10, 100,
                 KvClientSize(dlg).cx - 20, 100, dlg, kCommentId);
    const KvSystemInfo& info = KvGetSystemInfo();
    KvCreateButton(GlobalText::Get(kGtBackupTitle), 80 - info.frameWidth2, 250 - info.frameCaptionHeight, 100,
                            20, dlg, IDOK, font);
    KvCreateButton(KvCancelLabel, 190 - info.frameWidth2, 250 - info.frameCaptionHeight, 100, 20, dlg,
                            IDCANCEL, font);
    KvCentreOnOwner(dlg);
    SetFocus(GetDlgItem(dlg, kCommentId));
}

LRESULT Handle(BackupDlgState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        OnCreate(s, dlg);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wp) == IDCANCEL) {
            KvEndModal(dlg, 0);
            return 0;
        }
        if (LOWORD(wp) == IDOK) {
            const std::wstring comment = KvGetItemWholeText(dlg, kCommentId);
            if (!s.entry) {
                backup_ui::RunSeveralBackups(s, dlg, comment);
                KvEndModal(dlg, 1);
            } else if (backup_ui::RunOneBackup(s, dlg, comment)) {
                KvEndModal(dlg, 1);
            }
            return 0;
        }
        break;
    case WM_CLOSE:
        KvEndModal(dlg, 0);
        return 0;
    case WM_DESTROY:
        s.font.reset();
        return 0;
    default:
        break;
    }
    return DefDlgProcW(dlg, msg, wp, lp);
}

bool RunDialog(BackupDlgState& state, HWND parent, const wchar_t* title) {
    state.time = backup::BackupTimeNow();
    const KvModalScope<BackupDlgState> scope(state, L"CBackupDlg::WndProc");
    const int result = KvDoModal(L"CBackupDlg", 0, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, title, 300, 280,
                                 parent, KvModalProc<BackupDlgState, Handle>);
    return result != 0;
}

}  // namespace

bool CBackupDlg::Run(CEntry& entry, backup::BackupMode mode, HWND parent, const wchar_t* title, int* recorded) {
    if (recorded) *recorded = 0;
    BackupDlgState state;
    state.entry = &entry;
    state.mode = mode;
    if (!backup::OpenBackupFolder(entry, state.place)) return false;
    const backup::Versions& versions = state.place.versions;
    state.newVersion = (mode == backup::BackupMode::Append ? versions.endVersion : versions.nowVersion) + 1;
    const bool ran = RunDialog(state, parent, title);
    if (recorded) *recorded = state.recorded;
    return ran;
}

bool CBackupDlg::Run(const std::vector<CEntry*>& entries, HWND parent, const wchar_t* title) {
    BackupDlgState state;
    state.entries = entries;
    return RunDialog(state, parent, title);
}
