// The small dialog asking for one search folder path.
#include "Search/Dialogs/SearchEntryPathDlg.h"

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvControls.h"
#include "Kv/KvDialog.h"
#include "Kv/KvFileDialogs.h"
#include "Kv/KvHandles.h"
#include "Kv/KvModalState.h"
#include "Kv/KvWindow.h"

namespace {

constexpr int kLabelId = 200;
constexpr int kEditId = 201;
constexpr int kBrowseId = 202;

struct PathState {
    std::wstring* path = nullptr;
    kv::UniqueFont font;
};

void Browse(HWND dlg) {
    HWND edit = GetDlgItem(dlg, kEditId);
    std::wstring chosen = KvGetWholeText(edit);
    if (KvBrowseForFolder(chosen, dlg, L"")) SetWindowTextW(edit, chosen.c_str());
}

void OnCreate(PathState& s, HWND dlg) {
    s.font.reset(KvCreateDialogFont(dlg));
    const int width = KvClientSize96(dlg).cx;
    KvBuildControls(dlg, s.font.get(), {
        {kLabelId, KvCtl::Label, GlobalText::Get(kGtSearchFolder), 15, 10, 0, 0},
        {kEditId, KvCtl::Edit, s.path->c_str(), 15, 25, width - 60, 18},
        {kBrowseId, KvCtl::Button, GlobalText::Get(kGtSearchBrowse), width - 40, 25, 25, 18},
        {IDOK, KvCtl::Button, KvOkLabel, 130, 100, 100, 20, KvRowDefault | KvRowFromWindow},
        {IDCANCEL, KvCtl::Button, KvCancelLabel, 240, 100, 100, 20, KvRowFromWindow},
    });
    KvCentreOnOwner(dlg);
    SetFocus(GetDlgItem(dlg, kEditId));
}

LRESULT Handle(PathState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (KvCancelDialog(dlg, msg, wp)) return 0;
    switch (msg) {
    case WM_CREATE:
        OnCreate(s, dlg);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            *s.path = KvGetWholeText(GetDlgItem(dlg, kEditId));
            KvEndModal(dlg, 1);
            return 0;
        }
        if (LOWORD(wp) == kBrowseId) {
            Browse(dlg);
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

}  // namespace

bool CSearchEntryPathDlg::Run(std::wstring& path, HWND parent) {
    std::wstring edited = path;
    PathState state;
    state.path = &edited;
    const KvModalScope<PathState> scope(state, L"CSearchEntryPathDlg::WndProc");
    const int result = KvDoModalScaled(L"CSearchEntryPathDlg", 0, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
                                       GlobalText::Get(kGtSearchFolder), 350, 130, parent,
                                       KvModalProc<PathState, Handle>);
    if (result == 0) return false;
    path = edited;
    return true;
}
