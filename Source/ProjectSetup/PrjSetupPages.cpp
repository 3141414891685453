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
    int x;
    int y;
};

const CheckField kChecks[] = {
    {0, 1006, kGtSetupAllowRename, 10, 10},        {0, 1007, kGtSetupStatusBar, 10, 30},
    {0, 1009, kGtSetupTrayMode, 10, 50},           {0, 1010, kGtSetupMouseGesture, 10, 70},
    {0, 1008, kGtSetupAllowAlias, 10, 90},         {3, 210, kGtSetupExtensionAppsShown, 20, 30},
    {3, 211, kGtSetupInSubmenu, 20, 50},           {3, 213, kGtSetupShellItemsShown, 25, 110},
    {3, 214, kGtSetupInSubmenu, 25, 130},
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

void CreatePage0(SetupState& s, HWND page, const CProject& project) {
    KvCreateLabel(GlobalText::Get(kGtSetupMarkStyle), 10, 160, page, 201, s.font.get());
    const std::vector<std::wstring> marks = {GlobalText::Get(kGtColourRed), GlobalText::Get(kGtColourGreen),
                                             GlobalText::Get(kGtColourBlue)};
    HWND list = KvCreateComboList(s.font.get(), marks, project.appMarkStyle, page);
    // A stored style the list has no item for shows no selection, and stays unless one is chosen.
    if (list && project.appMarkStyle >= marks.size()) SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    s.markShown = list ? SendMessageW(list, CB_GETCURSEL, 0, 0) : CB_ERR;
}

void CreatePage1(SetupState& s, HWND page, const CProject& project) {
    KvCreateLabel(GlobalText::Get(kGtSetupTitleFormat), 10, 10, page, 203, s.font.get());
    HWND edit = KvCreateEdit(s.font.get(), WS_TABSTOP, project.titleFormat.c_str(), 10, 25, 200, 20, page, kTitleEdit);
    if (edit) SendMessageW(edit, EM_LIMITTEXT, kTitleChars, 0);
    s.titleShown = KvGetWholeText(edit);
    KvCreateLabel(GlobalText::Get(kGtSetupTitleTokens), 10, 65, page, 204, s.font.get());
}

void CreatePage2(SetupState& s, HWND page, const CProject& project) {
    KvCreateCheckBox(GlobalText::Get(kGtSetupBackupEnabled), 10, 10, page, kBackupEnabled, s.font.get());
    CheckDlgButton(page, kBackupEnabled, project.backupEnabled ? BST_CHECKED : BST_UNCHECKED);
    KvCreateLabel(GlobalText::Get(kGtSetupBackupDir), 25, 45, page, kBackupLabel, s.font.get());
    KvCreateEdit(s.font.get(), ES_READONLY, project.backupDir.c_str(), 25, 60, 300, 20, page, kBackupDir);
    KvCreateButton(L"...", 330, 60, 20, 20, page, kBackupBrowse, s.font.get());
    EnableBackupControls(s);
}

void CreatePage3(SetupState& s, HWND page) {
    const int width = KvClientSize(s.dlg).cx - 50;
    KvCreateGroupBox(GlobalText::Get(kGtSetupExtensionApps), 10, 10, width, 70, page, s.font.get());
    KvCreateGroupBox(GlobalText::Get(kGtSetupShellItems), 10, 90, width, 70, page, s.font.get());
    KvCreateLabel(GlobalText::Get(kGtSetupAppList), 25, 175, page, 215, s.font.get());
    CreateAppList(s, page);
    // Sized to its caption: text width + 10, text height + 5.
    const wchar_t* caption = GlobalText::Get(kGtSetupAppAdd);
    HWND add = KvCreateButton(caption, 305, 245, 0, 0, page, kAppAdd, s.font.get());
    if (HDC dc = GetDC(add)) {
        HGDIOBJ old = SelectObject(dc, s.font.get());
        const SIZE size = KvMeasureText(dc, caption);
        SelectObject(dc, old);
        ReleaseDC(add, dc);
        KvResizeWindow(add, size.cx + 10, size.cy + 5);
    }
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
    for (const CheckField& check : kChecks) {
        HWND page = s.pages[check.page];
        KvCreateCheckBox(GlobalText::Get(check.text), check.x, check.y, page, check.id, s.font.get());
        bool on = false;
        WithField(project, check.page, check.id, [&](auto value) { on = value != 0; });
        CheckDlgButton(page, check.id, on ? BST_CHECKED : BST_UNCHECKED);
    }
    CreatePage0(s, s.pages[0], project);
    CreatePage1(s, s.pages[1], project);
    CreatePage2(s, s.pages[2], project);
    CreatePage3(s, s.pages[3]);
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
