// The filer: the right-hand pane of the main window, a virtual (owner-data) report list of the
// entries of the current folder. It keeps the current folder and a back/forward history, makes each
// entry's display data from the shell, hands texts to the list view on request, sorts by a clicked
// column, adds paths to folders and owns the kind object that specialises it for plain, music and
// image folders. It is also the list view's drop target. What lies outside its windows (tool bar,
// status bar, title, tree, view menu) it reaches only through its FilerHost (FilerHost.h).
// UI thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <oleidl.h>

#include <array>
#include <cstdint>
#include <functional>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Document/FilerViewMode.h"
#include "Filer/FilerHistory.h"
#include "Kv/KvHandles.h"

class CFolder;
class CEntry;
class CDataObject;
class CFilerKind;
class FilerHost;
struct FilerCaches;
class FilerDisplaySource;
struct FilerMenuState;
class DirectoryWatch;
class FilerDisplayWorker;
class FilerFollow;
struct EntryDisplay;
struct PathDisplay;

constexpr int kFilerColumnCount = 5;
using FilerColumnWidths = std::array<uint32_t, kFilerColumnCount>;

// The automatic search of a folder whose settings ask for a search each time it is shown. The
// search unit implements it and registers it with CKvFiler::SetAutoSearch; its worker queues what it
// finds and calls `wake` when the queue was empty and at its end, and the filer takes the queue on
// the UI thread at once, or at the latest at the next tick of a short timer while the search runs
// (a wake-up lost to a full message queue is made up there), adding to the folder shown. Before it shows any folder the filer stops the search and
// adds what was still queued to the folder searched, so a match is neither lost nor added to another
// folder.
class FilerAutoSearch {
public:
    virtual ~FilerAutoSearch() = default;
    // Starts the search of `folder` unless one is running; `wake` may be called from any thread.
    virtual void Start(CFolder& folder, std::function<void()> wake) = 0;
    // Tells the worker to stop and returns at once (never waiting for it) with the paths found and
    // not taken yet; what the worker finds after the stop is dropped.
    virtual std::vector<std::wstring> Stop() = 0;
    virtual bool Running() const = 0;
    // The paths found since the last call, in the order found.
    virtual std::vector<std::wstring> TakeFound() = 0;
};

class CKvFiler : public IDropTarget {
public:
    CKvFiler();
    virtual ~CKvFiler();
    CKvFiler(const CKvFiler&) = delete;
    CKvFiler& operator=(const CKvFiler&) = delete;

