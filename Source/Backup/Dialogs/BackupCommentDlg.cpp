// The comment editor of the history dialog.
#include "Backup/Dialogs/BackupCommentDlg.h"

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvControls.h"
#include "Kv/KvHandles.h"
#include "Kv/KvModalState.h"
#include "Kv/KvWindow.h"

namespace {

constexpr int kEditId = 200;

struct CommentState {
    std::wstring* comment = nullptr;
    kv::UniqueFont font;
};

LRESULT Handle(CommentState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE: {
        s.font.reset(KvCreateDefaultFont());
        KvCreateLabel(GlobalText::Get(kGtBackupComment), 10, 10, dlg, -1, s.font.get());
        KvCreateEdit(s.font.get(), ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
                     s.comment->c_str(), 10, 25, KvClientSize(dlg).cx - 20, 100, dlg, kEditId);
        const KvSystemInfo& info = KvGetSystemInfo();
        KvCreateButton(KvOkLabel, 80 - info.frameWidth2, 170 - info.frameCaptionHeight, 100, 20, dlg, IDOK,
                                s.font.get());
        KvCreateButton(KvCancelLabel, 190 - info.frameWidth2, 170 - info.frameCaptionHeight, 100, 20, dlg,
                                IDCANCEL, s.font.get());
        KvCentreOnOwner(dlg);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            *s.comment = KvGetItemWholeText(dlg, kEditId);
            KvEndModal(dlg, 1);
            return 0;
        }
        if (LOWORD(wp) == IDCANCEL) {
            KvEndModal(dlg, 0);
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

}  // namespace

bool CBackupCommentDlg::Run(std::wstring& comment, HWND parent, const wchar_t* title) {
    std::wstring edited = comment;
    CommentState state;
    state.comment = &edited;
    const KvModalScope<CommentState> scope(state, L"CBackupCommentDlg::WndProc");
    const int result = KvDoModal(L"CBackupCommentDlg", 0, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, title, 300,
                                 200, parent, KvModalProc<CommentState, Handle>);
    if (result == 0) return false;
    comment = edited;
    return true;
}
