// The thumbnail kind.
#include "Filer/Kinds/FilerImage.h"

#include <algorithm>

#include "Document/Folder.h"
#include "Document/Project.h"
#include "Filer/KvFiler.h"
#include "Image/DibImage.h"
#include "Image/ImageBackends.h"

namespace {

// Posted by the worker to the list view when thumbnails are waiting.
constexpr UINT kMsgThumbnailsReady = WM_APP + 0x48;

// About 24 KB each (78 x 75 in 32 bits with its mask): 512 thumbnails are some 12 MB, many screens.
constexpr size_t kDefaultThumbnailLimit = 512;
// The image list starts with room for a few screens and grows by as much.
constexpr int kThumbnailGrowth = 64;

size_t g_thumbnailLimit = kDefaultThumbnailLimit;

}  // namespace

size_t ThumbnailLimit() {
    return g_thumbnailLimit;
}

void SetThumbnailLimit(size_t limit) {
    g_thumbnailLimit = limit == 0 ? kDefaultThumbnailLimit : limit;
}

CFilerImage::~CFilerImage() {
    worker_.Stop();
}

bool CFilerImage::AcceptsPath(const std::wstring& path) {
    return IsLoadableImage(path);
}

bool CFilerImage::Attach(CKvFiler& filer) {
    CFilerNormal::Attach(filer);
    filer.ShowListStyle(kFilerViewIcons);
    filer.EnableViewCommands(false);
    slots_.clear();
    thumbnails_.reset(
        ImageList_Create(kThumbnailWidth, kThumbnailHeight, ILC_COLOR32 | ILC_MASK, kThumbnailGrowth, kThumbnailGrowth));
    if (HWND list = filer.ListView()) {
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(thumbnails_.get()));
        worker_.Start(list, kMsgThumbnailsReady);
    }
    return true;
}

void CFilerImage::Detach() {
    worker_.Cancel();
    pending_.clear();
    slots_.clear();
    CKvFiler* owner = filer();
    if (!owner) return;
    owner->AttachSystemImageLists();
    thumbnails_.reset();
    owner->ShowListStyle(owner->ViewMode());
    owner->EnableViewCommands(true);
    if (CFolder* folder = owner->CurrentFolder())
        for (CEntry& entry : folder->entries)
            if (entry.HasDisplay()) entry.EditDisplay().thumbIndex = 0;
}

void CFilerImage::EntryRemoved(CEntry& entry) {
    const int thumb = entry.Display().thumbIndex;
    if (thumb >= 0 && static_cast<size_t>(thumb) < slots_.size() && slots_[static_cast<size_t>(thumb)].entry == &entry)
        slots_[static_cast<size_t>(thumb)] = Slot{};
    if (entry.HasDisplay()) entry.EditDisplay().thumbIndex = 0;
    pending_.erase(&entry);
}

void CFilerImage::RequestThumbnail(int item, CEntry& entry) {
    entry.EditDisplay().thumbIndex = kThumbPending;
    try {
        pending_.insert(&entry);
    } catch (const std::exception&) {
        entry.EditDisplay().thumbIndex = kThumbFailed;
        return;
    }
    worker_.Request(&entry, item, entry.ResolvedPath());
}

void CFilerImage::TakeFinishedThumbnails() {
    CKvFiler* owner = filer();
    std::vector<ThumbnailWorker::Result> results = worker_.TakeResults();
    if (!owner || !owner->ListView() || results.empty()) return;
    HWND list = owner->ListView();
    HDC screen = GetDC(list);
    kv::UniqueMemoryDc memory(CreateCompatibleDC(screen));
    bool redrawAll = false;
    for (ThumbnailWorker::Result& result : results) {
        auto found = pending_.find(static_cast<const CEntry*>(result.key));
        if (found == pending_.end()) continue;
        CEntry& entry = *const_cast<CEntry*>(*found);
        pending_.erase(found);
        entry.EditDisplay().thumbIndex = kThumbFailed;
        if (result.canvas && memory && thumbnails_) {
            kv::UniqueBitmap bitmap(CreateCompatibleBitmap(screen, kThumbnailWidth, kThumbnailHeight));
            if (bitmap) {
                HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
                result.canvas->DrawThumbnail(memory.get());
                SelectObject(memory.get(), old);
                const int index = StoreThumbnail(bitmap.get(), entry, result.item);
                if (index >= 0) entry.EditDisplay().thumbIndex = entry.EditDisplay().iconIndex = index;
            }
        }
        if (owner->EntryAtIndex(result.item) == &entry)
            SendMessageW(list, LVM_REDRAWITEMS, result.item, result.item);
        else
            redrawAll = true;
    }
    ReleaseDC(list, screen);
    if (redrawAll) InvalidateRect(list, nullptr, FALSE);
}

