// What the chooser dialogs show for a program before the shell has described it.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace chooser_ui {

// The system's small icon of programs in general, from the extension alone (no file is read).
int PlaceholderProgramIcon();
// The system's small image list (owned by the system, never destroyed).
HIMAGELIST SystemSmallImages();

}  // namespace chooser_ui
