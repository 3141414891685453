// Small pieces shared by the search dialogs: push buttons and group boxes in the standard font,
// centring on the owner, and whole control texts.
#pragma once

#include <windows.h>

#include <string>

namespace search_ui {

HWND CreateButton(const wchar_t* text, int x, int y, int width, int height, HWND parent, int id, HFONT font,
                  DWORD extraStyle = 0);
// Moves `dlg` (keeping its size) so that its centre is its owner's centre (the desktop's without
// an owner).
void CentreOnOwner(HWND dlg);
// The whole text of a window (paths may be longer than the toolkit's 255-character reader).
std::wstring WholeText(HWND hwnd);
SIZE ClientSize(HWND hwnd);

}  // namespace search_ui
