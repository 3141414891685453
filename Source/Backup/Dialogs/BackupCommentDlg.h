// A small editor for one version's comment. Modal window of class "CBackupCommentDlg".
#pragma once

#include <windows.h>

#include <string>

class CBackupCommentDlg {
public:
    // True when confirmed; `comment` then holds the edited text.
    static bool Run(std::wstring& comment, HWND parent, const wchar_t* title);
};
