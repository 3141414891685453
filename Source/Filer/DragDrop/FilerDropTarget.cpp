// The filer's list view as OLE drop target.
//
// Files dragged in from elsewhere become entries of the current folder; a file the folder already
// holds is selected instead. While the folder's automatic search runs such drops are refused: the
// search is filling the same list.
//
// A drag started in this filer acts on its own entries: dropped on a subfolder entry the selected
// entries move into that folder; dropped on a program (an entry whose label ends in ".exe") the
// program is started once with every selected file. A dragged entry is never a target of its own
// drag, nor is a folder lying inside a dragged one: the drop would hang a folder inside itself and
// cut it off from the tree. Near the top or bottom edge such a drag scrolls the list.
#include "Filer/KvFiler.h"

#include <algorithm>

#include "Commands/MainCommand.h"
#include "Filer/FilerCaches.h"
#include "Filer/Kinds/FilerKind.h"
#include "Document/Folder.h"
#include "Document/FolderMove.h"
#include "Kv/KvGuard.h"
#include "Kv/KvClipboard.h"
#include "Shell/ShellRun.h"

namespace {

// A drag within this distance of the list's top or bottom edge scrolls it by half a wheel notch.
constexpr int kScrollZone = 20;
constexpr short kScrollStep = WHEEL_DELTA / 2;

// Longer names in a dropped file list are skipped, never cut: a cut path names another file.
constexpr UINT kMaxDroppedPath = 1024;

bool CanSupply(IDataObject* data, CLIPFORMAT format) {
    if (!data) return false;
    FORMATETC query{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return data->QueryGetData(&query) == S_OK;
}

// A file list, or the 8-bit text format that some programs offer alone.
bool OffersFiles(IDataObject* data) {
    return CanSupply(data, CF_HDROP) || CanSupply(data, CF_TEXT);
}

bool IsProgramLabel(const std::wstring& label) {
    static const std::wstring suffix = L".exe";
    return label.size() >= suffix.size() && label.compare(label.size() - suffix.size(), suffix.size(), suffix) == 0;
}

POINT ClientPoint(HWND hwnd, POINTL screen) {
    POINT point{screen.x, screen.y};
    ScreenToClient(hwnd, &point);
    return point;
}

// The window coordinates the image-drag functions take.
POINT WindowPoint(HWND hwnd, POINTL screen) {
    RECT window{};
    GetWindowRect(hwnd, &window);
    return POINT{screen.x - window.left, screen.y - window.top};
}

}  // namespace

STDMETHODIMP CKvFiler::DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) {
    if (data) data->AddRef();
    dragData_.reset(data);
    if (internalDrag_) ImageList_DragShowNolock(TRUE);
    return DragOver(keyState, pt, effect);
}

STDMETHODIMP CKvFiler::DragOver(DWORD keyState, POINTL pt, DWORD* effect) {
    if (effect) *effect = DROPEFFECT_NONE;
    return KvGuarded(L"CKvFiler::DragOver", __LINE__, E_UNEXPECTED, [&] {
        const DWORD result = DragOverEffect(pt);
        if (effect) *effect = result;
        return S_OK;
    });
}

DWORD CKvFiler::DragOverEffect(POINTL pt) {
    DWORD result = DROPEFFECT_NONE;
    if (listView_ && !internalDrag_) {
        const bool searching = autoSearch_ && autoSearch_->Running();
        if (!searching && OffersFiles(dragData_.get())) result = DROPEFFECT_COPY;
    } else if (listView_) {
        const POINT image = WindowPoint(listView_, pt);
        ImageList_DragMove(image.x, image.y);
        const POINT client = ClientPoint(listView_, pt);
        AutoScroll(client, pt);
        const int target = DropTargetAt(client);
        SetDropHighlight(target);
        RepaintDuringDrag();
        if (target >= 0 && OffersFiles(dragData_.get())) result = DROPEFFECT_COPY;
    }
    return result;
}

STDMETHODIMP CKvFiler::DragLeave() {
    dragData_.reset();
    if (internalDrag_) ImageList_DragShowNolock(FALSE);
    SetDropHighlight(-1);
    if (listView_) {
        InvalidateRect(listView_, nullptr, TRUE);
        UpdateWindow(listView_);
    }
    return S_OK;
}

STDMETHODIMP CKvFiler::Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) {
    dragData_.reset();
    if (effect) *effect = DROPEFFECT_NONE;
    return KvGuarded(L"CKvFiler::Drop", __LINE__, E_UNEXPECTED, [&] {
        const DWORD result = DropEffect(data, pt);
        if (effect) *effect = result;
        return S_OK;
    });
}

