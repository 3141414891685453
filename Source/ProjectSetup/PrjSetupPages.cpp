// The controls of the settings dialog's four pages, filled from the project, and reading them back.
//
//   page 0  1006 allowRename, 1007 statusBar, 1009 trayMode, 1010 mouseGesture, 1008 allowAlias
//           (check boxes), 202 appMarkStyle (drop-down list)
//   page 1  1007 titleFormat (edit)
//   page 2  205 backupEnabled (check box), 207 backupDir (read-only edit), 208 browse
//   page 3  210 menuExtensionApps, 211 menuOpenWithSubmenu, 213 menuShellItems, 214 menuShellSubmenu
//           (check boxes), 216 the application list, 217 add
#include "ProjectSetup/PrjSetupState.h"

#include <shlobj.h>

#include <type_traits>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Kv/KvControls.h"
#include "Kv/KvDialog.h"
#include "Kv/KvFiles.h"
#include "Kv/KvWindow.h"

namespace prj_setup {

namespace {

constexpr int kTitleEdit = 1007;
constexpr size_t kTitleChars = 511;  // the longest title template the project file keeps
constexpr size_t kBackupDirChars = 260;  // the longest path the question box names

struct CheckField {
    int page;
    int id;
    int text;
};

const CheckField kChecks[] = {
    {0, 1006, kGtSetupAllowRename}, {0, 1007, kGtSetupStatusBar},        {0, 1009, kGtSetupTrayMode},
    {0, 1010, kGtSetupMouseGesture}, {0, 1008, kGtSetupAllowAlias},      {3, 210, kGtSetupExtensionAppsShown},
    {3, 211, kGtSetupInSubmenu},     {3, 213, kGtSetupShellItemsShown}, {3, 214, kGtSetupInSubmenu},
};

// The project field behind check box `id` of page `page`.
template <typename Visit>
void WithField(CProject& project, int page, int id, Visit visit) {
    if (page == 0) {
        switch (id) {
        case 1006: return visit(project.allowRename);
        case 1007: return visit(project.statusBar);
        case 1009: return visit(project.trayMode);
        case 1010: return visit(project.mouseGesture);
        case 1008: return visit(project.allowAlias);
        default: return;
        }
    }
    switch (id) {
    case 210: return visit(project.menuExtensionApps);
    case 211: return visit(project.menuOpenWithSubmenu);
    case 213: return visit(project.menuShellItems);
    case 214: return visit(project.menuShellSubmenu);
    default: return;
    }
}

bool Checked(HWND page, int id) {
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

const wchar_t* Text(int entry) {
    return GlobalText::Get(entry);
}

// Page 0: the five options one under the other, then the colour of the application marks.
void CreatePage0(SetupState& s, HWND page, const CProject& project) {
    KvBuildControls(page, s.font.get(), {
        {1006, KvCtl::Check, Text(kGtSetupAllowRename), 10, 10, 0, 0},
        {1007, KvCtl::Check, Text(kGtSetupStatusBar), 10, 35, 0, 0},
        {1009, KvCtl::Check, Text(kGtSetupTrayMode), 10, 60, 0, 0},
        {1010, KvCtl::Check, Text(kGtSetupMouseGesture), 10, 85, 0, 0},
        {1008, KvCtl::Check, Text(kGtSetupAllowAlias), 10, 110, 0, 0},
        {201, KvCtl::Label, Text(kGtSetupMarkStyle), 10, 160, 0, 0},
        {KvComboListId, KvCtl::Combo, L"", 10, 175, 80, 60},
    });
    HWND list = GetDlgItem(page, KvComboListId);
    for (int entry : {kGtColourRed, kGtColourGreen, kGtColourBlue})
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Text(entry)));
    // A stored style the list has no item for shows no selection, and stays unless one is chosen.
    const WPARAM shown = project.appMarkStyle < 3 ? static_cast<WPARAM>(project.appMarkStyle) : static_cast<WPARAM>(-1);
    SendMessageW(list, CB_SETCURSEL, shown, 0);
    s.markShown = list ? SendMessageW(list, CB_GETCURSEL, 0, 0) : CB_ERR;
}

void CreatePage1(SetupState& s, HWND page, const CProject& project) {
    KvBuildControls(page, s.font.get(), {
        {203, KvCtl::Label, Text(kGtSetupTitleFormat), 10, 10, 0, 0},
        {kTitleEdit, KvCtl::Edit, project.titleFormat.c_str(), 10, 25, 200, 20},
        {204, KvCtl::Label, Text(kGtSetupTitleTokens), 10, 65, 0, 0},
    });
    HWND edit = GetDlgItem(page, kTitleEdit);
    SendMessageW(edit, EM_LIMITTEXT, kTitleChars, 0);
    s.titleShown = KvGetWholeText(edit);
}

void CreatePage2(SetupState& s, HWND page, const CProject& project) {
    KvBuildControls(page, s.font.get(), {
        {kBackupEnabled, KvCtl::Check, Text(kGtSetupBackupEnabled), 10, 10, 0, 0},
        {kBackupLabel, KvCtl::Label, Text(kGtSetupBackupDir), 25, 45, 0, 0},
        {kBackupDir, KvCtl::Edit, project.backupDir.c_str(), 25, 60, 300, 20, 0, ES_READONLY},
        {kBackupBrowse, KvCtl::Button, L"...", 330, 60, 20, 20},
    });
}

// Page 3: the two groups of menu options, then the project's application list and its add button
// (sized to its caption).
void CreatePage3(SetupState& s, HWND page) {
    const int width = KvClientSize96(s.dlg).cx - 50;
    KvBuildControls(page, s.font.get(), {
        {-1, KvCtl::Group, Text(kGtSetupExtensionApps), 10, 5, width, 77},
        {210, KvCtl::Check, Text(kGtSetupExtensionAppsShown), 20, 25, 0, 0},
        {211, KvCtl::Check, Text(kGtSetupInSubmenu), 20, 50, 0, 0},
        {-1, KvCtl::Group, Text(kGtSetupShellItems), 10, 87, width, 77},
        {213, KvCtl::Check, Text(kGtSetupShellItemsShown), 25, 107, 0, 0},
        {214, KvCtl::Check, Text(kGtSetupInSubmenu), 25, 132, 0, 0},
        {215, KvCtl::Label, Text(kGtSetupAppList), 25, 172, 0, 0},
        {kAppList, KvCtl::ListView, L"", 10, 190, 287, 80, 0, LVS_SINGLESEL | LVS_SHAREIMAGELISTS | LVS_NOSORTHEADER},
        {kAppAdd, KvCtl::Button, Text(kGtSetupAppAdd), 305, 245, 0, 0},
    });
    FillAppList(s);
}

// Asks whether to create the missing backup directory `path` and creates it (with its parents) on Yes.
void OfferToCreate(HWND dlg, const std::wstring& path) {
    const std::wstring shown = path.substr(0, kBackupDirChars);
    const std::wstring text = GtFormat(kGtBoxCreateBackupDir, {GtArg(shown)});
    if (KvMessageBox(dlg, GlobalText::Get(kGtBoxCreateBackupDirTitle), text.c_str(), KvMbYesNo) != IDYES) return;
    const int result = SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS)
        KvWarningBox(L"バックアップフォルダを作成できませんでした。", path.c_str());
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// Whether an entry of the project has a backup in `directory` (an entry's backup directory holds
// its info.xml).
bool BackupsIn(const std::wstring& directory) {
    if (directory.empty()) return false;
    bool found = false;
    ForEachFileEntry(RootFolder(), [&](const CFolder&, const CEntry& entry, int) {
        if (found || entry.backupName.empty()) return;
        found = KvPathExists(directory + L"\\" + entry.backupName + L"\\info.xml");
    });
    return found;
}

// The backups of the old directory are not moved: the user is told where they stay.
void TellOldBackupsStay(HWND dlg, const std::wstring& oldDirectory) {
    const std::wstring text = GtFormat(kGtBackupDirOldKept, {GtArg(oldDirectory.substr(0, kBackupDirChars))});
    KvMessageBox(dlg, GlobalText::Get(kGtSetupTabBackup), text.c_str(), KvMbOk);
}

}  // namespace

