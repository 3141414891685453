// Dragging entries out of the filer. The files of the selected entries (subfolder and missing
// entries name none) are offered, in selection order, as a file list plus the first path as text,
// to any drop target: other programs, the tree, or this filer itself. The drag image is a ghost of
// the dragged items' icons that are fully visible; an item off screen adds nothing to it.
// Nothing is removed after a drag, whatever the target reports.
#include "Filer/KvFiler.h"

#include <new>
#include <utility>

#include "Ole/DataObject.h"
#include "Ole/DropSource.h"
#include "Ole/FileDragData.h"
#include "Filer/DragDrop/FilerDrag.h"
#include "Document/Folder.h"

namespace {

DragLoopHook& LoopHook() {
    static DragLoopHook hook;
    return hook;
}

HRESULT RunDragLoop(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect) {
    if (LoopHook()) return LoopHook()(data, source, allowed, effect);
    return DoDragDrop(data, source, allowed, effect);
}

LONG_PTR ViewStyle(HWND listView) {
    return GetWindowLongPtrW(listView, GWL_STYLE) & LVS_TYPEMASK;
}

// Where an item's picture sits in the drag image: its icon rectangle in report view, otherwise a
// band of the large icon's width (`band`, as the list's image list has it at the screen's scale)
// centred on the icon.
bool ItemImageRect(HWND listView, int index, bool report, int band, RECT& rect) {
    rect = RECT{};
    rect.left = LVIR_ICON;
    if (!SendMessageW(listView, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect))) return false;
    if (!report) {
        const int centre = (rect.left + rect.right) / 2;
        rect.left = centre - band / 2;
        rect.right = rect.left + band;
    }
    return rect.right > rect.left && rect.bottom > rect.top;
}

bool Encloses(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// A client point of `hwnd` in the window coordinates the image-drag functions take.
POINT WindowPoint(HWND hwnd, POINT client) {
    POINT screen = client;
    ClientToScreen(hwnd, &screen);
    RECT window{};
    GetWindowRect(hwnd, &window);
    return POINT{screen.x - window.left, screen.y - window.top};
}

// A black 32-bit top-down bitmap of the given size.
kv::UniqueBitmap MakeBlackBitmap(HDC reference, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    // A DIB section starts zero-filled, which is black.
    return kv::UniqueBitmap(CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
}

// The selected items whose entries name a file (neither subfolder nor missing entries), with
// their resolved paths, both in selection order.
void DraggedFiles(CKvFiler& filer, std::vector<int>& items, std::vector<std::wstring>& paths) {
    const std::vector<int> indexes = filer.SelectedIndexes();
    const std::vector<CEntry*> entries = filer.SelectedEntries();
    for (size_t i = 0; i < entries.size() && i < indexes.size(); ++i) {
        if (entries[i]->IsSubfolderEntry() || entries[i]->missing) continue;
        items.push_back(indexes[i]);
        paths.push_back(entries[i]->ResolvedPath());
    }
}

}  // namespace

void SetDragLoopHook(DragLoopHook hook) {
    LoopHook() = std::move(hook);
}

CDataObject* CKvFiler::MakeDragData() {
    std::vector<int> items;
    std::vector<std::wstring> paths;
    DraggedFiles(*this, items, paths);
    return MakeFileDragData(paths);
}

void CKvFiler::BeginDrag(const NMLISTVIEW& info) {
    if (!listView_ || !current_ || internalDrag_) return;
    std::vector<int> items;
    std::vector<std::wstring> paths;
    DraggedFiles(*this, items, paths);
    if (paths.empty()) return;
    if (!BeginDragImage(items, info.ptAction)) return;
    RunDrag(paths);
    EndDragImage();
}

void CKvFiler::RunDrag(const std::vector<std::wstring>& paths) {
    kv::ComPtr<IDataObject> data(MakeFileDragData(paths));
    if (!data) return;
    kv::ComPtr<IDropSource> source(new (std::nothrow) CDropSource);
    if (!source) return;

    internalDrag_ = true;
    DWORD effect = DROPEFFECT_NONE;
    RunDragLoop(data.get(), source.get(), DROPEFFECT_COPY | DROPEFFECT_LINK, &effect);
    internalDrag_ = false;
    SetDropHighlight(-1);
}

bool CKvFiler::BeginDragImage(const std::vector<int>& indexes, POINT cursor) {
    const LONG_PTR view = ViewStyle(listView_);
    RECT client{};
    GetClientRect(listView_, &client);

    // The pictures the list view itself shows in this view, so a kind's own images come along.
    const auto icons = reinterpret_cast<HIMAGELIST>(
        SendMessageW(listView_, LVM_GETIMAGELIST, view == LVS_ICON ? LVSIL_NORMAL : LVSIL_SMALL, 0));
    int band = 0, bandHeight = 0;
    if (!icons || !ImageList_GetIconSize(icons, &band, &bandHeight)) band = GetSystemMetrics(SM_CXICON);

    std::vector<std::pair<int, RECT>> shown;
    RECT bounds{};
    for (int index : indexes) {
        RECT rect{};
        if (!ItemImageRect(listView_, index, view == LVS_REPORT, band, rect) || !Encloses(client, rect)) continue;
        if (shown.empty())
            bounds = rect;
        else
            UnionRect(&bounds, &bounds, &rect);
        shown.emplace_back(index, rect);
    }
    if (shown.empty()) return false;
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;

    kv::WindowDc screen(listView_);
    if (!screen) return false;
    kv::UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    kv::UniqueBitmap bitmap = MakeBlackBitmap(screen.get(), width, height);
    if (!dc || !bitmap) return false;
    {
        kv::SelectObjectScope select(dc.get(), bitmap.get());
        for (const auto& item : shown) {
            CEntry* entry = EntryAtIndex(item.first);
            if (!entry || !icons || entry->Display().iconIndex < 0) continue;
            ImageList_Draw(icons, entry->Display().iconIndex, dc.get(), item.second.left - bounds.left,
                           item.second.top - bounds.top, ILD_NORMAL);
        }
    }

    // Black is the mask colour: the band around the icons stays see-through.
    kv::UniqueImageList image(ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, 1, 1));
    if (!image || ImageList_AddMasked(image.get(), bitmap.get(), RGB(0, 0, 0)) < 0) return false;
    if (!ImageList_BeginDrag(image.get(), 0, cursor.x - bounds.left, cursor.y - bounds.top)) return false;
    const POINT at = WindowPoint(listView_, cursor);
    ImageList_DragEnter(listView_, at.x, at.y);
    dragImage_ = std::move(image);
    return true;
}

void CKvFiler::EndDragImage() {
    if (listView_) ImageList_DragLeave(listView_);
    ImageList_EndDrag();
    dragImage_.reset();
}
