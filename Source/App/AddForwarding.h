// The sending side of /add: the paths made full and checked, and handed to the running instance
// the user used last (Commands/AddPathsMessage.h).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The paths as full paths (relative ones against the current directory). Paths that do not exist,
// or cannot be made full, are left out and named in `missing`.
std::vector<std::wstring> FullExistingPaths(const std::vector<std::wstring>& paths, std::vector<std::wstring>& missing);

// The main window of the most recently active running instance, or null.
HWND FindRecentInstance();

// Hands `paths` to the instance of `mainWindow`, which may come to the front. True when it took them.
bool ForwardPaths(HWND mainWindow, const std::vector<std::wstring>& paths);

// FindRecentInstance and ForwardPaths, waiting up to `waitMs` for an instance that is still starting
// (one holds the project's lock but has not loaded it yet).
bool ForwardToRunningInstance(const std::vector<std::wstring>& paths, DWORD waitMs);
