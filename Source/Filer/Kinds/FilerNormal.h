// The plain filer kind, and the base of the music and image kinds: accepts every path, opens an
// entry with its chosen application or its own association, and draws colour labels, faded missing
// entries, the kind icon of subfolder entries and the mark of entries that have an application.
#pragma once

#include <map>
#include <utility>

#include "Document/Folder.h"
#include "Filer/Kinds/FilerKind.h"
#include "Kv/KvHandles.h"

// Text colour of a colour label 1-6 (0 is no colour and keeps the default drawing).
COLORREF FilerLabelColour(unsigned colour);
// Resource id of the icon drawn over a subfolder entry of a folder of this kind.
int FolderKindIconId(unsigned kind);
// Resource id of the mark drawn over an entry with an application, by the project's appMarkStyle.
int AppMarkIconId(unsigned appMarkStyle);

class CFilerNormal : public CFilerKind {
public:
    unsigned Kind() const override { return kFolderKindPlain; }
    bool AcceptsPath(const std::wstring& path) override { return true; }
    bool Attach(CKvFiler& filer) override;
    void Detach() override {}
    int MapIconIndex(int index) override { return index; }
    void OpenEntry(int index, CEntry& entry) override;
    bool CustomDraw(NMLVCUSTOMDRAW& draw, LRESULT* result) override;
    void AfterDisplayData(int index, CEntry& entry) override {}
    void EntryRemoved(CEntry& entry) override {}
    bool MessageHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override { return false; }
    void TimerTick(UINT_PTR timerId) override {}
    bool LeftButtonDown(WPARAM wp, LPARAM lp) override { return false; }
    bool LeftDoubleClick(WPARAM wp, LPARAM lp) override { return false; }
    void AddMenuItems(HMENU menu, int selectedCount) override {}

protected:
    CKvFiler* filer() const { return filer_; }
    // The entry a custom-draw record is about; null for rows past the folder's end.
    CEntry* EntryOf(const NMLVCUSTOMDRAW& draw) const;
    // Missing colour or label colour into the record's text colour.
    void ApplyTextColour(NMLVCUSTOMDRAW& draw, const CEntry& entry) const;
    // Kind icon of a subfolder entry and the application mark, over the item's icon.
    void DrawMarks(const NMLVCUSTOMDRAW& draw, const CEntry& entry);
    // Draws an icon resource of the program at `size` pixels; nothing when it cannot be loaded.
    void DrawResourceIcon(HDC dc, int iconId, int x, int y, int size);
    // The size of the icons the list view shows (its large or small image list, which the shell makes
    // for the screen's scale): 32 or 16 pixels at 96 DPI.
    static int ListIconSize(HWND listView, bool large);

private:
    CKvFiler* filer_ = nullptr;
    std::map<std::pair<int, int>, kv::UniqueIcon> icons_;  // (resource id, size) -> icon
};
