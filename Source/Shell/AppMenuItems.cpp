// Owner-drawn application items of popup menus: labels and icons from the shell, measuring and
// drawing.
#include "Shell/AppMenuItems.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>

#include "Kv/KvDpi.h"
#include "Kv/KvSlowPaths.h"
#include "Kv/KvWindow.h"
#include "Shell/OpenWith.h"

namespace {

// Sizes at 96 DPI, scaled to the DPI of the window the menu belongs to.
constexpr int kIconSize = 16;
constexpr int kLabelOffsetX = kIconSize + 2;
constexpr int kLabelOffsetY = 1;

// The program's icon of at least `size` pixels where the shell has one: its small icon, or its
// large one when the small one would be enlarged. The shell reads it from the program's file; one
// on a share that does not answer would hold the menu, so such a program gets the icon of programs
// in general.
HICON ProgramIcon(const std::wstring& program, int size) {
    const UINT which = size > GetSystemMetrics(SM_CXSMICON) ? SHGFI_LARGEICON : SHGFI_SMALLICON;
    const bool generic = KvMayBlock(program);
    SHFILEINFOW info{};
    SHGetFileInfoW(generic ? L"program.exe" : program.c_str(), generic ? FILE_ATTRIBUTE_NORMAL : 0, &info, sizeof(info),
                   SHGFI_ICON | which | (generic ? SHGFI_USEFILEATTRIBUTES : 0));
    return info.hIcon;
}

}  // namespace

bool AppMenuItems::Append(HMENU menu, UINT id, const std::wstring& program, const std::wstring& label) {
    SHFILEINFOW info{};
    if (label.empty() && !KvMayBlock(program)) SHGetFileInfoW(program.c_str(), 0, &info, sizeof(info), SHGFI_DISPLAYNAME);
    Item item;
    item.id = id;
    item.program = program;
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

AppMenuItems::Item* AppMenuItems::Find(UINT id) {
    return const_cast<Item*>(static_cast<const AppMenuItems*>(this)->Find(id));
}

const std::wstring* AppMenuItems::ProgramOf(UINT id) const {
    const Item* item = Find(id);
    return item ? &item->program : nullptr;
}

bool AppMenuItems::Measure(HWND window, MEASUREITEMSTRUCT& measure) {
    if (measure.CtlType != ODT_MENU) return false;
    Item* item = Find(measure.itemID);
    if (!item) return false;
    const UINT dpi = KvDpiOfWindow(window);
    if (!font_ || dpi != dpi_) {
        font_.reset(KvCreateFontForDpi(KvMenuLogFont96(), dpi));
        for (Item& each : items_) each.icon.reset();
        dpi_ = dpi;
    }
    const int iconSize = KvScale(kIconSize, dpi_);
    if (!item->icon) item->icon.reset(ProgramIcon(item->program, iconSize));
    SIZE extent{};
    kv::WindowDc dc(window);
    if (dc) {
        kv::SelectObjectScope font(dc.get(), font_.get());
        GetTextExtentPoint32W(dc.get(), item->label.c_str(), static_cast<int>(item->label.size()), &extent);
    }
    // Room for the icon beside the label and for the icon's height.
    measure.itemWidth = static_cast<UINT>(extent.cx + KvScale(kLabelOffsetX, dpi_));
    measure.itemHeight = static_cast<UINT>(std::max<LONG>(extent.cy + KvScale(kLabelOffsetY, dpi_), iconSize));
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
    const int iconSize = KvScale(kIconSize, dpi_);
    if (item->icon) DrawIconEx(dc, rc.left, rc.top, item->icon.get(), iconSize, iconSize, 0, nullptr, DI_NORMAL);
    TextOutW(dc, rc.left + KvScale(kLabelOffsetX, dpi_), rc.top + KvScale(kLabelOffsetY, dpi_), item->label.c_str(),
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
