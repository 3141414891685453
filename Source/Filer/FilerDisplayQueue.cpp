// Display data in the background. Showing a folder makes no display data itself: the rows the list
// view asks for get theirs on demand (EntryAtIndex), and the rest is made in short slices on the UI
// thread, driven by a timer so that input and painting always come first. Whatever needs the data
// of every entry (sorting by a shown column, type-ahead) completes the rest at once, saying so in
// the status bar.
//
// The queue's cursor is checked against the folder, its entries' generation and the display generation
// before every slice: after a change of folder, entries or showing it starts again from the top,
// so it never writes into entries of a folder no longer shown nor follows a removed entry.
#include "Filer/KvFiler.h"

#include "Document/Folder.h"
#include "Filer/FilerCaches.h"

namespace {

constexpr UINT_PTR kDisplayTimer = 0x7D01;
// Longest stretch of one slice; the timer's own period lets queued input through in between.
constexpr DWORD kSliceMilliseconds = 30;
// A completion of more entries than this shows its status text first.
constexpr size_t kAnnouncedCompletion = 200;

const wchar_t kMakingDisplayData[] = L"表示データを作成中...";

}  // namespace

void CKvFiler::StartDisplayQueue() {
    caches_->ResetQueue();
    displayQueueOn_ = container_ && SetTimer(container_, kDisplayTimer, USER_TIMER_MINIMUM, nullptr);
}

bool CKvFiler::OnDisplayTimer(UINT_PTR timerId) {
    if (timerId != kDisplayTimer) return false;
    if (ContinueDisplayQueue(kSliceMilliseconds)) return true;
    KillTimer(container_, kDisplayTimer);
    displayQueueOn_ = false;
    return true;
}

bool CKvFiler::ContinueDisplayQueue(DWORD milliseconds) {
    if (!current_) return false;
    FilerCaches& cache = *caches_;
    if (cache.queueFolder != current_ || cache.queueEntries != current_->generation ||
        cache.queueGeneration != displayGeneration_) {
        cache.queueFolder = current_;
        cache.queueEntries = current_->generation;
        cache.queueGeneration = displayGeneration_;
        cache.queuePos = current_->entries.begin();
        cache.queueIndex = 0;
    }
    const DWORD start = GetTickCount();
    while (cache.queuePos != current_->entries.end()) {
        EnsureDisplayData(*cache.queuePos, cache.queueIndex);
        ++cache.queuePos;
        ++cache.queueIndex;
        if (GetTickCount() - start >= milliseconds) return cache.queuePos != current_->entries.end();
    }
    return false;
}

void CKvFiler::CompleteDisplayData() {
    if (!current_) return;
    size_t pending = 0;
    for (const CEntry& entry : current_->entries)
        if (entry.Display().generation != displayGeneration_) ++pending;
    if (pending == 0) return;
    const bool announce = pending > kAnnouncedCompletion;
    if (announce) SetStatus(0, kMakingDisplayData);
    int index = 0;
    for (CEntry& entry : current_->entries) EnsureDisplayData(entry, index++);
    if (announce) OnSelectionChanged();
}
