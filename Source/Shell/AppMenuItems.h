// Owner-drawn application items of a popup menu, as the filer's context menu and the backup
// history's context menu show them: one item per program, labelled with a caption or the program's
// shell display name, drawn with the program's 16 by 16 icon (for a program on a path that may keep
// a call waiting, KvMayBlock: its file name and the icon of programs in general) at the item's
// top-left corner and the label 18 pixels to the right and 1 pixel down, all scaled to the DPI of
// the menu's window with the menu font for that DPI; a selected item over the highlight colour in
// white.
//
// Ownership: the object owns the icons and the font, made when the menu is measured. Both are needed
// only while the menu is open and are released in ReleaseDrawing (Clear and the destructor release
// them too). Labels and programs stay until Clear, so a command that arrives after the menu closed
// still finds its program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Kv/KvHandles.h"

class AppMenuItems {
public:
    // Appends an owner-drawn item `id` for `program` to `menu`. The label is `label`, or when that
    // is empty the program's shell display name, or else its file name. False when the item could
    // not be inserted (nothing is then kept).
    bool Append(HMENU menu, UINT id, const std::wstring& program, const std::wstring& label);
    // The system's open-with programs for the extension of `path`, as items firstId + k for k below
    // `limit`. Returns how many were appended.
    size_t AppendOpenWith(HMENU menu, UINT firstId, size_t limit, const std::wstring& path);

    size_t Count() const { return items_.size(); }
    // The program of the item `id`; null when no item of this object has that id.
    const std::wstring* ProgramOf(UINT id) const;

    // WM_MEASUREITEM and WM_DRAWITEM of a menu item: true when the item is one of these (it was
    // measured or drawn), false for any other item. `window` lends its device context for measuring.
    bool Measure(HWND window, MEASUREITEMSTRUCT& measure);
    bool Draw(const DRAWITEMSTRUCT& draw) const;

    // Releases the icons and the font once the menu is closed; the items' programs stay.
    void ReleaseDrawing();
    // Forgets every item of the previous menu.
    void Clear();

private:
    struct Item {
        UINT id = 0;
        std::wstring label;
        std::wstring program;
        kv::UniqueIcon icon;
    };
    const Item* Find(UINT id) const;
    Item* Find(UINT id);

    std::vector<Item> items_;
    kv::UniqueFont font_;
    UINT dpi_ = 96;  // the DPI the font and icons were made for
};
