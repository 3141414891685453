// The find in the project: a find box above the filer and, while the user finds, a result list in
// the filer's place. Typing shows every entry of the whole project whose name, alias or path holds
// all the words typed (FindText.h, FindIndex.h), one row per entry with its folder's path in the
// tree as a column; the missing-entries command fills the same list with the entries whose files
// are gone (checked in the background, MissingCheck.h). Enter or a double click opens a row's
// entry as its own folder would, Ctrl+Enter and the menu's jump show the entry selected in its
// folder, Esc returns to the folder shown before, and the entry menu acts on the rows selected.
//
// The pane is one child window ("CKvFind") of the main window over the filer's column: only the
// find box strip while nothing is found, the whole column while the result list is shown (the
// filer is hidden meanwhile and keeps its folder). Rows point into the folder model; before a row
// is used after the model changed (FolderModelStamp), the rows are checked again, so a row never
// outlives its entry. UI thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Find/FindIndex.h"
#include "Find/MissingCheck.h"
#include "Kv/KvHandles.h"

class CEntry;
class CFolder;

class CFindPane {
public:
    enum class Mode { None, Find, Missing };

    CFindPane();
    ~CFindPane();
    CFindPane(const CFindPane&) = delete;
    CFindPane& operator=(const CFindPane&) = delete;

    // The pane window with its find box and (hidden) result list in `parent`. False when a window
    // cannot be made.
    bool Create(HWND parent, HINSTANCE instance);
    // Stops the check, destroys the windows, forgets the index.
    void Destroy();
    // Places the pane in the filer's column and returns the height of the find box strip, below
    // which the filer goes.
    int Layout(int x, int y, int width, int height);
    // Scales the pane to `dpi`: the font of the box and the list, the box's height and the list's
    // column widths; the pane is laid out again in its place. Create takes the parent's DPI.
    void SetDpi(UINT dpi);

    HWND Hwnd() const { return pane_; }
    HWND FindBox() const { return edit_; }
    HWND ResultList() const { return list_; }
    Mode CurrentMode() const { return mode_; }
    bool ResultsShown() const { return mode_ != Mode::None; }

    // Ctrl+F and the tool button: the focus in the find box, its text selected.
    void FocusFindBox();
    // The missing-entries command: the list shows the entries whose files are gone as the check
    // finds them.
    void ShowMissing();
    // Esc: the find box emptied, the list hidden, the filer's folder shown again (the root when
    // that folder is gone).
    void End();
    // The filer showed a folder by other means (the tree, back, up): the list is put away.
    void FilerShowedFolder();

    // The rows, checked against the model first.
    size_t RowCount();
    CEntry* RowEntry(int row);
    CFolder* RowFolder(int row);
    std::vector<int> SelectedRows() const;
    // The folder's place in the tree as "親 › 子 › 孫" (the separator is "»" where the list's font
    // has no "›", as Wine's default font).
    std::wstring FolderText(const CFolder* folder);
    const std::wstring& FolderSeparator() const { return separator_; }

    // Opens the entry of `row` as its own folder would (a subfolder is shown, a file is opened with
    // its program or the shell, a missing file is left alone).
    void Open(int row);
    // Ends the find and shows the entry of `row` selected in its folder.
    void Jump(int row);
    // Removes the selected rows' entries from their folders after one question (as the filer's
    // Delete does: files stay on disk, an entry's backup is deleted only when the user says so).
    int RemoveSelected();
    // Missing list: looks for the moved files of every row (all) or of the selected rows at once.
    // After the relink question, for every row, the rows whose files are still gone are offered for
    // removal in one question; for the selected rows, a box says so when nothing was found.
    void FindMoved(bool all);
    // Missing list: removes every row's entry from its folder after one question (backups stay).
    int RemoveAllMissing(bool askFirst);
    // The entry menu of the selected rows, tracked at `screen`; a menu command (ids as the filer's).
    void ShowMenu(POINT screen);
    void RunMenuCommand(UINT id);

    FindIndex& Index() { return index_; }
    const std::wstring& StatusText() const { return status_; }
    // The missing-entries check is taking the entries or looking at their files.
    bool MissingCheckRunning() const { return taking_ || check_.Running(); }

private:
    friend LRESULT CALLBACK FindPaneProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK FindBoxProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK FindListProc(HWND, UINT, WPARAM, LPARAM);