    // IUnknown: the filer is a process-wide object; the reference count never frees it.
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDropTarget (FilerDropTarget.cpp).
    STDMETHODIMP DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) override;
    STDMETHODIMP DragOver(DWORD keyState, POINTL pt, DWORD* effect) override;
    STDMETHODIMP DragLeave() override;
    STDMETHODIMP Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) override;

    // Container window "CKvFiler" at (0, top) in `parent` with the list view over all of it, the
    // five columns, the system image lists and the plain kind; the current folder becomes the root
    // and the host hears of it. `host` (may be null) stays the filer's host until Destroy. False
    // when the class, a window or the kind cannot be made.
    bool Create(HWND parent, HINSTANCE instance, int top, int width, int height, FilerHost* host);
    // Revokes the drop target, stops the automatic search, frees the kind, destroys both windows
    // and forgets the host.
    void Destroy();

    FilerHost* Host() const { return host_; }
    void SetAutoSearch(FilerAutoSearch* search) { autoSearch_ = search; }

    // Reuses the kind object when it reports `kind`, else replaces it; then attaches it.
    bool SelectKind(unsigned kind);
    // Makes `folder` current; the display data of all its entries is made anew, on demand for the
    // rows on screen and in the background for the rest. Every navigation and every refresh after a
    // change of the current folder's entries goes through here.
    bool ShowFolder(CFolder* folder, bool takeFocus);
    // ShowFolder with focus, history push, tool bar update and the navigation sound.
    void NavigateTo(CFolder* folder);
    void GoBack();
    void GoForward();
    void GoUp();
    // The current folder shown again without focus, its display data made anew.
    void Refresh();

    // A FilerViewMode; the host hears of it.
    void SetViewMode(unsigned mode);
    unsigned ViewMode() const { return viewMode_; }
    // The list view shows `mode` while the filer's own view mode stays; a folder kind with a view of
    // its own uses it, and ShowListStyle(ViewMode()) puts the filer's back.
    void ShowListStyle(unsigned mode);
    // The view menu's view commands offered or greyed (through the host).
    void EnableViewCommands(bool enabled);
    // The shell's system image lists as the list view's icons again.
    void AttachSystemImageLists();

    // Fills the display fields of `entry` (at `index` in the current folder) from the file system.
    // An entry whose path may keep a call waiting (KvMayBlock) gets what is known without a call and
    // is marked awaiting; its display worker fills in the rest later (FilerDisplayWorker.h). False
    // only when the entry cannot be described at all.
    bool MakeDisplayData(CEntry& entry, int index);
    // Asks the display worker to describe an entry again (the live view's check of a path that may
    // keep a call waiting); the row keeps what it shows until the answer comes.
    void AskDisplayAgain(CEntry& entry, int index);
    // MakeDisplayData unless the entry's data is current for this showing.
    bool EnsureDisplayData(CEntry& entry, int index);
    // Makes the display data of every entry of the current folder that has none yet (sorting,
    // type-ahead and tests need all of it); says so in the status bar when that takes a while.
    void CompleteDisplayData();
    // True while entries of the current folder still wait for their display data.
    bool DisplayQueueRunning() const { return displayQueueOn_; }

    // Adds `path` to the current folder. An existing entry of the same resolved path is selected
    // when `selectExisting`, and nothing is added. True when an entry was added.
    bool AddPath(const std::wstring& path, bool selectExisting);
    // AddPath for each path in order, with one update of the list's item count at the end (the
    // update is the costly part of a bulk add). Returns the number of entries added.
    int AddPaths(const std::vector<std::wstring>& paths, bool selectExisting);
    // Paths handed in from outside the program (Explorer's Send To, a command line) added to the
    // current folder: the new entries and the existing ones of those paths become the selection, the
    // first of them focused and scrolled into view. Returns the number of entries added.
    int AddAndSelect(const std::vector<std::wstring>& paths);
    // AddPath for the current folder; for another folder appends an entry with only its path set,
    // unless the folder already holds the path. True when an entry was added.
    bool AddPathToFolder(CFolder* folder, const std::wstring& path);

    // New subfolder entry of a FolderKind (any other number makes a plain one) in the current
    // folder, then label editing on it.
    bool NewFolder(unsigned kind);
    // Type-ahead: entries whose label begins with `text` (ASCII letters case-insensitive) first;
    // then the first item alone is selected and focused.
    void BringMatchesToFront(const std::wstring& text);

    // Sorts the current folder by a column (0-4) in the direction its sort bit chooses.
    void SortByColumn(int column);
    // Opens the entry at `index`: a subfolder navigates, a missing entry does nothing, anything
    // else goes to the kind.
    void OpenEntry(int index);

    // The files of the selected entries (neither subfolder nor missing entries), in selection
    // order, as one file list on the clipboard. False when there were none or the clipboard could
    // not be taken.
    bool CopySelected();
    // Every path of the clipboard's file list added with AddPath(path, true); the count added.
    int PasteFiles();
    // Removes the selected entries from the current folder; files on disk are never touched. With
    // askFirst the user confirms the removal first. An entry with backup data asks whether its
    // backup directory goes too, and Cancel there ends the run (entries already removed stay
    // removed). The folder is then shown again. Returns the number of entries removed.
    int RemoveSelected(bool askFirst);
    // The context menu for the current selection, tracked at `at` (screen coordinates; null: at the
    // cursor); the choice is run.
    void ShowContextMenu(const POINT* at = nullptr);
    // Where the keyboard's context menu (Shift+F10, the Apps key) opens: below the focused item when
    // it is selected, else below the first selected one, scrolled into view; the list's top left
    // corner when nothing is selected. Screen coordinates.
    POINT KeyboardMenuPoint() const;
    // A context-menu command (10-30, 100 + k, 1000 + k) as the list view receives it.
    void RunMenuCommand(int id);
    // Looks for the moved file of a missing entry in the background and offers to relink it
    // (FilerFollow.h); says so when nothing is found.
    void FindMovedEntry(const CEntry& entry);
    // Looks for the moved files of several missing entries of any folders at once; the relink
    // question follows, then `done` (FilerFollow::FindMovedFiles).
    void FindMovedFiles(const std::vector<std::wstring>& paths, std::function<void(bool, size_t)> done);
    // True while a search for moved files runs.
    bool SearchingMovedFiles() const;
    // The main window was minimised or hidden in the tray (true) or is back: the live view rests
    // meanwhile (FilerFollow::SetResting).
    void WindowResting(bool resting);
    // The main window heard that drives or media came or went (WM_DEVICECHANGE broadcast).
    void DevicesChanged();
    // For tests: the live view's directory watch.
    const DirectoryWatch& LiveWatch() const;
    // Indexes of the selected items in ascending order, and their entries in the same order.
    std::vector<int> SelectedIndexes() const;
    std::vector<CEntry*> SelectedEntries();

    // Drag and drop (FilerDrag.cpp, FilerDropTarget.cpp). LVN_BEGINDRAG: the selected files go out
    // through OLE's modal drag, which returns when the drop is done or cancelled.
    void BeginDrag(const NMLISTVIEW& info);
    // What a drag of the current selection offers (FileDragData.h), one reference owned by the
    // caller; null when no selected entry names a file (subfolder and missing entries do not).
    CDataObject* MakeDragData();
    // Set only while a drag started in this filer runs.
    bool InternalDrag() const { return internalDrag_; }
    // The drop-highlighted item during a drag in this filer, -1 when none.
    int DropHighlight() const { return dropHighlight_; }

    // Project file: the five widths taken in report view in 96-DPI pixels, and the view mode in force.
    FilerColumnWidths ReadColumns() const;
    // Report view, the widths (low 16 bits, 96-DPI pixels, shown scaled), then the stored view mode.
    void ApplyColumns(const FilerColumnWidths& widths, unsigned viewMode);
    // Scales the list to `dpi` (Create takes the parent's): its font and the column widths.
    void SetDpi(UINT dpi);
    UINT Dpi() const { return dpi_; }
    // After a project is loaded: the root shown with focus, the history holding only its id.
    void ShowRootAfterLoad();

    CFolder* CurrentFolder() const { return current_; }
    HWND ListView() const { return listView_; }
    HWND Container() const { return container_; }
    CFilerKind* Kind() const { return kind_.get(); }
    bool Busy() const { return busy_; }
    const FilerHistory& History() const { return history_; }

    // The entry at `index` of the current folder (null past the end), with its display data made,
    // through the one-entry position cache that makes requests in row order cheap.
    CEntry* EntryAtIndex(int index);
    // Index of the first selected item, -1 when none.
    int FirstSelected() const;
    // Redraws one row after its display fields changed.
    void UpdateItem(int index);
    // Display data pieces (FilerDisplay.cpp): the fields every making starts from, the answer of a
    // description applied, the generation and icon set last.
    EntryDisplay& ClearedDisplay(CEntry& entry);
    void ApplyPathDisplay(CEntry& entry, int index, const PathDisplay& display, bool offline, int programIcon);
    void FinishDisplayData(CEntry& entry, int index, int icon);
    // Queues `entry` for the display worker; false when there is no worker to ask.
    bool AskDisplayWorker(CEntry& entry, int index, const std::wstring& resolved);
    void OnDisplayAnswers();
    // The index of `entry` in the current folder, -1 when it is not there.
    int IndexOfEntry(const CEntry* entry);

    // Label editing (FilerLabelEdit.cpp). Results follow LVN_BEGINLABELEDIT/LVN_ENDLABELEDIT.
    BOOL OnBeginLabelEdit(const NMLVDISPINFOW& info);
    BOOL OnEndLabelEdit(const NMLVDISPINFOW& info);

