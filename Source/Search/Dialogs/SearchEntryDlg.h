// The search settings dialog of a folder: one search folder or a list of them (two tabs), the
// level limit and the name filters of the folder shown, then the search itself in the result view.
// Modal window of class "CSearchEntryDlg"; the controls lie on a tab page (a modeless child dialog
// that hands its commands to the settings dialog).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Document/Folder.h"

class CSearchEntryDlg {
public:
    // Edits a copy of `settings`. Confirming writes the copy back to `settings` first (the settings
    // stay even when the result view is then cancelled) and runs the result view on them; true when
    // the view ended with add or cancel, `results` holding what is to be added (empty after a
    // cancel). Cancelling the dialog leaves `settings` as they were and returns false.
    static bool Run(SearchSettings& settings, HWND parent, const wchar_t* title, std::vector<std::wstring>& results);
};
