// The windows the scale test opens, one row each: the main window first, then the dialogs. A row
// opens its window, hands it to `check` once it is shown and laid out, and closes it again; adding
// a window to the test is adding a row to DpiWindowRows (DpiWindows.cpp).
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

namespace tf_test {

using WindowCheck = std::function<void(HWND)>;

struct DpiWindowRow {
    const wchar_t* name;
    const wchar_t* picture;  // file name of its picture for the README at 150 %, or null
    void (*open)(const WindowCheck& check);
};

const std::vector<DpiWindowRow>& DpiWindowRows();

// For rows of modal windows: runs `run`, which opens a modal window of the toolkit, checks that
// window once it has painted and cancels it. A box the window opens in turn is cancelled unchecked.
void CheckModal(const std::function<void()>& run, const WindowCheck& check);

}  // namespace tf_test
