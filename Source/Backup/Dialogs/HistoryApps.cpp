// Opening history rows with applications: the double click, and the application items of the
// context menu (the system's open-with list for one row, the project's applications for several).
// A version is never handed to a program itself, which might change it: the program gets a
// read-only copy in the temporary folder, named after the entry with the version number, so that
// it still knows the kind of file by its extension.
#include "Backup/Dialogs/HistoryState.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "Backup/Store/BackupStore.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "Kv/KvFiles.h"
#include "Kv/KvWindow.h"
#include "Shell/ShellRun.h"

namespace backup_ui {
namespace {

std::wstring ExtensionOf(const std::wstring& path) {
    const wchar_t* dot = PathFindExtensionW(path.c_str());
    return dot && *dot == L'.' ? std::wstring(dot + 1) : std::wstring();
}

bool Fits(const ProjectApp& app, const std::wstring& extension) {
    if (app.extensions.empty()) return true;
    for (const std::wstring& listed : app.extensions)
        if (lstrcmpiW(listed.c_str(), extension.c_str()) == 0) return true;
    return false;
}

// What a program is given for a row: the entry's file, or a read-only copy of the version made for
// the occasion ("<stem> (v<n>)<extension>" in the folder "TessaraFolder" of the temporary folder).
// Empty after a message when the copy cannot be made.
std::wstring OpenablePath(const HistoryState& s, HWND dlg, const HistoryRow& row) {
    if (row.version < 0) return s.entry->ResolvedPath();
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring name = s.entry->name;
    const wchar_t* dot = PathFindExtensionW(name.c_str());
    const std::wstring stem = name.substr(0, static_cast<size_t>(dot - name.c_str()));
    const std::wstring folder = std::wstring(temp, length) + L"TessaraFolder\\";
    const std::wstring copy =
        folder + backup::SafeDirectoryName(stem + L" (v" + std::to_wstring(row.version) + L")" + dot);
    CreateDirectoryW(folder.c_str(), nullptr);
    // An earlier copy of the same version was made read-only and may have been opened since.
    SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (length == 0 || length > MAX_PATH || !KvCopyFileReplacing(RowPath(s, row), copy) ||
        !SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_READONLY)) {
        KvMessageBox(dlg, GlobalText::Get(kGtBackupHistory), GlobalText::Get(kGtHistoryFileError), KvMbOk);
        return std::wstring();
    }
    return copy;
}

std::vector<int> SelectedRows(const HistoryState& s) {
    std::vector<int> rows;
    for (int i = ListView_GetNextItem(s.list, -1, LVNI_SELECTED); i >= 0;
         i = ListView_GetNextItem(s.list, i, LVNI_SELECTED))
        if (static_cast<size_t>(i) < s.rows.size()) rows.push_back(i);
    return rows;
}

}  // namespace

void AppendRowApps(HistoryState& s, HMENU menu, bool oneRow) {
    s.menuApps.Clear();
    if (oneRow) {
        s.menuApps.AppendOpenWith(menu, kHistoryOpenWith, kHistoryProjectApp - kHistoryOpenWith,
                                  s.entry->ResolvedPath());
        return;
    }
    const std::wstring extension = ExtensionOf(s.entry->name);
    UINT id = kHistoryProjectApp;
    for (const ProjectApp& app : Project().apps) {
        if (id >= kHistoryProjectAppEnd) break;
        if (Fits(app, extension) && s.menuApps.Append(menu, id, app.path, app.caption)) ++id;
    }
}

bool OpenWithMenuApp(HistoryState& s, HWND dlg, int id) {
    const std::vector<int> rows = SelectedRows(s);
    const std::wstring* program = id > 0 ? s.menuApps.ProgramOf(static_cast<UINT>(id)) : nullptr;
    if (rows.empty() || !program) return false;
    std::vector<std::wstring> paths;
    for (int row : id >= kHistoryProjectApp ? rows : std::vector<int>{rows.front()}) {
        paths.push_back(OpenablePath(s, dlg, s.rows[static_cast<size_t>(row)]));
        if (paths.back().empty()) return false;
    }
    if (id >= kHistoryProjectApp) {
        std::wstring parameters;
        for (const std::wstring& path : paths) parameters += L"\"" + path + L"\" ";
        return ShellOpen(dlg, *program, parameters);
    }
    return ShellOpen(dlg, *program, L"\"" + paths.front() + L"\"");
}

void OpenRow(HistoryState& s, HWND dlg, const HistoryRow& row) {
    std::wstring program = s.entry->appPath;
    if (program.empty()) {
        wchar_t found[MAX_PATH] = {};
        const std::wstring file = s.entry->ResolvedPath();
        if (reinterpret_cast<INT_PTR>(FindExecutableW(file.c_str(), nullptr, found)) > 32) program = found;
    }
    if (program.empty()) return;
    const std::wstring path = OpenablePath(s, dlg, row);
    if (!path.empty()) ShellOpen(dlg, program, L"\"" + path + L"\"");
}

}  // namespace backup_ui
