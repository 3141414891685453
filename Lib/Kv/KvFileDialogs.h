// Choosers of the library: a folder through the shell's folder browser and an executable through
// the open-file dialog. Both are modal and run on the UI thread; COM must be initialised.
#pragma once

#include <windows.h>
#include <string>

// Shows the folder browser titled `title`, starting at `path` (its first 259 characters). When the
// user picks an item that has a file-system path, stores that path in `path` and returns true;
// otherwise leaves `path` unchanged and returns false.
bool KvBrowseForFolder(std::wstring& path, HWND owner, const wchar_t* title);

// Filter for the open-file dialog: "<ext> {*.<ext>}" with pattern "*.<ext>", then
// "すべてのファイル {*.*}" with pattern "*.*", each string NUL-terminated and the whole ended by a
// second NUL (the returned string holds those NULs).
std::wstring KvMakeExtensionFilter(const wchar_t* extension);

// Lets the user choose an existing executable file. Returns the chosen path (at most 511
// characters) in a process-wide buffer valid until the next call, or null when nothing was chosen.
// The current directory is left as it was.
const wchar_t* KvChooseExecutable(HWND owner);
