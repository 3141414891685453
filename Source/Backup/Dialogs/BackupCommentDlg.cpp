// The comment editor of the history dialog.
#include "Backup/Dialogs/BackupCommentDlg.h"

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvControls.h"
#include "Kv/KvDialog.h"
#include "Kv/KvHandles.h"
#include "Kv/KvModalState.h"
#include "Kv/KvWindow.h"

namespace {

constexpr int kEditId = 200;
constexpr int kWidth = 300;
constexpr int kHeight = 200;

struct CommentState {
    std::wstring* comment = nullptr;
    kv::UniqueFont font;
};

void OnCreate(CommentState& s, HWND dlg) {
    s.font.reset(KvCreateDialogFont(dlg));
    const int width = KvClientSize96(dlg).cx;
    KvBuildControls(dlg, s.font.get(), {
        {-1, KvCtl::Label, GlobalText::Get(kGtBackupComment), 10, 10, 0, 0},
        {kEditId, KvCtl::Edit, s.comment->c_str(), 10, 25, width - 20, 100, 0, ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL},
        {IDOK, KvCtl::Button, KvOkLabel, 80, 170, 100, 20, KvRowDefault | KvRowFromWindow},
        {IDCANCEL, KvCtl::Button, KvCancelLabel, 190, 170, 100, 20, KvRowFromWindow},
    });
    KvCentreOnOwner(dlg);
}

LRESULT Handle(CommentState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (KvCancelDialog(dlg, msg, wp)) return 0;
    switch (msg) {
    case WM_CREATE:
        OnCreate(s, dlg);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wp) != IDOK) break;
        *s.comment = KvGetItemWholeText(dlg, kEditId);
        KvEndModal(dlg, 1);
        return 0;
    case WM_DESTROY:
        s.font.reset();
        return 0;
    default:
        break;
    }
    return DefDlgProcW(dlg, msg, wp, lp);
}

}  // namespace

bool CBackupCommentDlg::Run(std::wstring& comment, HWND parent, const wchar_t* title) {
    std::wstring edited = comment;
    CommentState state;
    state.comment = &edited;
    const KvModalScope<CommentState> scope(state, L"CBackupCommentDlg::WndProc");
    const int result = KvDoModalScaled(L"CBackupCommentDlg", 0, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, title,
                                       kWidth, kHeight, parent, KvModalProc<CommentState, Handle>);
    if (result == 0) return false;
    comment = edited;
    return true;
}
