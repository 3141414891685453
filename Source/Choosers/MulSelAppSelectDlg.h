// The editor of one application of the project's list (the programs offered for several selected
// entries): its path, the extensions it is offered for and its menu caption. Modal window of class
// "CMulSelAppSelectDlg".
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Document/Project.h"

// The extensions typed in one field, separated by blanks: empty pieces are dropped, order is kept.
std::vector<std::wstring> SplitExtensions(const std::wstring& text);

class CMulSelAppSelectDlg {
public:
    // True when confirmed with OK; `app` then holds the edited fields.
    static bool Run(ProjectApp& app, HWND parent, const wchar_t* title);
};
