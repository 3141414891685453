// The filer's back/forward history: at most 15 folder ids, oldest first, and a cursor that is either
// on an element or at the end. "At the end" means the newest element is the folder on screen; a
// cursor on an element means the user has gone back to it.
#pragma once

#include <cstddef>
#include <deque>

class FilerHistory {
public:
    static constexpr size_t kCapacity = 15;

    // Only `id`, with the cursor on it (the state after creation and after loading a project).
    void Reset(unsigned id);
    // Drops everything after a cursor that is on an element, drops the oldest when full, appends
    // `id` and moves the cursor to the end.
    void Push(unsigned id);
    // One step older; false (cursor unchanged) when empty or already on the oldest element. From
    // the end the cursor first moves onto the newest element.
    bool Back(unsigned* id);
    // One step newer; false when empty or at the end. A step that reaches the end puts the cursor
    // back on the newest element and reports nothing.
    bool Forward(unsigned* id);
    // Undo of a Back or Forward whose folder no longer exists.
    void StepNewer();
    void StepOlder();

    bool CanGoForward() const;
    bool OnOldest() const { return !ids_.empty() && cursor_ == 0; }
    bool AtEnd() const { return cursor_ >= ids_.size(); }
    size_t Size() const { return ids_.size(); }
    size_t Cursor() const { return cursor_; }
    unsigned At(size_t i) const { return ids_[i]; }

private:
    std::deque<unsigned> ids_;
    size_t cursor_ = 0;  // == ids_.size() when at the end
};
