// Showing a folder: the owner-data list view asks for the texts of the rows it paints, found through
// a one-entry position cache over the linked list of entries; each entry's display data (display
// name, type name, system icon, size, date, missing flag) is made when it is first asked for, from
// FilerDisplaySource, or by the background queue (FilerDisplayQueue.cpp).
#include "Filer/KvFiler.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "Commands/MainCommand.h"
#include "Filer/FilerCaches.h"
#include "Filer/FilerDisplaySource.h"
#include "Filer/FilerDisplayWorker.h"
#include "Filer/FilerFollow.h"
#include "Filer/FilerHost.h"
#include "Filer/Kinds/FilerKind.h"
#include "Document/Folder.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Project.h"
#include "Kv/KvSlowPaths.h"

namespace {

void SetSizeAndDate(const PathDisplay& display, EntryDisplay& shown) {
    if (!display.hasSizeAndDate) return;
    std::wstring date = FilerDateText(display.written);
    if (date.empty()) return;
    shown.sizeValue = FilerSizeValue(display.size);
    shown.sizeText = std::to_wstring(shown.sizeValue) + L"KB";
    shown.dateText = std::move(date);
}

}  // namespace

bool CKvFiler::ShowFolder(CFolder* folder, bool takeFocus) {
    if (!folder) return false;
    StopAutoSearch();
    busy_ = true;
    if (folder != current_) {
        // The folder being left may have been deleted from the tree meanwhile; only a folder that
        // is still reachable is touched.
        if (current_ && FolderInTree(current_))
            ClearDisplayData(*current_);
        else
            current_ = nullptr;
    }
    if (kind_) kind_->Detach();
    current_ = folder;
    caches_->ResetDisplay();
    caches_->ResetPaths();
    if (takeFocus && listView_) SetFocus(listView_);
    if (!SelectKind(folder->kind)) {
        busy_ = false;
        return false;
    }

    // Every entry's display data is made anew: on demand for the rows the list view asks for, and
    // for the rest in the background (FilerDisplayQueue.cpp).
    ++displayGeneration_;
    displayWorker_->NewShowing(displayGeneration_);
    displaySource_->ForgetListings();
    StartDisplayQueue();

    if (listView_) {
        SendMessageW(listView_, LVM_DELETEALLITEMS, 0, 0);
        SetItemCount();
    }
    busy_ = false;
    SetStatus(0, GtFormat(kGtStatusCount, {static_cast<int>(folder->Count())}));
    SetStatus(1, L"");
    EnableTool(kCmdCopy, false);
    EnableTool(kCmdRemove, false);
    if (host_) host_->FolderShown(*folder);
    follow_->FolderShown(container_);
    StartAutoSearch(*folder);
    return true;
}

void CKvFiler::Refresh() {
    displaySource_->ForgetAll();
    if (current_) ShowFolder(current_, false);
}

bool CKvFiler::MakeDisplayData(CEntry& entry, int index) {
    if (entry.IsSubfolderEntry()) {
        EntryDisplay& shown = ClearedDisplay(entry);
        shown.displayText = entry.name;
        shown.typeText.clear();
        entry.missing = 0;
        entry.offline = 0;
        FinishDisplayData(entry, index, -1);
        return true;
    }
    const std::wstring resolved = entry.ResolvedPath();
    if (resolved.empty()) return false;
    // An entry's own program shows its icon, which the shell reads from the program's file.
    const bool mayBlock = KvMayBlock(resolved) || (!entry.appPath.empty() && KvMayBlock(entry.appPath));
    if (mayBlock && AskDisplayWorker(entry, index, resolved)) {
        // What is known without a call: the name the shell gave the file when last asked.
        EntryDisplay& shown = ClearedDisplay(entry);
        shown.awaiting = true;
        shown.typeText.clear();
        if (Project().allowAlias && entry.aliasMode)
            shown.displayText = entry.ShownName();
        else
            shown.displayText = entry.name.empty() ? resolved.substr(resolved.find_last_of(L"\\/") + 1) : entry.name.str();
        FinishDisplayData(entry, index, -1);
        return true;
    }
    PathDisplay display;
    if (!displaySource_->Describe(resolved, display)) return false;
    const bool offline = display.missing && follow_->Roots().Offline(resolved);
    const int programIcon = !display.missing && !entry.appPath.empty() ? displaySource_->ProgramIcon(entry.appPath) : -1;
    ApplyPathDisplay(entry, index, display, offline, programIcon);
    return true;
}

EntryDisplay& CKvFiler::ClearedDisplay(CEntry& entry) {
    EntryDisplay& shown = entry.EditDisplay();
    shown.sizeValue = 0;
    shown.sizeText.clear();
    shown.dateText.clear();
    shown.awaiting = false;
    return shown;
}

