// Application items of the filer's context menu: the system's open-with programs of one entry's
// extension (100 + k) and the project's programs for a selection (1000 + k). Each item is
// owner-drawn: the program's small icon at the item's top-left and its label 18 pixels to the right.
#include "Filer/Menu/FilerMenu.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>

#include "Kv/KvWindow.h"
#include "Shell/OpenWith.h"
#include "Document/Project.h"

namespace {

constexpr int kIconSize = 16;
constexpr int kLabelOffsetX = kIconSize + 2;
constexpr int kLabelOffsetY = 1;

// Index of the application behind a menu item id, or -1 for any other item.
int AppIndex(const FilerMenuState& state, UINT id) {
    size_t k = 0;
    if (id >= kFilerCmdEntryApp && id < kFilerCmdEntryApp + kMaxEntryApps)
        k = id - kFilerCmdEntryApp;
    else if (id >= kFilerCmdSelectionApp && id < kFilerCmdSelectionApp + kMaxSelectionApps)
        k = id - kFilerCmdSelectionApp;
    else
        return -1;
    return k < state.appNames.size() ? static_cast<int>(k) : -1;
}

// The font menus are drawn with, so that the measured width fits the drawn label.
HFONT MenuFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
    return CreateFontIndirectW(&metrics.lfMenuFont);
}

}  // namespace

void AppendAppItem(FilerMenuState& state, HMENU menu, UINT firstId, const std::wstring& program,
                   const std::wstring& label) {
    const size_t k = state.appPaths.size();
    const size_t limit = firstId == kFilerCmdEntryApp ? kMaxEntryApps : kMaxSelectionApps;
    if (k >= limit || k != state.appNames.size()) return;

    SHFILEINFOW info{};
    SHGetFileInfoW(program.c_str(), 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON | SHGFI_DISPLAYNAME);
    kv::UniqueIcon icon(info.hIcon);
    std::wstring name = label;
    if (name.empty()) name = info.szDisplayName;
    if (name.empty()) name = PathFindFileNameW(program.c_str());

    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_DATA;
    item.fType = MFT_OWNERDRAW;
    item.wID = firstId + static_cast<UINT>(k);
    item.dwItemData = k;
    item.dwTypeData = &name[0];
    if (!InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &item)) return;
    state.appNames.push_back(std::move(name));
    state.appPaths.push_back(program);
    state.appIcons.push_back(std::move(icon));
}

void AppendOpenWithApps(FilerMenuState& state, HMENU menu, const std::wstring& path) {
    const wchar_t* dot = PathFindExtensionW(path.c_str());
    if (!dot || *dot != L'.' || !dot[1]) return;
    std::vector<std::wstring> programs;
    CollectOpenWithApps(programs, dot + 1);
    for (const std::wstring& program : programs) AppendAppItem(state, menu, kFilerCmdEntryApp, program, L"");
}

size_t AppendProjectApps(FilerMenuState& state, HMENU menu, const std::vector<std::wstring>& extensions) {
    size_t listed = 0;
    for (const ProjectApp& app : Project().apps) {
        const bool fits = std::all_of(extensions.begin(), extensions.end(), [&app](const std::wstring& extension) {
            return std::find(app.extensions.begin(), app.extensions.end(), extension) != app.extensions.end();
        });
        if (!fits) continue;
        const size_t before = state.appPaths.size();
        AppendAppItem(state, menu, kFilerCmdSelectionApp, app.path, app.caption);
        if (state.appPaths.size() > before) ++listed;
    }
    return listed;
}

bool MeasureAppItem(FilerMenuState& state, HWND listView, MEASUREITEMSTRUCT& measure) {
    const int k = AppIndex(state, measure.itemID);
    if (k < 0) return false;
    if (!state.measureFont) state.measureFont.reset(MenuFont());
    const std::wstring& name = state.appNames[k];
    SIZE extent{};
    kv::WindowDc dc(listView);
    if (dc) {
        kv::SelectObjectScope font(dc.get(), state.measureFont.get());
        GetTextExtentPoint32W(dc.get(), name.c_str(), static_cast<int>(name.size()), &extent);
    }
    // Room for the icon beside the label and for the icon's height.
    measure.itemWidth = static_cast<UINT>(extent.cx + kLabelOffsetX);
    measure.itemHeight = static_cast<UINT>(std::max<LONG>(extent.cy + kLabelOffsetY, kIconSize));
    return true;
}

bool DrawAppItem(const FilerMenuState& state, const DRAWITEMSTRUCT& draw) {
    const int k = AppIndex(state, draw.itemID);
    if (k < 0) return false;
    HDC dc = draw.hDC;
    const RECT& rc = draw.rcItem;
    const bool selected = (draw.itemState & ODS_SELECTED) != 0;
    KvFillRect(dc, rc, selected ? GetSysColor(COLOR_HIGHLIGHT) : GetBkColor(dc));
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = selected ? SetTextColor(dc, RGB(255, 255, 255)) : GetTextColor(dc);
    if (static_cast<size_t>(k) < state.appIcons.size() && state.appIcons[k])
        DrawIconEx(dc, rc.left, rc.top, state.appIcons[k].get(), kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
    const std::wstring& name = state.appNames[k];
    TextOutW(dc, rc.left + kLabelOffsetX, rc.top + kLabelOffsetY, name.c_str(), static_cast<int>(name.size()));
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    return true;
}
