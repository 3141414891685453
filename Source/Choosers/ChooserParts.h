// Small pieces the chooser dialogs share: controls in a given font, centring on the owner, the full
// text of an item, and what the shell shows for a program (display name and small icon).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace chooser_ui {

HWND CreateButton(const wchar_t* text, int x, int y, int width, int height, HWND parent, int id, HFONT font);
HWND CreateGroup(const wchar_t* text, int x, int y, int width, int height, HWND parent, HFONT font);
// Moves `dlg` (keeping its size) so that its centre is its owner's centre (the desktop's without one).
void CentreOnOwner(HWND dlg);
// The whole text of dialog item `id`.
std::wstring ItemText(HWND dlg, int id);
int ClientWidth(HWND hwnd);

// The shell's display name and index in the system's small image list of `path`. False when the
// shell cannot parse the path (the program does not exist, say).
bool ProgramDisplay(const std::wstring& path, std::wstring& name, int& icon);
// The system's small image list (owned by the system, never destroyed).
HIMAGELIST SystemSmallImages();

}  // namespace chooser_ui
