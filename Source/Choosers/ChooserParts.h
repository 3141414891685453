// What the chooser dialogs show for a program: the shell's display name and small icon.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace chooser_ui {

// The shell's display name and index in the system's small image list of `path`. False when the
// shell cannot parse the path (the program does not exist, say).
bool ProgramDisplay(const std::wstring& path, std::wstring& name, int& icon);
// The system's small image list (owned by the system, never destroyed).
HIMAGELIST SystemSmallImages();

}  // namespace chooser_ui
