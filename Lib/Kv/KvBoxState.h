// Shared by the toolkit's boxes (not part of the library's interface). Each kind of box keeps its
// state in one process-wide object, but a box of a kind may be opened while another of the same
// kind is running (from a timer, a hook or a nested window). The opening call parks the running
// box's state in a BoxStateScope for the length of its own run, and the parked states form a chain
// through `outer`, so the window procedure still finds the state of whichever box a message is for.
// State types need an `HWND hwnd` (set on WM_CREATE, cleared on WM_DESTROY) and a `State* outer`.
#pragma once

#include <windows.h>
#include <utility>

namespace kv {

template <typename State>
class BoxStateScope {
public:
    explicit BoxStateScope(State& current) : current_(current), saved_(std::move(current)) {
        current_ = State{};
        current_.outer = &saved_;
    }
    ~BoxStateScope() { current_ = std::move(saved_); }
    BoxStateScope(const BoxStateScope&) = delete;
    BoxStateScope& operator=(const BoxStateScope&) = delete;

private:
    State& current_;
    State saved_;
};

template <typename State>
State* FindBoxState(State& current, HWND hwnd) {
    for (State* s = &current; s; s = s->outer) {
        if (s->hwnd == hwnd) return s;
    }
    return nullptr;
}

}  // namespace kv
