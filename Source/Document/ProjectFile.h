// Loading and saving the project file (.tfolder): the project's options, the main window's
// placement, the filer's columns, the folder id counter and the whole folder tree. Versions 1 to
// 10 are read, version 10 is written. UI thread only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

// Reads the file into Project(), the root folder and the id counter, then applies what it holds to
// the registered ProjectView (placement, title, options, filer columns, root folder shown).
// The sidecar of extras saved with that file (FolderExtras.h) is applied to the tree first.
// An empty file is a new project: only the path, the title and the default backup directory are
// taken. False, with nothing changed, when the file cannot be read, its magic is unknown, or it is
// truncated or inconsistent.
bool LoadProject(const std::wstring& path);

// LoadProject for a file at `path` that holds these bytes (LoadProject reads the file into memory
// and hands it here; tests feed it directly).
bool LoadProjectBytes(const std::wstring& path, const unsigned char* data, size_t size);

// Writes version 10. The new file is written beside the old one under a temporary name, flushed,
// and only then put in its place, so a failed save leaves the old file whole; then the sidecar of
// what the file has no field for (FolderExtras.h), the same way. False when either cannot be written.
bool SaveProject(const std::wstring& path);

// The project's safe save for any file: `write` fills a new file beside `path` (under a temporary
// name), which is flushed and only then moved over `path`. False, with `path` as it was, when
// `write` fails or the file cannot be written, flushed or moved; a read-only target is refused.
bool SaveFileSafely(const std::wstring& path, const std::function<bool(HANDLE file)>& write);