DWORD CKvFiler::DropEffect(IDataObject* data, POINTL pt) {
    DWORD result = DROPEFFECT_NONE;
    if (listView_ && internalDrag_) {
        // The entries moved or opened are the model's own; the drag reports no effect so that the
        // source side removes nothing.
        ImageList_DragShowNolock(FALSE);
        const int target = DropTargetAt(ClientPoint(listView_, pt));
        SetDropHighlight(-1);
        if (CEntry* entry = target >= 0 ? EntryAtIndex(target) : nullptr) {
            if (entry->IsSubfolderEntry())
                MoveSelectionInto(*entry);
            else
                OpenSelectionWith(*entry);
        }
        InvalidateRect(listView_, nullptr, TRUE);
        UpdateWindow(listView_);
    } else if (listView_ && data && !(autoSearch_ && autoSearch_->Running())) {
        result = DropFiles(data);
    }
    return result;
}

DWORD CKvFiler::DropFiles(IDataObject* data) {
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED;
    SendMessageW(listView_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));

    std::vector<std::wstring> paths;
    if (KvReadDataObjectFiles(data, kMaxDroppedPath, paths)) {
        AddPaths(paths, true);
        return DROPEFFECT_COPY;
    }
    // Text alone is taken so the source sees a drop, but it names no file to add.
    return CanSupply(data, CF_TEXT) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

int CKvFiler::DropTargetAt(POINT client) {
    LVHITTESTINFO hit{};
    hit.pt = client;
    const int index = static_cast<int>(SendMessageW(listView_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (index < 0 || !(hit.flags & LVHT_ONITEM)) return -1;
    CEntry* entry = EntryAtIndex(index);
    if (!entry) return -1;
    const bool folder = entry->IsSubfolderEntry();
    if (!folder && (entry->missing || !IsProgramLabel(entry->Display().displayText))) return -1;
    if (SendMessageW(listView_, LVM_GETITEMSTATE, index, LVIS_SELECTED) & LVIS_SELECTED) return -1;
    if (folder) {
        const CFolder* into = entry->subfolder.get();
        for (CEntry* dragged : SelectedEntries())
            if (dragged->subfolder && FolderIsWithin(into, dragged->subfolder.get())) return -1;
    }
    return index;
}

void CKvFiler::SetDropHighlight(int index) {
    if (!listView_) {
        dropHighlight_ = -1;
        return;
    }
    if (index == dropHighlight_) return;
    const int previous = dropHighlight_;
    dropHighlight_ = index;
    if (previous >= 0) SendMessageW(listView_, LVM_REDRAWITEMS, previous, previous);
    if (index >= 0) SendMessageW(listView_, LVM_REDRAWITEMS, index, index);
}

void CKvFiler::RepaintDuringDrag() {
    if (!GetUpdateRect(listView_, nullptr, FALSE)) return;
    // The ghost image is drawn over the window; it must be off while the window paints under it.
    ImageList_DragShowNolock(FALSE);
    UpdateWindow(listView_);
    ImageList_DragShowNolock(TRUE);
}

void CKvFiler::AutoScroll(POINT client, POINTL screen) {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    if (!GetScrollInfo(listView_, SB_VERT, &info) || info.nMax <= info.nMin) return;
    RECT area{};
    GetClientRect(listView_, &area);
    const int lastTop = info.nMax - std::max<int>(static_cast<int>(info.nPage), 1) + 1;
    short delta = 0;
    if (client.y < area.top + kScrollZone && info.nPos > info.nMin)
        delta = kScrollStep;
    else if (client.y >= area.bottom - kScrollZone && info.nPos < lastTop)
        delta = -kScrollStep;
    if (delta == 0) return;
    SendMessageW(listView_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)),
                 MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y)));
    RepaintDuringDrag();
}

void CKvFiler::MoveSelectionInto(CEntry& targetEntry) {
    CFolder* target = targetEntry.subfolder.get();
    CFolder* folder = current_;
    if (!target || !folder) return;
    const std::vector<int> indexes = SelectedIndexes();
    const std::vector<CEntry*> entries = SelectedEntries();
    if (entries.empty() || entries.size() != indexes.size()) return;
    for (CEntry* entry : entries)
        if (entry == &targetEntry || (entry->subfolder && FolderIsWithin(target, entry->subfolder.get()))) return;

    for (CEntry* entry : entries) AppendMovedEntry(*target, *entry);

    // The entries live on in the target with their backup directories, so leaving this folder is
    // not a removal: nothing is asked and no backup is deleted. From the highest index down, so the
    // indexes still to come keep naming the same entries.
    for (size_t i = entries.size(); i-- > 0;) {
        if (kind_) kind_->EntryRemoved(*entries[i]);
        folder->RemoveAt(static_cast<size_t>(indexes[i]));
    }
    ShowFolder(folder, false);
    SubfoldersChanged(folder);
    EnableTool(kCmdCopy, false);
    EnableTool(kCmdRemove, false);
}

void CKvFiler::OpenSelectionWith(const CEntry& program) {
    const std::wstring file = program.ResolvedPath();
    std::wstring parameters;
    for (CEntry* entry : SelectedEntries()) {
        // A subfolder entry names no file to hand over.
        if (entry->IsSubfolderEntry()) continue;
        parameters += L'"';
        parameters += entry->ResolvedPath();
        parameters += L"\" ";
    }
    ShellOpen(listView_, file, parameters);
}
