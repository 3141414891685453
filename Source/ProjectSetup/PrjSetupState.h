// The state of the open project settings dialog, shared by its units (creation and commands in
// PrjSetupDlg.cpp, the pages' controls in PrjSetupPages.cpp, the application list in
// PrjSetupApps.cpp).
#pragma once

#include <windows.h>

#include <vector>

#include "Document/Project.h"
#include "Kv/KvHandles.h"

namespace prj_setup {

constexpr int kPageCount = 4;
constexpr int kTab = 200;
constexpr int kAppList = 216;
constexpr int kAppAdd = 217;
constexpr int kAppDelete = 218;
constexpr int kAppEdit = 219;
constexpr int kBackupEnabled = 205;
constexpr int kBackupLabel = 206;
constexpr int kBackupDir = 207;
constexpr int kBackupBrowse = 208;

struct SetupState {
    HWND dlg = nullptr;
    kv::UniqueFont font;
    HWND pages[kPageCount] = {};
    std::vector<ProjectApp> apps;  // the working copy of the project's application list
    // What the title edit and the mark list showed at the start: OK writes a field only when the
    // user changed its control, so a stored value the control cannot show is kept.
    std::wstring titleShown;
    LRESULT markShown = CB_ERR;
};

// Creates the controls of every page from the project's options.
void CreatePageControls(SetupState& s);
// Enables the backup directory's label and browse button exactly while the backup box is checked.
void EnableBackupControls(SetupState& s);
// Reads the controls back into the project (asking to create a missing backup directory).
void ApplyPages(SetupState& s);

// The application list (216) of page 3.
HWND AppList(const SetupState& s);
// The columns and rows of the list the page's table made.
void FillAppList(SetupState& s);
void AddApplication(SetupState& s);
void EditSelectedApplication(SetupState& s);
void DeleteSelectedApplication(SetupState& s);
// Delete removes the selected row, F2 edits it, the menu key opens its menu.
void OnAppListKey(SetupState& s, WORD key);
// The menu of the selected row (edit, delete) at the screen point `at`.
void ShowAppMenu(SetupState& s, POINT at);

}  // namespace prj_setup
