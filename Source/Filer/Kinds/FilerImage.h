// The thumbnail kind of image folders: an icon view of 78 x 75 thumbnails on a checkerboard. It
// accepts only files some image decoder can read, greys the view commands while it is shown and
// puts the filer's own view back when the folder is left.
//
// Thumbnails are made by background threads (ThumbnailWorker) in the order items are first
// painted; the UI thread only turns each finished canvas into a bitmap of its image list and
// repaints the item. An entry's thumbIndex is -1 until asked for, kThumbPending while queued,
// kThumbFailed when its file could not be decoded (not asked again until the folder is shown again)
// and the image list index once made.
//
// The image list holds at most ThumbnailLimit() thumbnails, whatever the folder's size: it starts
// with room for a few screens and grows; once full, the thumbnail of the item farthest from those
// painted last gives its place to the new one, and its entry goes back to -1, to be made again when
// it is painted again.
#pragma once

#include <unordered_set>
#include <vector>

#include "Filer/Kinds/FilerNormal.h"
#include "Filer/Kinds/ThumbnailWorker.h"
#include "Image/ImageBackends.h"
#include "Kv/KvHandles.h"

constexpr int32_t kThumbPending = -2;
constexpr int32_t kThumbFailed = -3;

// The most thumbnails an image folder keeps at once (tests lower it; 0 restores the default).
size_t ThumbnailLimit();
void SetThumbnailLimit(size_t limit);

class CFilerImage : public CFilerNormal {
public:
    // Tells the worker to stop, never waiting for it; the decoders go with the last of them.
    ~CFilerImage() override;

    unsigned Kind() const override { return kFolderKindImage; }
    bool AcceptsPath(const std::wstring& path) override;
    bool Attach(CKvFiler& filer) override;
    void Detach() override;
    int MapIconIndex(int index) override { return -1; }
    bool CustomDraw(NMLVCUSTOMDRAW& draw, LRESULT* result) override;
    void AfterDisplayData(int index, CEntry& entry) override { entry.EditDisplay().thumbIndex = -1; }
    void EntryRemoved(CEntry& entry) override;
    bool MessageHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

    // The thumbnail image list (tests look at it); null while no image folder is shown.
    HIMAGELIST Thumbnails() const { return thumbnails_.get(); }
    // Applies the finished thumbnails now (the posted message does the same).
    void TakeFinishedThumbnails();

private:
    void RequestThumbnail(int item, CEntry& entry);
    void DrawImageMarks(const NMLVCUSTOMDRAW& draw, const CEntry& entry);
    // Puts `bitmap` into the image list for `entry` at `item`: a free place, a new one, or the place
    // of the thumbnail farthest from the items painted last. -1 when it could not be stored.
    int StoreThumbnail(HBITMAP bitmap, CEntry& entry, int item);

    // What each place of the image list holds: the entry and the item it was made for.
    struct Slot {
        CEntry* entry = nullptr;
        int item = -1;
    };

    kv::UniqueImageList thumbnails_;
    ImageDecodersHold decoders_;  // for the UI thread's AcceptsPath; the worker's threads hold them too
    ThumbnailWorker worker_;
    // Entries asked for in this showing and not answered yet; a result counts only for them.
    std::unordered_set<const CEntry*> pending_;
    std::vector<Slot> slots_;
    // The first and last item of the latest paint.
    int paintedFirst_ = 0;
    int paintedLast_ = 0;
    bool paintStarted_ = false;
};
