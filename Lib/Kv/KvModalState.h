// The state of a modal dialog built in code. KvDoModal hands its window procedure no parameter, so
// the running dialog of each state type is found through one slot per type; a dialog that opens
// another of its own type (nested modal loops) gets its own state back when the inner one ends.
// UI thread only.
#pragma once

#include <windows.h>

#include "Kv/KvGuard.h"

template <class State>
struct KvModalSlot {
    State* state = nullptr;
    const wchar_t* procName = L"";  // names the dialog in the error box of an escaped exception
};

template <class State>
KvModalSlot<State>& KvModalCurrent() {
    static KvModalSlot<State> slot;
    return slot;
}

// Makes `state` the running dialog's for the scope's life.
template <class State>
class KvModalScope {
public:
    KvModalScope(State& state, const wchar_t* procName) : outer_(KvModalCurrent<State>()) {
        KvModalCurrent<State>() = {&state, procName};
    }
    ~KvModalScope() { KvModalCurrent<State>() = outer_; }
    KvModalScope(const KvModalScope&) = delete;
    KvModalScope& operator=(const KvModalScope&) = delete;

private:
    KvModalSlot<State> outer_;
};

// The window procedure of a dialog whose messages `Handle` answers for the running State; messages
// before a state is set go to DefDlgProcW, and no exception leaves it.
template <class State, LRESULT (*Handle)(State&, HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK KvModalProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    const KvModalSlot<State> slot = KvModalCurrent<State>();
    if (!slot.state) return DefDlgProcW(dlg, msg, wp, lp);
    return KvGuardedWindowProc(slot.procName, __LINE__, DefDlgProcW, dlg, msg, wp, lp,
                               [&] { return Handle(*slot.state, dlg, msg, wp, lp); });
}