int CFilerImage::StoreThumbnail(HBITMAP bitmap, CEntry& entry, int item) {
    size_t place = slots_.size();
    for (size_t i = 0; i < slots_.size() && place == slots_.size(); ++i)
        if (!slots_[i].entry) place = i;
    if (place == slots_.size() && slots_.size() >= ThumbnailLimit()) {
        // Full: the thumbnail farthest from the items painted last makes room.
        int farthest = -1;
        for (size_t i = 0; i < slots_.size(); ++i) {
            const int item = slots_[i].item;
            const int distance = item < paintedFirst_ ? paintedFirst_ - item : item > paintedLast_ ? item - paintedLast_ : 0;
            if (distance > farthest) {
                farthest = distance;
                place = i;
            }
        }
        // Every thumbnail kept is on screen: the list grows past its limit rather than take one.
        if (farthest <= 0) {
            place = slots_.size();
        } else {
            CEntry& dropped = *slots_[place].entry;
            EntryDisplay& shown = dropped.EditDisplay();
            shown.thumbIndex = -1;
            shown.iconIndex = -1;
        }
    }
    try {
        if (place == slots_.size()) {
            slots_.emplace_back();
            if (ImageList_Add(thumbnails_.get(), bitmap, nullptr) != static_cast<int>(place)) {
                slots_.pop_back();
                return -1;
            }
        } else if (!ImageList_Replace(thumbnails_.get(), static_cast<int>(place), bitmap, nullptr)) {
            slots_[place] = Slot{};
            return -1;
        }
    } catch (const std::exception&) {
        return -1;
    }
    slots_[place] = Slot{&entry, item};
    return static_cast<int>(place);
}

bool CFilerImage::MessageHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    if (msg != kMsgThumbnailsReady) return false;
    TakeFinishedThumbnails();
    *result = 0;
    return true;
}

bool CFilerImage::CustomDraw(NMLVCUSTOMDRAW& draw, LRESULT* result) {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        worker_.BeginBatch();
        paintStarted_ = true;
        *result = CDRF_NOTIFYITEMDRAW;
        return true;
    case CDDS_ITEMPREPAINT: {
        CEntry* entry = EntryOf(draw);
        if (!entry) {
            *result = CDRF_SKIPDEFAULT;
            return true;
        }
        const int item = static_cast<int>(draw.nmcd.dwItemSpec);
        if (paintStarted_) {
            paintedFirst_ = paintedLast_ = item;
            paintStarted_ = false;
        }
        paintedFirst_ = std::min(paintedFirst_, item);
        paintedLast_ = std::max(paintedLast_, item);
        if (!entry->IsSubfolderEntry() && !entry->missing && entry->Display().thumbIndex == -1) RequestThumbnail(item, *entry);
        ApplyTextColour(draw, *entry);
        *result = CDRF_NOTIFYPOSTPAINT;
        return true;
    }
    case CDDS_ITEMPOSTPAINT: {
        CKvFiler* owner = filer();
        const LRESULT items = SendMessageW(draw.nmcd.hdr.hwndFrom, LVM_GETITEMCOUNT, 0, 0);
        if (owner && owner->CurrentFolder() && static_cast<size_t>(items) == owner->CurrentFolder()->Count())
            if (CEntry* entry = EntryOf(draw)) DrawImageMarks(draw, *entry);
        *result = CDRF_DODEFAULT;
        return true;
    }
    default:
        return false;
    }
}

void CFilerImage::DrawImageMarks(const NMLVCUSTOMDRAW& draw, const CEntry& entry) {
    RECT item{};
    item.left = LVIR_ICON;
    if (!SendMessageW(draw.nmcd.hdr.hwndFrom, LVM_GETITEMRECT, draw.nmcd.dwItemSpec, reinterpret_cast<LPARAM>(&item)))
        return;
    if (entry.IsSubfolderEntry())
        DrawResourceIcon(draw.nmcd.hdc, FolderKindIconId(entry.subfolder->kind), item.left, item.top, 32);
    if (!entry.missing && !entry.appPath.empty())
        DrawResourceIcon(draw.nmcd.hdc, AppMarkIconId(Project().appMarkStyle), item.left, item.top, 32);
}