    struct Row {
        CFolder* folder;
        CEntry* entry;
        uint64_t stamp;  // the folder's stamp when the row was checked
    };

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnNotify(NMHDR* header);
    // Keys of the find box and the list; true when the key was taken.
    bool OnFindBoxKey(WPARAM key);
    bool OnListKey(WPARAM key);
    void OnTextChanged();
    // Brings the index up to date in slices and shows the query's rows when it is.
    void RunQuery();
    // The missing-entries list: the entries' paths copied in slices, then the check started.
    void TakeEntries();
    void OnMissingBatch(WPARAM wp, LPARAM lp);
    // The search for moved files ended (finished: it ran to its end and the relink question was
    // answered; found: the files it found).
    void OnMovedSearchDone(bool finished, size_t found, bool all);

    void ShowResults(Mode mode);
    // Puts the list away; the filer's folder is shown again when `restore`.
    void Close(bool restore);
    void SetRows(std::vector<Row> rows);
    // Drops the rows whose entries are gone (Find: the query is run again on the updated index).
    void CheckRows();
    // The list told of the rows; with keepSelection (rows only added at the end) its selection stays.
    void RowsChanged(bool keepSelection = false);
    void UpdateStatus();
    void TellTools();
    void OnGetDisplayInfo(NMLVDISPINFOW& info);
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);
    int IconOf(const CEntry& entry);
    // Runs `action` with the filer's reports of shown folders not ending the find.
    template <class Action>
    void Quietly(Action action) {
        const bool was = quiet_;
        quiet_ = true;
        action();
        quiet_ = was;
    }

    HWND pane_ = nullptr;
    HWND edit_ = nullptr;
    HWND list_ = nullptr;
    WNDPROC prevEditProc_ = nullptr;
    WNDPROC prevListProc_ = nullptr;
    // The font for dpi_ into the box and the list, and the box's height and the separator for it.
    void ApplyFont();
    int boxHeight_ = 0;
    UINT dpi_ = 96;
    kv::UniqueFont font_;  // of the box and the list, at dpi_
    std::wstring separator_ = L" \u203A ";
    RECT column_{};

    Mode mode_ = Mode::None;
    bool quiet_ = false;          // the pane itself is changing the filer or the find box
    bool sliceQueued_ = false;    // a message to go on building the index is on its way
    bool statusQueued_ = false;   // a message to tell the status bar and tool bar is on its way
    bool toolsTold_ = false;      // the tool bar was told, of removeOffered_, since the list was shown
    bool removeOffered_ = false;
    FindIndex index_;
    FindQuery query_;
    FindQuery lastQuery_;
    std::vector<FindHit> lastHits_;
    bool lastHitsValid_ = false;
    std::vector<Row> rows_;
    uint64_t rowsStamp_ = 0;
    std::unordered_map<const CFolder*, std::wstring> folderTexts_;
    std::unordered_map<std::wstring, int> icons_;  // upper-cased extension -> system icon
    std::wstring status_;

    MissingCheck check_;
    std::vector<Row> checked_;  // the entries given to the running check, by position
    uint64_t checkedStamp_ = 0;  // FolderModelStamp when they were taken
    bool taking_ = false;        // the entries are being taken, slice by slice
    std::vector<CFolder*> takeFolders_;
    size_t takeNext_ = 0;
    uint64_t takeStamp_ = 0;
    std::vector<std::wstring> takePaths_;
    size_t missingFound_ = 0;
    bool checking_ = false;
    bool movedSearching_ = false;
};

// Posted to the pane: go on building the index and run the query; the rows changed; a batch of the
// missing-entries check; the status bar and tool bar to be told of the rows; go on taking the
// entries for the check.
constexpr UINT kMsgIndexSlice = WM_APP + 0x40;
constexpr UINT kMsgRowsChanged = WM_APP + 0x41;
constexpr UINT kMsgMissingBatch = WM_APP + 0x42;
constexpr UINT kMsgStatus = WM_APP + 0x43;
constexpr UINT kMsgTakeEntries = WM_APP + 0x44;
// A slice of the pane's own work on the UI thread (building the index, taking the entries for the
// check) leaves the window this long between messages at most.
constexpr DWORD kSliceMilliseconds = 25;

// The single find pane.
CFindPane& FindPane();
