// Small pieces shared by the backup dialogs: push buttons in the standard font and centring a
// dialog on its owner.
#pragma once

#include <windows.h>

namespace backup_ui {

HWND CreateButton(const wchar_t* text, int x, int y, int width, int height, HWND parent, int id, HFONT font);
// Moves `dlg` (keeping its size) so that its centre is the owner's centre.
void CentreOnOwner(HWND dlg);
// The client width of `hwnd`.
int ClientWidth(HWND hwnd);

}  // namespace backup_ui