void CKvFiler::ApplyPathDisplay(CEntry& entry, int index, const PathDisplay& display, bool offline, int programIcon) {
    EntryDisplay& shown = ClearedDisplay(entry);
    entry.missing = display.missing ? 1 : 0;
    // A file whose drive or share is away is offline: as unusable as a missing one, but not lost.
    entry.offline = offline ? 1 : 0;
    shown.typeText = entry.offline ? GlobalText::Get(kGtOfflineType) : display.typeText;
    int icon = display.icon;
    if (display.missing) {
        shown.displayText = display.name;
    } else {
        entry.name = display.name;
        shown.displayText = (Project().allowAlias && entry.aliasMode) ? entry.ShownName() : entry.name.str();
        if (programIcon >= 0) icon = programIcon;
        SetSizeAndDate(display, shown);
    }
    FinishDisplayData(entry, index, icon);
}

void CKvFiler::FinishDisplayData(CEntry& entry, int index, int icon) {
    EntryDisplay& shown = entry.EditDisplay();
    shown.generation = displayGeneration_;
    if (kind_) icon = kind_->MapIconIndex(icon);
    shown.iconIndex = icon;
    if (kind_) kind_->AfterDisplayData(index, entry);
}

bool CKvFiler::AskDisplayWorker(CEntry& entry, int index, const std::wstring& resolved) {
    if (!container_ || !current_) return false;
    FilerDisplayWorker::Request request;
    request.folder = current_;
    request.entries = current_->generation;
    request.showing = displayGeneration_;
    request.entry = &entry;
    request.index = index;
    request.path = resolved;
    request.program = entry.appPath.str();
    return displayWorker_->Ask(std::move(request), container_, kMsgDisplayAnswers);
}

void CKvFiler::AskDisplayAgain(CEntry& entry, int index) {
    if (AskDisplayWorker(entry, index, entry.ResolvedPath())) entry.EditDisplay().awaiting = true;
}

void CKvFiler::OnDisplayAnswers() {
    bool applied = false;
    for (const FilerDisplayWorker::Answer& answer : displayWorker_->TakeAnswers()) {
        const FilerDisplayWorker::Request& request = answer.request;
        if (request.folder != current_ || request.showing != displayGeneration_) continue;
        int index = request.index;
        // The entries were sorted, added to or removed from since: the entry is looked up, and an
        // entry made anew where a removed one was is told apart by its path.
        if (request.entries != current_->generation) {
            index = IndexOfEntry(request.entry);
            if (index < 0 || request.entry->ResolvedPath() != request.path) continue;
        }
        ApplyPathDisplay(*request.entry, index, answer.display, answer.offline, answer.programIcon);
        UpdateItem(index);
        applied = true;
    }
    if (applied) OnSelectionChanged();
}

int CKvFiler::IndexOfEntry(const CEntry* entry) {
    FilerCaches& cache = *caches_;
    if (cache.indexesFolder != current_ || cache.indexesEntries != current_->generation) {
        cache.indexes.clear();
        int index = 0;
        for (const CEntry& each : current_->entries) cache.indexes.emplace(&each, index++);
        cache.indexesFolder = current_;
        cache.indexesEntries = current_->generation;
    }
    auto found = cache.indexes.find(entry);
    return found == cache.indexes.end() ? -1 : found->second;
}

bool CKvFiler::EnsureDisplayData(CEntry& entry, int index) {
    if (entry.Display().generation == displayGeneration_) return true;
    return MakeDisplayData(entry, index);
}

// Display data lives only while its folder is shown: leaving a folder gives its memory back.
void CKvFiler::ClearDisplayData(CFolder& folder) {
    for (CEntry& entry : folder.entries) entry.DropDisplay();
}

