// Building and tracking the filer's context menu. The menu is made fresh for every opening from the
// selection and the project's options; the kind appends its own items last. A chosen filer command
// reaches the list view as a menu command; a chosen shell item runs through the shell's menu.
#include "Filer/Menu/FilerMenu.h"

#include <shlwapi.h>

#include "Filer/Kinds/FilerKind.h"
#include "Document/Folder.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Filer/KvFiler.h"
#include "Document/Project.h"

namespace {

FilerMenuTracker& Tracker() {
    static FilerMenuTracker tracker;
    return tracker;
}

void AppendItem(HMENU menu, UINT id, int textEntry, UINT flags = 0) {
    AppendMenuW(menu, MF_STRING | flags, id, GlobalText::Get(textEntry));
}

void AppendSeparator(HMENU menu) {
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
}

// A new submenu appended to `menu`, which then owns it; null when it cannot be made.
HMENU AppendSubmenu(HMENU menu, int textEntry) {
    kv::UniqueMenu submenu(CreatePopupMenu());
    if (!submenu) return nullptr;
    if (!AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu.get()), GlobalText::Get(textEntry)))
        return nullptr;
    return submenu.release();
}

void AppendColourMenu(HMENU menu) {
    HMENU colours = AppendSubmenu(menu, kGtEntryMenuColour);
    if (!colours) return;
    for (UINT colour = 0; colour <= kFilerCmdColourLast - kFilerCmdColourFirst; ++colour)
        AppendItem(colours, kFilerCmdColourFirst + colour, kGtColourNone + static_cast<int>(colour));
}

UINT CheckedIf(bool on) {
    return on ? MF_CHECKED : MF_UNCHECKED;
}

// The extension of a file name without its dot; empty when it has none.
std::wstring ExtensionOf(const std::wstring& path) {
    const wchar_t* dot = PathFindExtensionW(path.c_str());
    return (dot && *dot == L'.') ? std::wstring(dot + 1) : std::wstring();
}

void BuildEntryMenu(CKvFiler& filer, FilerMenuState& state, HMENU menu, const CEntry& entry) {
    const CProject& project = Project();
    const bool subfolder = entry.IsSubfolderEntry();
    const bool file = !subfolder && !entry.missing;
    // A missing entry keeps its path too, so that its directory can still be opened.
    if (!subfolder) state.path = entry.ResolvedPath();

    if (file) {
        AppendItem(menu, kFilerCmdOpen, kGtEntryMenuOpen);
        AppendSeparator(menu);
        HMENU openWith = menu;
        if (project.menuOpenWithSubmenu) {
            if (HMENU submenu = AppendSubmenu(menu, kGtEntryMenuOpenWith)) openWith = submenu;
        }
        if (project.menuExtensionApps) AppendOpenWithApps(state, openWith, state.path);
        AppendItem(openWith, kFilerCmdChooseApp, kGtEntryMenuOpenWith);
        if (!entry.appPath.empty()) AppendItem(menu, kFilerCmdForgetApp, kGtEntryMenuForgetApp);
        AppendSeparator(menu);
        if (project.menuShellItems &&
            AppendShellItems(state, menu, filer.ListView(), state.path, project.menuShellSubmenu != 0))
            AppendSeparator(menu);
    }
    if (!subfolder && entry.missing && !entry.offline) {
        AppendItem(menu, kFilerCmdFindMoved, kGtEntryMenuFindMoved);
        AppendSeparator(menu);
    }
    AppendItem(menu, kFilerCmdRemove, kGtRemove);
    AppendSeparator(menu);
    if (!subfolder) AppendItem(menu, kFilerCmdOpenDirectory, kGtEntryMenuOpenDirectory);
    AppendColourMenu(menu);
    // Backing up an offline entry is offered so that choosing it can say why it cannot be done.
    if (entry.offline && project.backupEnabled) {
        AppendSeparator(menu);
        AppendItem(menu, kFilerCmdBackup, kGtEntryMenuBackup);
    }
    if (!file) return;
    if (project.allowAlias) {
        AppendSeparator(menu);
        AppendItem(menu, kFilerCmdAliasOff, kGtEntryMenuShowName, CheckedIf(!entry.aliasMode));
        AppendItem(menu, kFilerCmdAliasOn, kGtEntryMenuShowAlias, CheckedIf(entry.aliasMode != 0));
    }
    AppendSeparator(menu);
    AppendItem(menu, kFilerCmdRelative, kGtEntryMenuRelative, CheckedIf(entry.relative != 0));
    AppendItem(menu, kFilerCmdAbsolute, kGtEntryMenuAbsolute, CheckedIf(!entry.relative));
    if (project.backupEnabled) {
        AppendSeparator(menu);
        AppendItem(menu, kFilerCmdBackup, kGtEntryMenuBackup);
        AppendItem(menu, kFilerCmdBackupHistory, kGtBackupHistory, entry.HasBackup() ? MF_ENABLED : MF_GRAYED);
    }
}

