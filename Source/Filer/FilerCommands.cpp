// The context-menu commands of the filer as the list view receives them: opening, removing,
// choosing and forgetting an entry's application, the containing directory, relative and absolute
// paths, alias display, colour labels, backups, and opening with a listed application.
#include "Filer/KvFiler.h"

#include "Filer/FilerDialogs.h"
#include "Filer/FilerFollow.h"
#include "Filer/Menu/FilerMenu.h"
#include "Document/Folder.h"
#include "Shell/ShellRun.h"

namespace {

bool IsFileEntry(const CEntry& entry) {
    return !entry.IsSubfolderEntry() && !entry.missing;
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

// The directory part of `path`; a drive's root keeps its backslash. Empty when there is none.
std::wstring DirectoryOf(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return std::wstring();
    std::wstring directory = path.substr(0, separator);
    if (!directory.empty() && directory.back() == L':') directory += L'\\';
    return directory;
}

}  // namespace

void CKvFiler::RunMenuCommand(int id) {
    if (!current_ || !listView_) return;
    FilerMenuState& menu = MenuState();
    const UINT command = static_cast<UINT>(id);

    if (command >= kFilerCmdEntryApp && command < kFilerCmdEntryApp + kMaxEntryApps) {
        const std::wstring* program = menu.apps.ProgramOf(command);
        if (program && !menu.path.empty()) ShellOpen(listView_, *program, Quoted(menu.path));
        return;
    }
    if (command >= kFilerCmdSelectionApp && command < kFilerCmdSelectionApp + kMaxSelectionApps) {
        const std::wstring* program = menu.apps.ProgramOf(command);
        if (!program) return;
        std::wstring parameters;
        for (const CEntry* entry : SelectedEntries())
            if (!entry->IsSubfolderEntry()) parameters += Quoted(entry->ResolvedPath()) + L" ";
        if (!parameters.empty()) ShellOpen(listView_, *program, parameters);
        return;
    }
    if (command >= kFilerCmdColourFirst && command <= kFilerCmdColourLast) {
        for (CEntry* entry : SelectedEntries()) entry->colour = static_cast<uint8_t>(command - kFilerCmdColourFirst);
        InvalidateRect(listView_, nullptr, TRUE);
        return;
    }

    const int first = FirstSelected();
    CEntry* entry = EntryAtIndex(first);
    switch (command) {
    case kFilerCmdOpen:
        if (entry) OpenEntry(first);
        break;
    case kFilerCmdRemove:
        RemoveSelected(true);
        break;
    case kFilerCmdChooseApp:
        if (entry && IsFileEntry(*entry) && ChooseApplicationFor(listView_, *entry)) ShowFolder(current_, false);
        break;
    case kFilerCmdForgetApp:
        if (!entry) break;
        entry->appPath.clear();
        ShowFolder(current_, false);
        break;
    case kFilerCmdOpenDirectory: {
        const std::wstring directory = DirectoryOf(menu.path);
        if (!directory.empty()) ShellOpen(listView_, directory, L"");
        break;
    }
    case kFilerCmdRelative:
    case kFilerCmdAbsolute:
        for (CEntry* selected : SelectedEntries()) {
            if (command == kFilerCmdRelative)
                selected->MakeRelative();
            else
                selected->MakeAbsolute();
        }
        ShowFolder(current_, false);
        break;
    case kFilerCmdAliasOn:
    case kFilerCmdAliasOff: {
        const std::vector<int> indexes = SelectedIndexes();
        const std::vector<CEntry*> entries = SelectedEntries();
        for (size_t i = 0; i < entries.size(); ++i) {
            CEntry& selected = *entries[i];
            // A subfolder shows its name and a missing entry its file name whatever the mode.
            if (selected.IsSubfolderEntry()) continue;
            selected.aliasMode = command == kFilerCmdAliasOn ? 1 : 0;
            if (selected.missing) continue;
            selected.EditDisplay().displayText = selected.aliasMode ? selected.ShownName() : selected.name.str();
            UpdateItem(indexes[i]);
        }
        InvalidateRect(listView_, nullptr, TRUE);
        break;
    }
    case kFilerCmdBackup:
        if (entry && RefusedAsOffline(listView_, *entry)) break;
        if (entry && IsFileEntry(*entry)) BackupEntry(listView_, *entry);
        break;
    case kFilerCmdBackupAll: {
        std::vector<CEntry*> files;
        for (CEntry* selected : SelectedEntries()) {
            if (RefusedAsOffline(listView_, *selected)) return;
            if (IsFileEntry(*selected)) files.push_back(selected);
        }
        if (!files.empty()) BackupEntries(listView_, files);
        break;
    }
    case kFilerCmdFindMoved:
        if (entry) FindMovedEntry(*entry);
        break;
    case kFilerCmdBackupHistory:
        if (entry && IsFileEntry(*entry)) ShowBackupHistory(listView_, *entry);
        break;
    default:
        break;
    }
}