void EnableBackupControls(SetupState& s) {
    const bool on = Checked(s.pages[2], kBackupEnabled);
    EnableWindow(GetDlgItem(s.pages[2], kBackupLabel), on);
    EnableWindow(GetDlgItem(s.pages[2], kBackupBrowse), on);
}

void CreatePageControls(SetupState& s) {
    CProject& project = Project();
    CreatePage0(s, s.pages[0], project);
    CreatePage1(s, s.pages[1], project);
    CreatePage2(s, s.pages[2], project);
    CreatePage3(s, s.pages[3]);
    for (const CheckField& check : kChecks) {
        bool on = false;
        WithField(project, check.page, check.id, [&](auto value) { on = value != 0; });
        CheckDlgButton(s.pages[check.page], check.id, on ? BST_CHECKED : BST_UNCHECKED);
    }
    CheckDlgButton(s.pages[2], kBackupEnabled, project.backupEnabled ? BST_CHECKED : BST_UNCHECKED);
    EnableBackupControls(s);
}

void ApplyPages(SetupState& s) {
    CProject& project = Project();
    for (const CheckField& check : kChecks) {
        const bool on = Checked(s.pages[check.page], check.id);
        WithField(project, check.page, check.id, [&](auto& value) {
            // A stored value other than 0 and 1 stays as long as the box keeps its state.
            if (on != (value != 0)) value = static_cast<std::remove_reference_t<decltype(value)>>(on ? 1 : 0);
        });
    }
    const LRESULT mark = SendMessageW(GetDlgItem(s.pages[0], KvComboListId), CB_GETCURSEL, 0, 0);
    if (mark >= 0 && mark != s.markShown) project.appMarkStyle = static_cast<uint16_t>(mark);
    const std::wstring title = KvGetWholeText(GetDlgItem(s.pages[1], kTitleEdit));
    if (title != s.titleShown) project.titleFormat = title;
    const bool backupOn = Checked(s.pages[2], kBackupEnabled);
    if (backupOn != (project.backupEnabled != 0)) project.backupEnabled = backupOn ? 1 : 0;
    const std::wstring oldBackupDir = project.backupDir;
    project.backupDir = KvGetItemWholeText(s.pages[2], kBackupDir);
    if (project.backupEnabled && !project.backupDir.empty() && !KvPathExists(project.backupDir))
        OfferToCreate(s.dlg, project.backupDir);
    if (!SamePath(oldBackupDir, project.backupDir) && BackupsIn(oldBackupDir)) TellOldBackupsStay(s.dlg, oldBackupDir);
    project.apps = s.apps;
}

}  // namespace prj_setup