void CKvFiler::SetItemCount() {
    if (!listView_ || !current_) return;
    SendMessageW(listView_, LVM_SETITEMCOUNT, current_->Count(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    ArrangeIcons();
    // The status bar's count and sum follow every change of the shown entries.
    OnSelectionChanged();
}

void CKvFiler::ArrangeIcons() {
    if (!listView_) return;
    const LONG_PTR view = GetWindowLongPtrW(listView_, GWL_STYLE) & LVS_TYPEMASK;
    if (view != LVS_ICON && view != LVS_SMALLICON) return;
    // Icons of an owner-data list have no positions of their own until they are arranged (Wine's
    // list view otherwise stacks them all at the origin). With drawing off the list view neither
    // invalidates each moved item nor asks for its label, which would make every entry's display
    // data at once.
    SendMessageW(listView_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(listView_, LVM_ARRANGE, LVA_DEFAULT, 0);
    SendMessageW(listView_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(listView_, nullptr, TRUE);
}

CEntry* CKvFiler::EntryAtIndex(int index) {
    if (!current_ || index < 0 || static_cast<size_t>(index) >= current_->Count()) return nullptr;
    FilerCaches& cache = *caches_;
    if (cache.displayFolder != current_ || cache.displayEntries != current_->generation) cache.ResetDisplay();
    if (cache.displayIndex >= 0 && index == cache.displayIndex + 1) {
        ++cache.displayPos;
    } else if (cache.displayIndex < 0 || index != cache.displayIndex) {
        cache.displayPos = current_->EntryAt(static_cast<size_t>(index));
    }
    cache.displayFolder = current_;
    cache.displayEntries = current_->generation;
    cache.displayIndex = index;
    CEntry& entry = *cache.displayPos;
    EnsureDisplayData(entry, index);
    return &entry;
}

void CKvFiler::OnGetDisplayInfo(NMLVDISPINFOW& info) {
    LVITEMW& item = info.item;
    CEntry* entry = EntryAtIndex(item.iItem);
    if (!entry) return;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        std::wstring_view text;
        const EntryDisplay& shown = entry->Display();
        switch (item.iSubItem) {
        case 0:
            text = shown.displayText;
            break;
        case 1:
            if (!entry->IsSubfolderEntry()) text = entry->path;
            break;
        case 2:
            text = shown.sizeText;
            break;
        case 3:
            text = shown.typeText;
            break;
        case 4:
            text = shown.dateText;
            break;
        default:
            break;
        }
        size_t length = std::min(text.size(), static_cast<size_t>(item.cchTextMax - 1));
        std::copy_n(text.data(), length, item.pszText);
        item.pszText[length] = L'\0';
    }
    if (item.mask & LVIF_IMAGE) item.iImage = entry->Display().iconIndex;
    // The drop highlight is the one state bit the filer answers itself (see SetDropHighlight).
    if (item.mask & LVIF_STATE) {
        item.state &= ~static_cast<UINT>(LVIS_DROPHILITED);
        if (item.iItem == dropHighlight_) item.state |= LVIS_DROPHILITED;
    }
}

void CKvFiler::OnSelectionChanged() {
    if (busy_ || !current_ || !listView_) return;
    int selected = static_cast<int>(SendMessageW(listView_, LVM_GETSELECTEDCOUNT, 0, 0));
    EnableTool(kCmdCopy, selected > 0);
    EnableTool(kCmdRemove, selected > 0);
    if (selected == 0) {
        SetStatus(0, GtFormat(kGtStatusCount, {static_cast<int>(current_->Count())}));
        SetStatus(1, L"");
        return;
    }
    if (selected == 1) {
        CEntry* entry = EntryAtIndex(FirstSelected());
        if (!entry) return;
        SetStatus(0, entry->IsSubfolderEntry() ? std::wstring()
                                               : GtFormat(kGtStatusOneFile, {entry->Display().typeText, entry->Display().sizeValue}));
        SetStatus(1, GtFormat(kGtStatusSize, {entry->Display().sizeValue}));
        return;
    }
    // Selected indexes come in ascending order, so one walk over the list sums them.
    long long total = 0;
    int next = FirstSelected();
    int index = 0;
    for (auto it = current_->entries.begin(); it != current_->entries.end() && next >= 0; ++it, ++index) {
        if (index != next) continue;
        EnsureDisplayData(*it, index);
        if (!it->IsSubfolderEntry() && !it->missing) total += it->Display().sizeValue;
        next = static_cast<int>(SendMessageW(listView_, LVM_GETNEXTITEM, next, LVNI_SELECTED));
    }
    SetStatus(0, GtFormat(kGtStatusSelected, {selected}));
    SetStatus(1, GtFormat(kGtStatusSize, {total}));
}

LRESULT CKvFiler::OnCustomDraw(NMLVCUSTOMDRAW* draw) {
    LRESULT result = CDRF_DODEFAULT;
    if (kind_ && kind_->CustomDraw(*draw, &result)) return result;
    return CDRF_DODEFAULT;
}

bool CKvFiler::FolderInTree(const CFolder* folder) const {
    std::vector<const CFolder*> pending{&RootFolder()};
    while (!pending.empty()) {
        const CFolder* f = pending.back();
        pending.pop_back();
        if (f == folder) return true;
        for (const CEntry& entry : f->entries)
            if (entry.subfolder) pending.push_back(entry.subfolder.get());
    }
    return false;
}
