// Every file and program the organiser opens goes through here: the shell's "open" verb with a
// normal window and no working directory. Tests replace the call to record what would be opened.
#pragma once

#include <windows.h>
#include <functional>
#include <string>

// Opens `file` (a document, directory or program) with `parameters` (may be empty). True when the
// shell accepted it.
bool ShellOpen(HWND owner, const std::wstring& file, const std::wstring& parameters);

// Test seam: while set, ShellOpen calls this instead of the shell. An empty function restores it.
using ShellOpenHook = std::function<bool(const std::wstring& file, const std::wstring& parameters)>;
void SetShellOpenHook(ShellOpenHook hook);
