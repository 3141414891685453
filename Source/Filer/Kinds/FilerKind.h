// The filer kinds: one object specialises the filer for the folder on screen (plain, music,
// image). The filer calls the operations below in this order of slots; a new kind derives from
// CFilerNormal and is made by MakeFilerKind, so the filer itself never names a concrete kind.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

class CKvFiler;
class CEntry;

class CFilerKind {
public:
    // Slot 0: frees what the kind made (timers, image lists, back-ends).
    virtual ~CFilerKind() = default;
    // Slot 1: the folder kind this object serves (a FolderKind).
    virtual unsigned Kind() const = 0;
    // Slot 2: whether a path may be added to a folder of this kind.
    virtual bool AcceptsPath(const std::wstring& path) = 0;
    // Slot 3: called when the kind is selected for a folder about to be shown.
    virtual bool Attach(CKvFiler& filer) = 0;
    // Slot 4: called at the start of every showing of a folder, also of the same folder again.
    virtual void Detach() = 0;
    // Slot 5: the image list index shown for an entry whose system icon is `index`.
    virtual int MapIconIndex(int index) = 0;
    // Slot 6: opens a file entry (never a subfolder or missing entry).
    virtual void OpenEntry(int index, CEntry& entry) = 0;
    // Slot 7: one NM_CUSTOMDRAW of the list view. True with *result set when answered; false lets
    // the filer fall back to default drawing.
    virtual bool CustomDraw(NMLVCUSTOMDRAW& draw, LRESULT* result) = 0;
    // Slot 8: after an entry's display data was made.
    virtual void AfterDisplayData(int index, CEntry& entry) = 0;
    // Slot 9: before an entry is removed from the folder on screen.
    virtual void EntryRemoved(CEntry& entry) = 0;
    // Slot 10: every list view message before the filer's own handling; true with *result set
    // when the kind handled it.
    virtual bool MessageHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) = 0;
    // Slot 11: every timer message of the filer's container.
    virtual void TimerTick(UINT_PTR timerId) = 0;
    // Slots 12 and 13: left-button messages of the list view; true when handled.
    virtual bool LeftButtonDown(WPARAM wp, LPARAM lp) = 0;
    virtual bool LeftDoubleClick(WPARAM wp, LPARAM lp) = 0;
    // Slot 14: items the kind appends to the filer's context menu.
    virtual void AddMenuItems(HMENU menu, int selectedCount) = 0;
    // True while the entries must keep their places (a song plays through them in order): type-ahead
    // then selects the first match instead of bringing the matches to the front.
    virtual bool KeepsEntryOrder() const { return false; }
};

// The kind object for a folder kind: music, image, anything else plain. Null when it cannot be
// made.
std::unique_ptr<CFilerKind> MakeFilerKind(unsigned kind);
