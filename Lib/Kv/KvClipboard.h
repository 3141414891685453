// Clipboard blocks and shell item lists used by the filer's copy, paste and drag and drop.
//
// File-drop block (the clipboard's CF_HDROP format) as KvMakeFileDrop builds it:
//   offset 0  DWORD  offset of the file list = 20
//   offset 4  POINT  drop point (0, 0)
//   offset 12 BOOL   non-client flag 0
//   offset 16 BOOL   wide flag 1
//   offset 20        each path in UTF-16 with its terminating NUL, then one more NUL
// in movable zero-initialised global memory of sum((characters + 1) * 2) + 24 bytes, so the block
// always ends in at least two zero characters.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <string>
#include <vector>

// Movable, zero-initialised global memory holding `text` and its NUL; null on failure. The caller
// owns it until it is handed to the clipboard.
HGLOBAL KvMakeTextGlobal(const std::wstring& text);

// The file-drop block above for `paths` in order; null on failure. A path that is empty or holds a
// NUL cannot be carried in the block (it would end the list early) and makes the call fail. The
// caller owns the block until it is handed to the clipboard or a data object.
HGLOBAL KvMakeFileDrop(const std::vector<std::wstring>& paths);

// When the clipboard holds a file list, opens the clipboard for `owner`, appends every listed path
// to `paths` in order and returns true; false when there is no file list or the clipboard cannot be
// opened. Paths longer than KvMaxDropPathChars are skipped: a cut path would name another file.
constexpr size_t KvMaxDropPathChars = 519;
bool KvReadClipboardFiles(HWND owner, std::vector<std::wstring>& paths);

// The paths of a file-drop block in order. Paths longer than `maxChars` are skipped, never cut.
std::vector<std::wstring> KvReadFileDrop(HDROP drop, size_t maxChars);

// Asks `data` for a file list (CF_HDROP, content aspect, global memory) and reads it as
// KvReadFileDrop does. False when the object supplies no file list; true (possibly with no paths)
// when it does. The medium is released before returning.
bool KvReadDataObjectFiles(IDataObject* data, size_t maxChars, std::vector<std::wstring>& paths);

// The shell item id list of `path` parsed by the desktop folder (an absolute list), or by `folder`
// (a list relative to it); null on failure. The caller frees it with CoTaskMemFree.
LPITEMIDLIST KvPathToItemList(const std::wstring& path);
LPITEMIDLIST KvPathToItemList(IShellFolder* folder, const std::wstring& path);
