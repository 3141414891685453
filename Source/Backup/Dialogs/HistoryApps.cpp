// Opening history rows with applications: the double click, and the application items of the
// context menu (the system's open-with list for one row, the project's applications for several).
#include "Backup/Dialogs/HistoryState.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "Document/Folder.h"
#include "Document/Project.h"
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
    if (id >= kHistoryProjectApp) {
        std::wstring parameters;
        for (int row : rows) parameters += L"\"" + RowPath(s, s.rows[static_cast<size_t>(row)]) + L"\" ";
        return ShellOpen(dlg, *program, parameters);
    }
    return ShellOpen(dlg, *program, L"\"" + RowPath(s, s.rows[static_cast<size_t>(rows.front())]) + L"\"");
}

void OpenRow(HistoryState& s, HWND dlg, const HistoryRow& row) {
    std::wstring program = s.entry->appPath;
    if (program.empty()) {
        wchar_t found[MAX_PATH] = {};
        const std::wstring file = s.entry->ResolvedPath();
        if (reinterpret_cast<INT_PTR>(FindExecutableW(file.c_str(), nullptr, found)) > 32) program = found;
    }
    if (program.empty()) return;
    ShellOpen(dlg, program, L"\"" + RowPath(s, row) + L"\"");
}

}  // namespace backup_ui
