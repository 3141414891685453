// The plain filer kind.
#include "Filer/Kinds/FilerNormal.h"

#include <shellapi.h>

#include "Document/Folder.h"
#include "Filer/FilerDialogs.h"
#include "Filer/KvFiler.h"
#include "Document/Project.h"
#include "Config/Settings.h"
#include "Shell/ShellRun.h"
#include "resource.h"

// Offline entries (drive or share away) are drawn in a steel blue of their own: not faded like
// missing ones, since their files are not lost, and unlike any colour label.
constexpr COLORREF kOfflineTextColour = RGB(70, 110, 160);

COLORREF FilerLabelColour(unsigned colour) {
    static const COLORREF kColours[] = {
        RGB(0, 0, 0),   RGB(128, 128, 128), RGB(255, 0, 0),   RGB(255, 255, 0),
        RGB(0, 255, 0), RGB(0, 0, 255),     RGB(255, 0, 255),
    };
    return colour < sizeof(kColours) / sizeof(kColours[0]) ? kColours[colour] : kColours[0];
}

int FolderKindIconId(unsigned kind) {
    switch (kind) {
    case kFolderKindMusic:
        return IDI_MUSIC_FOLDER;
    case kFolderKindImage:
        return IDI_IMAGE_FOLDER;
    default:
        return IDI_APP;
    }
}

int AppMarkIconId(unsigned appMarkStyle) {
    switch (appMarkStyle) {
    case 0:
        return IDI_APPMARK_0;
    case 1:
        return IDI_APPMARK_1;
    default:
        return IDI_APPMARK_2;
    }
}

bool CFilerNormal::Attach(CKvFiler& filer) {
    filer_ = &filer;
    return true;
}

void CFilerNormal::OpenEntry(int index, CEntry& entry) {
    const std::wstring target = entry.ResolvedPath();
    HWND owner = filer_ ? filer_->ListView() : nullptr;
    if (!entry.appPath.empty()) {
        OpenEntryWith(owner, entry.appPath, entry);
        return;
    }
    ShellOpen(owner, target, L"");
}

CEntry* CFilerNormal::EntryOf(const NMLVCUSTOMDRAW& draw) const {
    if (!filer_) return nullptr;
    return filer_->EntryAtIndex(static_cast<int>(draw.nmcd.dwItemSpec));
}

void CFilerNormal::ApplyTextColour(NMLVCUSTOMDRAW& draw, const CEntry& entry) const {
    if (entry.offline)
        draw.clrText = kOfflineTextColour;
    else if (entry.missing)
        draw.clrText = FadedColour(Settings().backColor);
    else if (entry.colour != 0)
        draw.clrText = FilerLabelColour(entry.colour);
}

bool CFilerNormal::CustomDraw(NMLVCUSTOMDRAW& draw, LRESULT* result) {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        *result = CDRF_NOTIFYITEMDRAW;
        return true;
    case CDDS_ITEMPREPAINT: {
        CEntry* entry = EntryOf(draw);
        if (!entry) {
            *result = CDRF_SKIPDEFAULT;
            return true;
        }
        ApplyTextColour(draw, *entry);
        *result = CDRF_NOTIFYPOSTPAINT;
        return true;
    }
    case CDDS_ITEMPOSTPAINT: {
        if (CEntry* entry = EntryOf(draw)) DrawMarks(draw, *entry);
        *result = CDRF_DODEFAULT;
        return true;
    }
    default:
        return false;
    }
}

void CFilerNormal::DrawMarks(const NMLVCUSTOMDRAW& draw, const CEntry& entry) {
    HWND listView = draw.nmcd.hdr.hwndFrom;
    RECT icon{};
    icon.left = LVIR_ICON;
    if (!SendMessageW(listView, LVM_GETITEMRECT, draw.nmcd.dwItemSpec, reinterpret_cast<LPARAM>(&icon))) return;
    // Only the icon view shows large icons; report, list and small-icon views show small ones.
    const bool large = (GetWindowLongPtrW(listView, GWL_STYLE) & LVS_TYPEMASK) == LVS_ICON;
    const int size = ListIconSize(listView, large);
    const int x = large ? icon.left + (icon.right - icon.left - size) / 2 : icon.left;
    const int y = icon.top;
    if (entry.IsSubfolderEntry()) DrawResourceIcon(draw.nmcd.hdc, FolderKindIconId(entry.subfolder->kind), x, y, size);
    if (!entry.missing && !entry.appPath.empty())
        DrawResourceIcon(draw.nmcd.hdc, AppMarkIconId(Project().appMarkStyle), x, y, size);
}

int CFilerNormal::ListIconSize(HWND listView, bool large) {
    const auto list = reinterpret_cast<HIMAGELIST>(SendMessageW(listView, LVM_GETIMAGELIST, large ? LVSIL_NORMAL : LVSIL_SMALL, 0));
    int width = 0, height = 0;
    if (list && ImageList_GetIconSize(list, &width, &height) && width > 0) return width;
    return GetSystemMetrics(large ? SM_CXICON : SM_CXSMICON);
}

void CFilerNormal::DrawResourceIcon(HDC dc, int iconId, int x, int y, int size) {
    kv::UniqueIcon& icon = icons_[{iconId, size}];
    if (!icon) {
        icon.reset(static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId), IMAGE_ICON, size, size, 0)));
        if (!icon) return;
    }
    DrawIconEx(dc, x, y, icon.get(), size, size, 0, nullptr, DI_NORMAL);
}
