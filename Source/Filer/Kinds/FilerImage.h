// The thumbnail kind of image folders: an icon view of 78 x 75 thumbnails on a checkerboard. It
// accepts only files some image decoder can read, greys the view commands while it is shown and
// puts the filer's own view back when the folder is left.
//
// Thumbnails are made by one background thread (ThumbnailWorker) in the order items are first
// painted; the UI thread only turns each finished canvas into a bitmap of its image list and
// repaints the item. An entry's thumbIndex is -1 until asked for, kThumbPending while queued,
// kThumbFailed when its file could not be decoded (not asked again until the folder is shown again)
// and the image list index once made.
#pragma once

#include <unordered_set>

#include "Filer/Kinds/FilerNormal.h"
#include "Filer/Kinds/ThumbnailWorker.h"
#include "Kv/KvHandles.h"

constexpr int32_t kThumbPending = -2;
constexpr int32_t kThumbFailed = -3;

class CFilerImage : public CFilerNormal {
public:
    // Loads the image library and the plug-ins.
    CFilerImage();
    // Stops the worker and unloads the decoders.
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

    kv::UniqueImageList thumbnails_;
    ThumbnailWorker worker_;
    // Entries asked for in this showing and not answered yet; a result counts only for them.
    std::unordered_set<const CEntry*> pending_;
};
