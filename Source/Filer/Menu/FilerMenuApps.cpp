// Application items of the filer's context menu: the system's open-with programs of one entry's
// extension (100 + k) and the project's programs for a selection (1000 + k), owner-drawn by the
// shell's application items (Shell/AppMenuItems.h).
#include "Filer/Menu/FilerMenu.h"

#include <algorithm>

#include "Document/Project.h"

void AppendOpenWithApps(FilerMenuState& state, HMENU menu, const std::wstring& path) {
    state.apps.AppendOpenWith(menu, kFilerCmdEntryApp, kMaxEntryApps, path);
}

size_t AppendProjectApps(FilerMenuState& state, HMENU menu, const std::vector<std::wstring>& extensions) {
    size_t listed = 0;
    for (const ProjectApp& app : Project().apps) {
        if (listed >= kMaxSelectionApps) break;
        const bool fits = std::all_of(extensions.begin(), extensions.end(), [&app](const std::wstring& extension) {
            return std::find(app.extensions.begin(), app.extensions.end(), extension) != app.extensions.end();
        });
        if (fits && state.apps.Append(menu, kFilerCmdSelectionApp + static_cast<UINT>(listed), app.path, app.caption))
            ++listed;
    }
    return listed;
}
