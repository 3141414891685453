// The application chooser of one entry (see AppSelectDlg.h).
//
// Controls: list 216 (the registered programs; each row's item data is its place in `paths`; rows
// start with the program's file name and a placeholder icon, and take the shell's name and icon
// from the describing thread, or go when the shell cannot find the program), edit 200
// (the program's path), check box 201 (store it for the entry), button 202 (browse), button 203
// (open once), OK (1, enabled only while 201 is checked) and Cancel (2).
#include "Choosers/AppSelectDlg.h"

#include <commctrl.h>

#include <vector>

#include "Choosers/ChooserParts.h"
#include "Choosers/ProgramDescriber.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Kv/KvControls.h"
#include "Kv/KvDialog.h"
#include "Kv/KvDpi.h"
#include "Kv/KvFileDialogs.h"
#include "Kv/KvHandles.h"
#include "Kv/KvModalState.h"
#include "Kv/KvWindow.h"
#include "Shell/OpenWith.h"

namespace {

constexpr int kPathEdit = 200;
constexpr int kRememberBox = 201;
constexpr int kBrowseButton = 202;
constexpr int kOpenButton = 203;
constexpr int kListId = 216;
constexpr int kWidth = 400;
constexpr int kHeight = 485;

constexpr int kButtonsTop = 455;  // from the window's outer corner, above its small caption

// Posted by the describing thread when answers wait.
constexpr UINT kMsgProgramsDescribed = WM_APP + 0x21;

struct AppSelectState {
    HWND dlg = nullptr;
    CEntry* entry = nullptr;
    kv::UniqueFont font;
    HWND list = nullptr;
    std::vector<std::wstring> paths;  // every program listed at first; a row keeps its place here
    ProgramDescriber describer;
    std::wstring chosen;
};

std::wstring ExtensionOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return std::wstring();
    return path.substr(dot + 1);
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The user's open-with programs of the extension, then every registered application; a program
// found in both is listed twice, as the two lists are shown one after the other. Nothing when the
// user has no open-with list for the extension.
std::vector<std::wstring> ProgramsFor(const std::wstring& extension) {
    std::vector<std::wstring> programs;
    if (!CollectOpenWithApps(programs, extension.c_str())) return programs;
    std::vector<std::wstring> all;
    CollectAllApps(all);
    programs.insert(programs.end(), all.begin(), all.end());
    return programs;
}

void FillList(AppSelectState& s) {
    if (!s.list) return;
    s.paths = ProgramsFor(ExtensionOf(s.entry->ResolvedPath()));
    const int placeholder = chooser_ui::PlaceholderProgramIcon();
    for (size_t index = 0; index < s.paths.size(); ++index) {
        std::wstring name = FileNameOf(s.paths[index]);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = static_cast<int>(index);
        item.pszText = &name[0];
        item.iImage = placeholder;
        item.lParam = static_cast<LPARAM>(index);
        SendMessageW(s.list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    if (!s.paths.empty()) s.describer.Start(s.paths, s.dlg, kMsgProgramsDescribed);
}

// Puts the shell's names and icons into their rows; a program the shell cannot find leaves the list.
void OnProgramsDescribed(AppSelectState& s) {
    for (ProgramDescriber::Answer& answer : s.describer.TakeAnswers()) {
        if (!s.list) return;
        LVFINDINFOW find{};
        find.flags = LVFI_PARAM;
        find.lParam = static_cast<LPARAM>(answer.index);
        const int row = static_cast<int>(SendMessageW(s.list, LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                                      reinterpret_cast<LPARAM>(&find)));
        if (row < 0) continue;
        if (!answer.found) {
            SendMessageW(s.list, LVM_DELETEITEM, row, 0);
            continue;
        }
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = row;
        item.pszText = &answer.name[0];
        item.iImage = answer.icon;
        SendMessageW(s.list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void SetUpList(AppSelectState& s) {
    s.list = GetDlgItem(s.dlg, kListId);
    if (!s.list) return;
    SendMessageW(s.list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(chooser_ui::SystemSmallImages()));
    RECT rc{};
    GetClientRect(s.list, &rc);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = rc.right - KvScale(20, KvDpiOfWindow(s.list));
    std::wstring title = GlobalText::Get(kGtChooserColumnProgram);
    column.pszText = &title[0];
    SendMessageW(s.list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    FillList(s);
}

void OnCreate(AppSelectState& s, HWND dlg) {
    s.dlg = dlg;
    s.font.reset(KvCreateDialogFont(dlg));
    const int width = KvClientSize96(dlg).cx;
    const std::wstring target = GlobalText::Get(kGtChooserFileLabel) + FileNameOf(s.entry->ResolvedPath());
    KvBuildControls(dlg, s.font.get(), {
        {-1, KvCtl::Label, GlobalText::Get(kGtChooserPrompt), 15, 10, 0, 0},
        {-1, KvCtl::Label, target.c_str(), 20, 30, 0, 0},
        {kListId, KvCtl::ListView, L"", 15, 55, width - 30, 210, 0,
         LVS_SINGLESEL | LVS_SHAREIMAGELISTS | LVS_NOSORTHEADER},
        {-1, KvCtl::Label, GlobalText::Get(kGtChooserPathLabel), 15, 275, 0, 0},
        {kPathEdit, KvCtl::Edit, GlobalText::Get(kGtChooserPathInitial), 15, 290, width - 60, 18},
        {kBrowseButton, KvCtl::Button, GlobalText::Get(kGtChooserBrowse), width - 40, 290, 25, 18},
        {-1, KvCtl::Group, GlobalText::Get(kGtChooserGroup), 15, 315, width - 30, 95},
        {kRememberBox, KvCtl::Check, GlobalText::Get(kGtChooserRemember), 25, 335, 0, 0},
        {kOpenButton, KvCtl::Button, GlobalText::Get(kGtChooserOpenOnce), 70, kButtonsTop, 100, 20, KvRowFromWindow},
        {IDOK, KvCtl::Button, GlobalText::Get(kGtChooserOk), 180, kButtonsTop, 100, 20,
         KvRowDefault | KvRowDisabled | KvRowFromWindow},
        {IDCANCEL, KvCtl::Button, KvCancelLabel, 290, kButtonsTop, 100, 20, KvRowFromWindow},
    });
    SetUpList(s);
    KvCentreOnOwner(dlg);
}

void OnPaint(AppSelectState& s, HWND dlg) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(dlg, &ps);
    const UINT dpi = KvDpiOfWindow(dlg);
    RECT rc{KvScale(25, dpi), KvScale(360, dpi), KvClientSize(dlg).cx - KvScale(25, dpi), KvScale(450, dpi)};
    HGDIOBJ old = SelectObject(dc, s.font.get());
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, GlobalText::Get(kGtChooserExplanation), -1, &rc, DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    EndPaint(dlg, &ps);
}

void Finish(AppSelectState& s, HWND dlg, int result) {
    s.chosen = KvGetItemWholeText(dlg, kPathEdit);
    if (IsDlgButtonChecked(dlg, kRememberBox) == BST_CHECKED) {
        result |= kAppSelectStored;
        s.entry->appPath = s.chosen;
    }
    KvEndModal(dlg, result);
}

bool OnNotify(AppSelectState& s, HWND dlg, const NMHDR& hdr) {
    if (hdr.hwndFrom != s.list || !s.list) return false;
    if (hdr.code == LVN_ITEMCHANGED) {
        const NMLISTVIEW& change = reinterpret_cast<const NMLISTVIEW&>(hdr);
        if (!(change.uNewState & LVIS_SELECTED) || (change.uOldState & LVIS_SELECTED) || change.iItem < 0) return true;
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = change.iItem;
        if (SendMessageW(s.list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) &&
            static_cast<size_t>(item.lParam) < s.paths.size())
            SetDlgItemTextW(dlg, kPathEdit, s.paths[static_cast<size_t>(item.lParam)].c_str());
        return true;
    }
    if (hdr.code == NM_DBLCLK) {
        const NMITEMACTIVATE& click = reinterpret_cast<const NMITEMACTIVATE&>(hdr);
        if (click.iItem < 0) return true;
        // With the box cleared OK is disabled and would change nothing: the double click opens once.
        Finish(s, dlg, IsWindowEnabled(GetDlgItem(dlg, IDOK)) ? kAppSelectOk : kAppSelectOpen);
        return true;
    }
    return false;
}

LRESULT Handle(AppSelectState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (KvCancelDialog(dlg, msg, wp)) return 0;
    switch (msg) {
    case WM_CREATE:
        OnCreate(s, dlg);
        return 0;
    case WM_PAINT:
        OnPaint(s, dlg);
        return 0;
    case WM_NOTIFY:
        if (OnNotify(s, dlg, *reinterpret_cast<const NMHDR*>(lp))) return 0;
        break;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case kBrowseButton:
            if (const wchar_t* exe = KvChooseExecutable(dlg)) SetDlgItemTextW(dlg, kPathEdit, exe);
            return 0;
        case kRememberBox:
            EnableWindow(GetDlgItem(dlg, IDOK), IsDlgButtonChecked(dlg, kRememberBox) == BST_CHECKED);
            return 0;
        case IDOK:
            if (IsWindowEnabled(GetDlgItem(dlg, IDOK))) Finish(s, dlg, kAppSelectOk);
            return 0;
        case kOpenButton:
            Finish(s, dlg, kAppSelectOpen);
            return 0;
        default:
            break;
        }
        break;
    case kMsgProgramsDescribed:
        OnProgramsDescribed(s);
        return 0;
    case WM_DESTROY:
        s.describer.Close();
        s.list = nullptr;
        s.font.reset();
        return 0;
    default:
        break;
    }
    return DefDlgProcW(dlg, msg, wp, lp);
}

}  // namespace

int CKvAppSelectDlg::Run(CEntry& entry, HWND parent, const wchar_t* title, std::wstring& chosen) {
    AppSelectState state;
    state.entry = &entry;
    const KvModalScope<AppSelectState> scope(state, L"CKvAppSelectDlg::WndProc");
    const int result =
        KvDoModalScaled(L"CKvAppSelectDlg", WS_EX_TOOLWINDOW, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, title,
                        kWidth, kHeight, parent, KvModalProc<AppSelectState, Handle>);
    if (result != 0) chosen = state.chosen;
    return result;
}
