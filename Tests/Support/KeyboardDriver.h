// Driving a modal window by keyboard alone: keys are posted to the focused control of this thread,
// so the modal loop's dialog handling (Tab, Enter, Esc, Ctrl+Tab) sees them as it would see a real
// keyboard; Ctrl and Shift are set in the thread's key state while the key is handled. A script of
// steps runs one step at a time from a thread timer, which fires only when the queue is empty, so
// each step sees everything the keys of the steps before it have done.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tf_test {

enum KeyModifiers { kPlain = 0, kCtrl = 1, kShift = 2 };

// Posts the key's press and release to the focused window (the active window when none has focus).
void PressKey(UINT vk, int modifiers = kPlain);
// Posts the characters to the focused window, as typing them would.
void TypeText(const std::wstring& text);
// The control id of the focused window, 0 when none.
int FocusedId();

// A script of steps. A step returns true when done; a step returning false runs again at the next
// tick (for example, pressing Tab until a control has focus). Steps run until the last is done or
// kScriptLimitMs have passed (then the script fails the test, before the modal watchdog would).
class KeyScript {
public:
    using Step = std::function<bool()>;
    static constexpr DWORD kScriptLimitMs = 10000;

    KeyScript() = default;
    ~KeyScript();
    KeyScript(const KeyScript&) = delete;
    KeyScript& operator=(const KeyScript&) = delete;

    KeyScript& Then(Step step);
    // Starts running the steps; the caller's modal loop runs them.
    void Start();
    bool Finished() const { return next_ >= steps_.size(); }

    static KeyScript* running;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::vector<Step> steps_;
    size_t next_ = 0;
    DWORD started_ = 0;
    UINT_PTR timer_ = 0;
};

// Steps shared by the dialog walks.
KeyScript::Step Press(UINT vk, int modifiers = kPlain);
KeyScript::Step Type(const std::wstring& text);
// Presses Tab until the control with `id` has focus.
KeyScript::Step TabTo(int id);
// Presses Tab around the whole dialog from where the focus is, recording each focused window into
// `reached` (stops when the focus comes back to where it began).
KeyScript::Step TabAround(std::vector<HWND>& reached);

// The visible, enabled controls below `dlg` that take input (edits, buttons but group boxes, lists,
// combo boxes, list views, tab strips); of a radio group only its first button.
std::vector<HWND> InputControls(HWND dlg);
// Those of InputControls(dlg) that are not in `reached` (a radio group counts as reached when any of
// its buttons is), described for a failure message; empty when all were reached.
std::wstring Unreached(HWND dlg, const std::vector<HWND>& reached);

// The menu a window opened with TrackPopupMenu, while it is open: its screen rectangle; false when
// no menu is open.
bool OpenMenuRect(RECT& rect);

}  // namespace tf_test
