// Owner-drawn application items of popup menus: labels and icons from the shell, measuring and
// drawing.
#include "Shell/AppMenuItems.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>

#include "Kv/KvSlowPaths.h"
#include "Kv/KvWindow.h"
#include "Shell/OpenWith.h"

namespace {

constexpr int kIconSize = 16;
constexpr int kLabelOffsetX = kIconSize + 2;
constexpr int kLabelOffsetY = 1;

// The font menus are drawn with, so that the measured width fits the drawn label.
HFONT MenuFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
    return CreateFontIndirectW(&metrics.lfMenuFont);
}

}  // namespace

bool AppMenuItems::Append(HMENU menu, UINT id, const std::wstring& program, const std::wstring& label) {
    SHFILEINFOW info{};
    // The shell reads the icon from the program's file; one on a share that does not answer would
    // hold the menu, so such a program gets the icon of programs in general and its file name.
    if (KvMayBlock(program))
        SHGetFileInfoW(L"program.exe", FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                       SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | SHGFI_SMALLICON);
    else
        SHGetFileInfoW(program.c_str(), 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON | SHGFI_DISPLAYNAME);
    Item item;
    item.id = id;
    item.program = program;
    item.icon.reset(info.hIcon);
    item.label = label;
    if (item.label.empty()) item.label = info.szDisplayName;
    if (item.label.empty()) item.label = PathFindFileNameW(program.c_str());

    MENUITEMINFOW menuItem{};
    menuItem.cbSize = sizeof(menuItem);
    menuItem.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
    menuItem.fType = MFT_OWNERDRAW;
    menuItem.wID = id;
    menuItem.dwTypeData = &item.label[0];
    if (!InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &menuItem)) return false;
    items_.push_back(std::move(item));
    return true;
}

size_t AppMenuItems::AppendOpenWith(HMENU menu, UINT firstId, size_t limit, const std::wstring& path) {
    const wchar_t* dot = PathFindExtensionW(path.c_str());
    if (!dot || *dot != L'.' || !dot[1]) return 0;
    std::vector<std::wstring> programs;
    CollectOpenWithApps(programs, dot + 1);
    size_t appended = 0;
    for (const std::wstring& program : programs) {
        if (appended >= limit) break;
        if (Append(menu, firstId + static_cast<UINT>(appended), program, L"")) ++appended;
    }
    return appended;
}

const AppMenuItems::Item* AppMenuItems::Find(UINT id) const {
    const auto found = std::find_if(items_.begin(), items_.end(), [id](const Item& item) { return item.id == id; });
    return found == items_.end() ? nullptr : &*found;
}

const std::wstring* AppMenuItems::ProgramOf(UINT id) const {
    const Item* item = Find(id);
    return item ? &item->program : nullptr;
}

bool AppMenuItems::Measure(HWND window, MEASUREITEMSTRUCT& measure) {
    if (measure.CtlType != ODT_MENU) return false;
    const Item* item = Find(measure.itemID);
    if (!item) return false;
    if (!font_) font_.reset(MenuFont());
    SIZE extent{};
    kv::WindowDc dc(window);
    if (dc) {
        kv::SelectObjectScope font(dc.get(), font_.get());
        GetTextExtentPoint32W(dc.get(), item->label.c_str(), static_cast<int>(item->label.size()), &extent);
    }
    // Room for the icon beside the label and for the icon's height.
    measure.itemWidth = static_cast<UINT>(extent.cx + kLabelOffsetX);
    measure.itemHeight = static_cast<UINT>(std::max<LONG>(extent.cy + kLabelOffsetY, kIconSize));
    return true;
}

bool AppMenuItems::Draw(const DRAWITEMSTRUCT& draw) const {
    if (draw.CtlType != ODT_MENU) return false;
    const Item* item = Find(draw.itemID);
    if (!item) return false;
    HDC dc = draw.hDC;
    const RECT& rc = draw.rcItem;
    const bool selected = (draw.itemState & ODS_SELECTED) != 0;
    KvFillRect(dc, rc, selected ? GetSysColor(COLOR_HIGHLIGHT) : GetBkColor(dc));
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = selected ? SetTextColor(dc, RGB(255, 255, 255)) : GetTextColor(dc);
    if (item->icon) DrawIconEx(dc, rc.left, rc.top, item->icon.get(), kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
    TextOutW(dc, rc.left + kLabelOffsetX, rc.top + kLabelOffsetY, item->label.c_str(),
             static_cast<int>(item->label.size()));
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    return true;
}

void AppMenuItems::ReleaseDrawing() {
    for (Item& item : items_) item.icon.reset();
    font_.reset();
}

void AppMenuItems::Clear() {
    items_.clear();
    font_.reset();
}
