// The backup dialog's window: its controls and buttons. The run itself is in BackupRun.cpp.
#include "Backup/Dialogs/BackupDlg.h"

#include "Backup/Dialogs/BackupDlgState.h"
#include "Backup/Store/BackupStore.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Kv/KvControls.h"
#include "Kv/KvDialog.h"
#include "Kv/KvModalState.h"
#include "Kv/KvWindow.h"

namespace {

using backup_ui::BackupDlgState;

constexpr int kCommentId = 200;

constexpr int kWidth = 300;
constexpr int kHeight = 280;

void OnCreate(BackupDlgState& s, HWND dlg) {
    s.font.reset(KvCreateDialogFont(dlg));
    const std::wstring heading =
        s.entry ? GtFormat(kGtBackupOne, {s.entry->name.str()}) : std::wstring(GlobalText::Get(kGtBackupMany));
    const std::wstring version = s.entry ? GtFormat(kGtBackupNewVersion, {s.newVersion}) : std::wstring();
    const unsigned versionShown = s.entry ? 0u : static_cast<unsigned>(KvRowHidden);
    const int width = KvClientSize96(dlg).cx;
    KvBuildControls(dlg, s.font.get(), {
        {-1, KvCtl::Label, heading.c_str(), 10, 10, 0, 0},
        {-1, KvCtl::Label, version.c_str(), 10, 30, 0, 0, versionShown},
        {-1, KvCtl::Label, s.time.c_str(), 20, 60, 0, 0},
        {-1, KvCtl::Label, GlobalText::Get(kGtBackupComment), 10, 85, 0, 0},
        {kCommentId, KvCtl::Edit, L"", 10, 100, width - 20, 100, 0, ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL},
        {IDOK, KvCtl::Button, GlobalText::Get(kGtBackupTitle), 80, 250, 100, 20, KvRowDefault | KvRowFromWindow},
        {IDCANCEL, KvCtl::Button, KvCancelLabel, 190, 250, 100, 20, KvRowFromWindow},
    });
    KvCentreOnOwner(dlg);
    SetFocus(GetDlgItem(dlg, kCommentId));
}

LRESULT Handle(BackupDlgState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (KvCancelDialog(dlg, msg, wp)) return 0;
    switch (msg) {
    case WM_CREATE:
        OnCreate(s, dlg);
        return 0;
    case WM_COMMAND:
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
    const int result = KvDoModalScaled(L"CBackupDlg", 0, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, title, kWidth,
                                       kHeight, parent, KvModalProc<BackupDlgState, Handle>);
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
