// The state and control identifiers of the search settings dialog, shared by its command handling
// (SearchEntryDlg.cpp) and its control creation (SearchEntryDlgControls.cpp).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Document/Folder.h"
#include "Kv/KvHandles.h"

namespace search_entry_dlg {

enum ControlId {
    kTabId = 200,
    kPathEditId = 201,
    kPathLabelId = 202,
    kBrowseId = 203,
    kAddFolderId = 204,
    kRemoveFolderId = 205,
    kChangeFolderId = 206,
    kListLabelId = 207,
    kFolderListId = 208,
    kAllLevelsId = 211,
    kLimitLevelsId = 212,
    kDepthId = 213,
    kIncludeCheckId = 214,
    kIncludeId = 215,
    kExcludeCheckId = 216,
    kExcludeId = 217,
};

// The record shown in the lower controls: none, the copy's own single search folder, or an item
// of the copy's list (an index, as the list may grow or shrink while it is shown).
constexpr int kShowNone = -2;
constexpr int kShowSingle = -1;

// The depth box: numbers 1 to 999.
constexpr int kMinDepth = 1;
constexpr int kMaxDepth = 999;
constexpr int kDepthDigits = 3;

struct DlgState {
    SearchSettings* settings = nullptr;
    SearchSettings copy;
    int shown = kShowNone;
    std::vector<std::wstring>* results = nullptr;
    HWND page = nullptr;
    kv::UniqueFont font;
    // Set while the dialog itself writes control texts, so their change notices change nothing.
    bool filling = false;
};

// The tab control with its two tabs, the tab page over its display area holding every other
// control, and buttons 1 and 2. False when the tab control or the page cannot be made.
bool CreateSearchEntryControls(DlgState& s, HWND dlg);

}  // namespace search_entry_dlg
