// Reordering the folder on screen: sorting by a clicked column and the type-ahead's prefix sort.
// Both reorder the model itself, so the project file keeps the order the user made.
#include "Filer/KvFiler.h"

#include "Document/Folder.h"
#include "Filer/Kinds/FilerKind.h"

void CKvFiler::SortByColumn(int column) {
    if (!current_ || column < 0 || column >= kFilerColumnCount) return;
    if (column != CFolder::kColumnPath) CompleteDisplayData();
    current_->SortByColumn(column);
    ShowFolder(current_, false);
}

void CKvFiler::BringMatchesToFront(const std::wstring& text) {
    if (!current_) return;
    if (!text.empty()) CompleteDisplayData();
    // Showing the folder again would end what the kind is doing (a song), so then only the first
    // match is selected where it stands.
    int first = 0;
    if (kind_ && kind_->KeepsEntryOrder()) {
        first = text.empty() ? 0 : current_->FirstWithPrefix(text);
        if (first < 0) return;
    } else if (!text.empty() && current_->SortByPrefix(text)) {
        ShowFolder(current_, false);
    }
    if (!listView_) return;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = 0;
    SendMessageW(listView_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    if (current_->Count() == 0) return;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(listView_, LVM_SETITEMSTATE, first, reinterpret_cast<LPARAM>(&state));
    SendMessageW(listView_, LVM_ENSUREVISIBLE, first, FALSE);
}