private:
    friend LRESULT CALLBACK FilerContainerProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK FilerListViewProc(HWND, UINT, WPARAM, LPARAM);
    friend class FilerFollow;

    // Keys, characters, the type-ahead timer, the right button and menu messages of the list view
    // (FilerInput.cpp); true with *result set when the message is not to reach the list view.
    bool OnListInput(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
    void OnListChar(WPARAM ch);
    void OnRightButtonUp(POINT at);
    FilerMenuState& MenuState();

    // Drag and drop helpers (FilerDrag.cpp, FilerDropTarget.cpp).
    bool BeginDragImage(const std::vector<int>& indexes, POINT cursor);
    void EndDragImage();
    void RunDrag(const std::vector<std::wstring>& paths);
    int DropTargetAt(POINT client);
    void SetDropHighlight(int index);
    void RepaintDuringDrag();
    void AutoScroll(POINT client, POINTL screen);
    void MoveSelectionInto(CEntry& target);
    void OpenSelectionWith(const CEntry& program);
    // What DragOver and Drop do; the COM methods only guard them.
    DWORD DragOverEffect(POINTL pt);
    DWORD DropEffect(IDataObject* data, POINTL pt);
    DWORD DropFiles(IDataObject* data);
    // The container's messages: size, timers, list view notifications, found paths.
    LRESULT HandleContainerMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnNotify(NMHDR* header);
    LRESULT OnListViewMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void OnGetDisplayInfo(NMLVDISPINFOW& info);
    void OnSelectionChanged();
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);
    // Starts the automatic search of the folder just shown when its settings ask for it.
    void StartAutoSearch(CFolder& folder);
    // The automatic search's timer (false when not ours): adds what it found since the last tick.
    bool OnFoundTimer(UINT_PTR timerId);
    void AddFoundPaths();
    // Stops the automatic search and adds what it still held to the folder it searched.
    void StopAutoSearch();
    void InsertColumns(int width);
    // The list's column widths in pixels, read or set in report view whatever view is shown.
    FilerColumnWidths ColumnPixels() const;
    void SetColumnPixels(const FilerColumnWidths& pixels);
    void ApplyListFont();  // the list's font at dpi_
    void ClearDisplayData(CFolder& folder);
    // The background completion of display data (FilerDisplayQueue.cpp).
    void StartDisplayQueue();
    bool OnDisplayTimer(UINT_PTR timerId);
    bool ContinueDisplayQueue(DWORD milliseconds);
    // The list's item count and the status bar's count and sum after the shown entries changed.
    void SetItemCount();
    // Lays the items out in index order in icon and small-icon views.
    void ArrangeIcons();
    // AddPath without the item count update.
    bool AppendPath(const std::wstring& path, bool selectExisting);
    // What the host hears (nothing without a host).
    void EnableTool(int command, bool enabled);
    void RedrawToolBar();
    void SetStatus(int part, const std::wstring& text);
    void SelectInTree(CFolder* folder);
    void SubfoldersChanged(CFolder* folder);
    void PlayNavigationSound();
    // Index of the first entry of the current folder with this resolved path, or -1; through the
    // path index, which is rebuilt when stale.
    int FindPath(const std::wstring& resolved);
    bool FolderInTree(const CFolder* folder) const;

    HWND container_ = nullptr;
    HWND listView_ = nullptr;
    kv::UniqueFont listFont_;      // the list view's font at dpi_
    UINT dpi_ = 96;
    WNDPROC prevListProc_ = nullptr;
    FilerHost* host_ = nullptr;  // owned by the filer's owner; null: nothing outside is told
    unsigned viewMode_ = kFilerViewReport;
    CFolder* current_ = nullptr;
    FilerHistory history_;
    std::unique_ptr<CFilerKind> kind_;
    FilerAutoSearch* autoSearch_ = nullptr;  // owned by the search unit
    bool busy_ = false;
    bool dropTargetRegistered_ = false;
    LONG refCount_ = 1;

    POINT rightDown_{};       // where the right button went down, client coordinates
    std::wstring typeAhead_;  // letters typed within the last second
    // The application lists and shell menu of the context menu (FilerMenu.h).
    std::unique_ptr<FilerMenuState> menu_;

    // Drag and drop. The data object of a drag over the list is held from DragEnter to DragLeave or
    // Drop. The drag image list lives from the start of an internal drag to its end. Owner-data
    // list views keep no drop-highlight state, so the filer keeps it and reports it through the
    // list view's callback mask.
    kv::ComPtr<IDataObject> dragData_;
    bool internalDrag_ = false;
    kv::UniqueImageList dragImage_;
    int dropHighlight_ = -1;

    // The one-entry position cache of display requests and the resolved-path index of AddPath
    // (FilerCaches.h).
    std::unique_ptr<FilerCaches> caches_;
    // Where display data comes from, and the showing it belongs to (EntryDisplay::generation).
    std::unique_ptr<FilerDisplaySource> displaySource_;
    std::unique_ptr<FilerDisplayWorker> displayWorker_;
    uint32_t displayGeneration_ = 1;
    bool displayQueueOn_ = false;
    // The live view of the shown folder (FilerFollow.h).
    std::unique_ptr<FilerFollow> follow_;
};

// The single filer.
CKvFiler& Filer();