void BuildSelectionMenu(FilerMenuState& state, HMENU menu, const std::vector<CEntry*>& entries) {
    const CProject& project = Project();
    // Taken from the file's own name rather than its label, which an alias or hidden extensions
    // change. A subfolder contributes an empty extension, which no application lists.
    std::vector<std::wstring> extensions;
    for (const CEntry* entry : entries) {
        std::wstring extension = entry->IsSubfolderEntry() ? std::wstring() : ExtensionOf(entry->ResolvedPath());
        bool known = false;
        for (const std::wstring& seen : extensions) known = known || seen == extension;
        if (!known) extensions.push_back(std::move(extension));
    }
    if (AppendProjectApps(state, menu, extensions) > 0) AppendSeparator(menu);
    AppendItem(menu, kFilerCmdRemove, kGtRemove);
    AppendColourMenu(menu);
    if (project.allowAlias) {
        AppendSeparator(menu);
        AppendItem(menu, kFilerCmdAliasOff, kGtEntryMenuShowName);
        AppendItem(menu, kFilerCmdAliasOn, kGtEntryMenuShowAlias);
    }
    AppendSeparator(menu);
    AppendItem(menu, kFilerCmdRelative, kGtEntryMenuRelative);
    AppendItem(menu, kFilerCmdAbsolute, kGtEntryMenuAbsolute);
    if (project.backupEnabled) {
        AppendSeparator(menu);
        AppendItem(menu, kFilerCmdBackupAll, kGtEntryMenuBackup);
    }
}

}  // namespace

void FilerMenuState::Reset() {
    ReleaseOpenMenu();
    path.clear();
    apps.Clear();
}

void FilerMenuState::ReleaseOpenMenu() {
    apps.ReleaseDrawing();
    shellMenu3.reset();
    shellMenu2.reset();
    shellMenu.reset();
}

void BuildFilerMenu(CKvFiler& filer, FilerMenuState& state, HMENU menu) {
    const std::vector<CEntry*> entries = filer.SelectedEntries();
    if (entries.size() == 1)
        BuildEntryMenu(filer, state, menu, *entries.front());
    else if (entries.size() > 1)
        BuildSelectionMenu(state, menu, entries);
}

void CKvFiler::ShowContextMenu(const POINT* where) {
    if (!listView_ || !current_) return;
    FilerMenuState& state = MenuState();
    if (state.tracking) return;
    state.Reset();
    kv::UniqueMenu menu(CreatePopupMenu());
    if (!menu) return;
    BuildFilerMenu(*this, state, menu.get());
    const int selected = static_cast<int>(SendMessageW(listView_, LVM_GETSELECTEDCOUNT, 0, 0));
    if (kind_) kind_->AddMenuItems(menu.get(), selected);

    POINT at{};
    if (where)
        at = *where;
    else
        GetCursorPos(&at);
    state.tracking = true;
    const UINT id = static_cast<UINT>(TrackFilerMenu(menu.get(), listView_, at));
    state.tracking = false;
    if (id >= kShellFirst) InvokeShellItem(state, listView_, id);
    state.ReleaseOpenMenu();
    menu.reset();
    if (id > 0 && id < kShellFirst) SendMessageW(listView_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

int TrackFilerMenu(HMENU menu, HWND owner, POINT at) {
    if (Tracker()) return Tracker()(menu);
    if (GetMenuItemCount(menu) <= 0) return 0;
    return static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr));
}

void SetFilerMenuTracker(FilerMenuTracker tracker) {
    Tracker() = std::move(tracker);
}
