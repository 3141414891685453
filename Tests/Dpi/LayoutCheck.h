// What a window looks like to the scale test: every control's text within the control, and no two
// visible sibling controls overlapping, checked through the whole tree of child windows. Each fault
// is one line naming the window's class, identifier and text.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tf_test {

std::vector<std::wstring> LayoutProblems(HWND window);

// The window as it stands on the screen, written as a PNG file; false when it cannot be.
bool SaveWindowPicture(HWND window, const std::wstring& path);

}  // namespace tf_test
