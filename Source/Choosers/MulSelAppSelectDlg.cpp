// The editor of one application of the project's list (see MulSelAppSelectDlg.h). Edit 200 holds
// the path, edit 201 the extensions (each followed by one blank), edit 202 the caption.
#include "Choosers/MulSelAppSelectDlg.h"

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvControls.h"
#include "Kv/KvDialog.h"
#include "Kv/KvHandles.h"
#include "Kv/KvModalState.h"
#include "Kv/KvWindow.h"

namespace {

constexpr int kPathEdit = 200;
constexpr int kExtensionsEdit = 201;
constexpr int kCaptionEdit = 202;

struct MulSelState {
    ProjectApp* app = nullptr;
    kv::UniqueFont font;
};

void OnCreate(MulSelState& s, HWND dlg) {
    s.font.reset(KvCreateDialogFont(dlg));
    std::wstring extensions;
    for (const std::wstring& extension : s.app->extensions) extensions += extension + L" ";
    KvBuildControls(dlg, s.font.get(), {
        {-1, KvCtl::Label, GlobalText::Get(kGtAppEditorPath), 10, 10, 0, 0},
        {kPathEdit, KvCtl::Edit, s.app->path.c_str(), 10, 25, 250, 20},
        {-1, KvCtl::Label, GlobalText::Get(kGtAppEditorExtensions), 10, 60, 0, 0},
        {kExtensionsEdit, KvCtl::Edit, extensions.c_str(), 10, 75, 150, 20},
        {-1, KvCtl::Label, GlobalText::Get(kGtAppEditorCaption), 10, 110, 0, 0},
        {kCaptionEdit, KvCtl::Edit, s.app->caption.c_str(), 10, 125, 150, 20},
        {IDOK, KvCtl::Button, KvOkLabel, 180, 230, 100, 20, KvRowDefault | KvRowFromWindow},
        {IDCANCEL, KvCtl::Button, KvCancelLabel, 290, 230, 100, 20, KvRowFromWindow},
    });
    KvCentreOnOwner(dlg);
}

LRESULT Handle(MulSelState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (KvCancelDialog(dlg, msg, wp)) return 0;
    switch (msg) {
    case WM_CREATE:
        OnCreate(s, dlg);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wp) != IDOK) break;
        s.app->path = KvGetItemWholeText(dlg, kPathEdit);
        s.app->caption = KvGetItemWholeText(dlg, kCaptionEdit);
        s.app->extensions = SplitExtensions(KvGetItemWholeText(dlg, kExtensionsEdit));
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

std::vector<std::wstring> SplitExtensions(const std::wstring& text) {
    std::vector<std::wstring> pieces;
    size_t begin = 0;
    while (begin <= text.size()) {
        size_t end = text.find(L' ', begin);
        if (end == std::wstring::npos) end = text.size();
        if (end > begin) pieces.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return pieces;
}

bool CMulSelAppSelectDlg::Run(ProjectApp& app, HWND parent, const wchar_t* title) {
    ProjectApp edited = app;
    MulSelState state;
    state.app = &edited;
    const KvModalScope<MulSelState> scope(state, L"CMulSelAppSelectDlg::WndProc");
    const int result = KvDoModalScaled(L"CMulSelAppSelectDlg", WS_EX_DLGMODALFRAME,
                                       WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, title, 400, 260, parent,
                                       KvModalProc<MulSelState, Handle>);
    if (result == 0) return false;
    app = edited;
    return true;
}
