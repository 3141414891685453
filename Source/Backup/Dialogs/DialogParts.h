// Small pieces shared by the backup dialogs: push buttons in the standard font and centring a
// dialog on its owner.
#pragma once

#include <windows.h>

#include <string>

namespace backup_ui {

HWND CreateButton(const wchar_t* text, int x, int y, int width, int height, HWND parent, int id, HFONT font);
// Moves `dlg` (keeping its size) so that its centre is the owner's centre.
void CentreOnOwner(HWND dlg);
// The whole text of dialog item `id` (edits here may hold more than the toolkit's 255 characters).
std::wstring ItemText(HWND dlg, int id);
// The client width of `hwnd`.
int ClientWidth(HWND hwnd);

}  // namespace backup_ui
