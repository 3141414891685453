// The filer's back/forward history of folder ids.
#include "Filer/FilerHistory.h"

void FilerHistory::Reset(unsigned id) {
    ids_.clear();
    ids_.push_back(id);
    cursor_ = 0;
}

void FilerHistory::Push(unsigned id) {
    if (!AtEnd()) ids_.erase(ids_.begin() + static_cast<std::ptrdiff_t>(cursor_) + 1, ids_.end());
    if (ids_.size() >= kCapacity) ids_.pop_front();
    ids_.push_back(id);
    cursor_ = ids_.size();
}

bool FilerHistory::Back(unsigned* id) {
    if (ids_.empty() || OnOldest()) return false;
    if (AtEnd()) cursor_ = ids_.size() - 1;
    if (cursor_ > 0) --cursor_;
    *id = ids_[cursor_];
    return true;
}

bool FilerHistory::Forward(unsigned* id) {
    if (ids_.empty() || AtEnd()) return false;
    ++cursor_;
    if (AtEnd()) {
        cursor_ = ids_.size() - 1;
        return false;
    }
    *id = ids_[cursor_];
    return true;
}

void FilerHistory::StepNewer() {
    if (!AtEnd()) ++cursor_;
}

void FilerHistory::StepOlder() {
    if (ids_.empty()) return;
    if (AtEnd()) cursor_ = ids_.size() - 1;
    if (cursor_ > 0) --cursor_;
}

bool FilerHistory::CanGoForward() const {
    return !ids_.empty() && !AtEnd() && cursor_ + 1 < ids_.size();
}
