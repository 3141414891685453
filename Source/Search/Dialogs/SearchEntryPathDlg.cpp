// The small dialog asking for one search folder path.
#include "Search/Dialogs/SearchEntryPathDlg.h"

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvControls.h"
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

LRESULT Handle(PathState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE: {
        s.font.reset(KvCreateDefaultFont());
        HFONT font = s.font.get();
        const int width = KvClientSize(dlg).cx;
        KvCreateLabel(GlobalText::Get(kGtSearchFolder), 15, 10, dlg, kLabelId, font);
        HWND edit = KvCreateEdit(font, WS_TABSTOP, s.path->c_str(), 15, 25, width - 60, 18, dlg, kEditId);
        KvCreateButton(GlobalText::Get(kGtSearchBrowse), width - 40, 25, 25, 18, dlg, kBrowseId, font);
        const KvSystemInfo& info = KvGetSystemInfo();
        KvCreateButton(KvOkLabel, 130 - info.frameWidth2, 100 - info.frameCaptionHeight, 100, 20, dlg, IDOK,
                                font);
        KvCreateButton(KvCancelLabel, 240 - info.frameWidth2, 100 - info.frameCaptionHeight, 100, 20, dlg,
                                IDCANCEL, font);
        KvCentreOnOwner(dlg);
        SetFocus(edit);
        return 0;
    }
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK:
            *s.path = KvGetWholeText(GetDlgItem(dlg, kEditId));
            KvEndModal(dlg, 1);
            return 0;
        case IDCANCEL:
            KvEndModal(dlg, 0);
            return 0;
        case kBrowseId:
            Browse(dlg);
            return 0;
        default:
            break;
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

bool CSearchEntryPathDlg::Run(std::wstring& path, HWND parent) {
    std::wstring edited = path;
    PathState state;
    state.path = &edited;
    const KvModalScope<PathState> scope(state, L"CSearchEntryPathDlg::WndProc");
    const int result = KvDoModal(L"CSearchEntryPathDlg", 0, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
                                 GlobalText::Get(kGtSearchFolder), 350, 130, parent, KvModalProc<PathState, Handle>);
    if (result == 0) return false;
    path = edited;
    return true;
}
