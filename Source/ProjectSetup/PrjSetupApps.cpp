// The project's application list on the settings dialog's last page: rows of the working copy,
// adding a program, editing one with the application editor, deleting one.
#include "ProjectSetup/PrjSetupState.h"

#include <commctrl.h>

#include "Choosers/MulSelAppSelectDlg.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvDialog.h"
#include "Kv/KvDpi.h"
#include "Kv/KvFileDialogs.h"

namespace prj_setup {

namespace {

std::wstring ExtensionsText(const ProjectApp& app) {
    if (app.extensions.empty()) return GlobalText::Get(kGtSetupNoExtensions);
    std::wstring text;
    for (const std::wstring& extension : app.extensions) text += extension + L" ";
    return text;
}

void SetCell(HWND list, int row, int column, std::wstring text) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = &text[0];
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void InsertRow(HWND list, int row, const ProjectApp& app) {
    std::wstring path = app.path;
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = &path[0];
    const int at = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (at >= 0) SetCell(list, at, 1, ExtensionsText(app));
}

void InsertColumn(HWND list, int index, int width, const wchar_t* title) {
    std::wstring text = title;
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = width;
    column.pszText = &text[0];
    SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

int SelectedRow(const SetupState& s) {
    HWND list = AppList(s);
    return list ? static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
}

}  // namespace

HWND AppList(const SetupState& s) {
    return GetDlgItem(s.pages[3], kAppList);
}

void FillAppList(SetupState& s) {
    HWND list = AppList(s);
    if (!list) return;
    RECT rc{};
    GetClientRect(list, &rc);
    const int inner = rc.right - KvScale(10, KvDpiOfWindow(list));
    InsertColumn(list, 0, inner * 3 / 4, GlobalText::Get(kGtColumnPath));
    InsertColumn(list, 1, inner / 4, GlobalText::Get(kGtSetupColumnExtensions));
    for (size_t i = 0; i < s.apps.size(); ++i) InsertRow(list, static_cast<int>(i), s.apps[i]);
}

void AddApplication(SetupState& s) {
    const wchar_t* exe = KvChooseExecutable(s.dlg);
    if (!exe) return;
    ProjectApp app;
    app.path = exe;
    s.apps.push_back(app);
    InsertRow(AppList(s), static_cast<int>(s.apps.size() - 1), app);
}

void EditSelectedApplication(SetupState& s) {
    const int row = SelectedRow(s);
    if (row < 0 || static_cast<size_t>(row) >= s.apps.size()) return;
    ProjectApp& app = s.apps[row];
    if (!CMulSelAppSelectDlg::Run(app, s.dlg, GlobalText::Get(kGtAppEditorTitle))) return;
    HWND list = AppList(s);
    SetCell(list, row, 0, app.path);
    SetCell(list, row, 1, ExtensionsText(app));
    InvalidateRect(list, nullptr, TRUE);
}

void DeleteSelectedApplication(SetupState& s) {
    const int row = SelectedRow(s);
    if (row < 0 || static_cast<size_t>(row) >= s.apps.size()) return;
    SendMessageW(AppList(s), LVM_DELETEITEM, row, 0);
    s.apps.erase(s.apps.begin() + row);
}

void OnAppListKey(SetupState& s, WORD key) {
    if (key == VK_DELETE) DeleteSelectedApplication(s);
    if (key == VK_F2) EditSelectedApplication(s);
    // The menu key opens the menu on its press; the open menu takes its release.
    if (key == VK_APPS) ShowAppMenu(s, KvContextMenuPoint(AppList(s), -1));
}

void ShowAppMenu(SetupState& s, POINT at) {
    if (SelectedRow(s) < 0) return;
    kv::UniqueMenu menu(CreatePopupMenu());
    if (!menu) return;
    AppendMenuW(menu.get(), MF_STRING, kAppEdit, GlobalText::Get(kGtSetupAppEdit));
    AppendMenuW(menu.get(), MF_STRING, kAppDelete, GlobalText::Get(kGtSetupAppDelete));
    const int command = TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, s.dlg, nullptr);
    if (command == kAppEdit) EditSelectedApplication(s);
    if (command == kAppDelete) DeleteSelectedApplication(s);
}

}  // namespace prj_setup
