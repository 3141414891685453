// The live view: while a folder is shown, its rows follow their files. The directories that hold
// the entries' files are watched (DirectoryWatch, at most kMaxWatchedDirectories of them, those
// holding the most entries first); a reported change re-checks the entries of that directory at
// the next tick. A periodic check, once a second, looks at every entry: it covers the directories
// left unwatched, drives coming and going, and file systems that report no changes (network
// shares, and Wine without inotify), and it waits while reported changes go first. A check compares what a
// row shows (missing or offline, size in KB, date text) with one look at the file system and makes
// the entry's display data anew only when they differ, redrawing that row alone, so selection and
// scroll position stay. Nothing runs while the window is minimised or in the tray. Checks run in slices of at most 30 ms on the UI thread, with the same
// cursor guard as the display queue (folder, its entries' generation, display generation). UI thread only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "Document/Folder.h"
#include "Follow/DirectoryWatch.h"
#include "Follow/MovedSearch.h"
#include "Follow/PathRoot.h"

class CKvFiler;

// An entry whose drive or share is away can be neither removed, renamed nor backed up until it is
// back: for such an entry a box says why, naming its path, and the result is true.
bool RefusedAsOffline(HWND owner, const CEntry& entry);

// Posted to the filer's container by the directory watch (DirectoryWatch.h) and by the search for
// moved files (MovedSearch.h).
constexpr UINT kMsgDirectoryChanged = WM_APP + 0x32;
constexpr UINT kMsgMovedFound = WM_APP + 0x33;

class FilerFollow {
public:
    explicit FilerFollow(CKvFiler& filer) : filer_(filer) {}
    FilerFollow(const FilerFollow&) = delete;
    FilerFollow& operator=(const FilerFollow&) = delete;

    // A folder was shown (again): the earlier watch is stopped and joined, and the directories of
    // the shown folder are gathered at the next tick.
    void FolderShown(HWND container);
    // Stops and joins the watch and the timer (the filer is destroyed).
    void Stop();
    // The container's timer (false when not ours) and the watch's messages.
    bool OnTimer(UINT_PTR timerId);
    void OnDirectoryChanged(WPARAM wp, LPARAM lp);
    // WM_DEVICECHANGE about a watched directory's volume (DirectoryWatch::OnDeviceChange): the
    // answer to the system, TRUE (the removal may go ahead).
    LRESULT OnDeviceChange(WPARAM wp, LPARAM lp);
    // Drives or media came or went (the broadcast to the main window): the roots are looked at anew
    // and every entry at the next tick.
    void DevicesChanged();
    // While the window is minimised or in the tray the live view rests: no tick, no sweep. Changes
    // reported meanwhile wait, and every entry is looked at as soon as the window is back.
    void SetResting(bool resting);

    // Moved files found again. After every periodic check, the missing (not offline) entries of
    // the shown folder whose identity is known (IdentityStore.h), that were not looked for during
    // this showing and whose relink the user has not declined are looked for in the background;
    // whatever is found comes back as one question listing old and new paths, asked only while the
    // window is visible and in front (it waits otherwise). Yes relinks every entry of the project
    // that used an old path, keeping everything else about it, except that an entry whose folder
    // already lists the new path is removed instead; No is remembered on those entries
    // (CEntry::relinkDeclined). FindMoved looks for one entry on demand, declined or not, asks at
    // once, and says so when nothing is found.
    void FindMoved(const CEntry& entry);
    // Looks for the files of `paths` (missing files of entries in any folder) whose identity is
    // known, in one search; the relink question follows as for one entry, with no box when nothing
    // is found. `done` runs once: with true and the number of files found when the search ended (or
    // had nothing to look for) and its question was answered, with false when it was stopped.
    void FindMovedFiles(const std::vector<std::wstring>& paths, std::function<void(bool, size_t)> done);
    void OnMovedFound(WPARAM wp, LPARAM lp);
    bool Searching() const { return search_.Running(); }

    // Whether drives and shares can be reached. Answers are kept until a change is reported, a drive
    // letter comes or goes, the system reports a device, or (for shares) their back-off ends.
    RootAvailability& Roots() { return roots_; }
    // For tests: the directories watched now.
    const DirectoryWatch& Watch() const { return watch_; }

private:
    // One pass over the shown folder re-checking the entries of the directories reported changed,
    // or (everything) every entry.
    struct Sweep {
        bool active = false;
        bool everything = false;
        bool slowToo = false;  // paths that may keep a call waiting are asked about again too
        std::unordered_set<std::wstring> directories;  // upper-cased
        const CFolder* folder = nullptr;
        uint32_t entries = 0;  // the folder's generation
        uint32_t generation = 0;
        CFolder::Position pos;
        int index = 0;
    };

    void Gather();
    void Begin(Sweep& sweep, bool everything);
    // True while the sweep has entries left; stops after `milliseconds`.
    bool Continue(Sweep& sweep, DWORD milliseconds);
    // True when the entry's row was made anew.
    bool Recheck(CEntry& entry, int index, bool slowToo);
    void SearchForLost();
    void StartSearch(std::vector<LostFile> lost, bool onDemand);
    void StopSearch();
    // The window is visible, not minimised, not behind a box, and in front.
    bool MayAsk() const;
    // Asks the relink question for what waits, and relinks or remembers the No.
    void AskWaiting();
    // Points every entry of the project that uses an old path at its new one.
    void Relink(const std::vector<FoundFile>& found);

    CKvFiler& filer_;
    HWND container_ = nullptr;
    bool resting_ = false;
    DirectoryWatch watch_;
    RootAvailability roots_;
    std::unordered_set<std::wstring> pending_;  // upper-cased directories reported and not yet swept
    bool gathered_ = false;
    uint32_t gatheredEntries_ = 0;  // the folder's generation when its directories were gathered
    DWORD lastPeriodic_ = 0;
    DWORD lastSlow_ = 0;  // when the paths that may keep a call waiting were last asked about
    bool rowsChanged_ = false;  // since the status bar was last told
    // Reported changes go first; the periodic check waits (keeping its place) while they run.
    Sweep reported_;
    Sweep periodic_;

    MovedSearch search_;
    std::unordered_set<std::wstring> searched_;  // upper-cased paths looked for during this showing
    bool onDemand_ = false;  // the running search was asked for from the entry menu
    bool asking_ = false;    // the relink question is open
    std::unique_ptr<std::vector<FoundFile>> waiting_;  // found files whose question waits for the user
    std::function<void(bool, size_t)> done_;  // the caller of FindMovedFiles, told when the search ends
};
