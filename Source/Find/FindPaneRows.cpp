// The find pane's rows (FindPane.h): keeping them true to the model, what the list shows of them,
// the status bar and the tool buttons.
#include "Find/FindPane.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <unordered_set>

#include "Commands/MainCommand.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Config/Settings.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "Filer/FilerHost.h"
#include "Filer/KvFiler.h"
#include "Filer/Kinds/FilerNormal.h"
#include "Kv/KvFiles.h"

namespace {

// The text shown for an entry: its alias where the entry and the project show aliases, else its
// name, else (an entry never shown yet) its file's name.
std::wstring ShownText(const CEntry& entry) {
    if (!entry.IsSubfolderEntry() && entry.aliasMode && Project().allowAlias && !entry.alias.empty()) return entry.alias;
    if (!entry.name.empty()) return entry.name;
    const std::wstring path = entry.ResolvedPath();
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

void CopyOut(const std::wstring& text, NMLVDISPINFOW& info) {
    if (!info.item.pszText || info.item.cchTextMax <= 0) return;
    const size_t room = static_cast<size_t>(info.item.cchTextMax) - 1;
    const size_t count = std::min(room, text.size());
    text.copy(info.item.pszText, count);
    info.item.pszText[count] = L'\0';
}

}  // namespace

void CFindPane::SetRows(std::vector<Row> rows) {
    rows_ = std::move(rows);
    rowsStamp_ = FolderModelStamp();
    RowsChanged();
}

void CFindPane::RowsChanged(bool keepSelection) {
    // The selection of an owner-data list names rows by number; rows that are not the same rows
    // start unselected.
    if (!keepSelection && ListView_GetSelectedCount(list_) > 0) ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    const int count = static_cast<int>(rows_.size());
    if (ListView_GetItemCount(list_) != count) {
        // The list redraws its scroll bar at once when its count changes, which costs more than the
        // search itself; with redrawing off the scroll bar is drawn with the rows, at the next paint.
        SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
        ListView_SetItemCountEx(list_, count, keepSelection ? LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL : 0);
        SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(list_, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
    } else {
        InvalidateRect(list_, nullptr, FALSE);
    }
    // The status bar and the tool bar draw at once when told; they are told after the keystroke.
    if (!statusQueued_) statusQueued_ = PostMessageW(pane_, kMsgStatus, 0, 0) != FALSE;
}

void CFindPane::CheckRows() {
    if (rowsStamp_ == FolderModelStamp()) return;
    // A row stays while its entry is still in its folder. Asked while the list paints, so the list
    // itself is told afterwards, by a posted message.
    folderTexts_.clear();
    std::unordered_map<const CFolder*, uint64_t> live;
    ForEachFolder(RootFolder(), [&](CFolder& folder) { live[&folder] = folder.stamp; });
    std::unordered_map<const CFolder*, std::unordered_set<const CEntry*>> members;
    std::vector<Row> kept;
    kept.reserve(rows_.size());
    for (Row row : rows_) {
        auto folder = live.find(row.folder);
        if (folder == live.end()) continue;
        if (folder->second != row.stamp) {
            auto known = members.find(row.folder);
            if (known == members.end()) {
                std::unordered_set<const CEntry*> entries;
                for (const CEntry& entry : row.folder->entries) entries.insert(&entry);
                known = members.emplace(row.folder, std::move(entries)).first;
            }
            if (!known->second.count(row.entry)) continue;
            row.stamp = folder->second;
        }
        kept.push_back(row);
    }
    const bool same = kept.size() == rows_.size();
    rows_ = std::move(kept);
    rowsStamp_ = FolderModelStamp();
    // The find runs again on the index brought up to date: a renamed entry may match now or no more.
    if (mode_ == Mode::Find && !sliceQueued_) sliceQueued_ = PostMessageW(pane_, kMsgIndexSlice, 0, 0) != FALSE;
    if (!same) PostMessageW(pane_, kMsgRowsChanged, 0, 0);
}

size_t CFindPane::RowCount() {
    CheckRows();
    return rows_.size();
}

CEntry* CFindPane::RowEntry(int row) {
    CheckRows();
    return row >= 0 && static_cast<size_t>(row) < rows_.size() ? rows_[static_cast<size_t>(row)].entry : nullptr;
}

CFolder* CFindPane::RowFolder(int row) {
    CheckRows();
    return row >= 0 && static_cast<size_t>(row) < rows_.size() ? rows_[static_cast<size_t>(row)].folder : nullptr;
}

std::vector<int> CFindPane::SelectedRows() const {
    std::vector<int> rows;
    if (!list_) return rows;
    int at = -1;
    while ((at = ListView_GetNextItem(list_, at, LVNI_SELECTED)) >= 0) rows.push_back(at);
    return rows;
}

std::wstring CFindPane::FolderText(const CFolder* folder) {
    auto known = folderTexts_.find(folder);
    if (known != folderTexts_.end()) return known->second;
    std::vector<const CFolder*> chain;
    for (const CFolder* f = folder; f && f->parent; f = f->parent) chain.push_back(f);
    std::wstring text;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!text.empty()) text += separator_;
        text += (*it)->Name();
    }
    if (text.empty()) text = GlobalText::Get(kGtFindRootFolder);
    folderTexts_.emplace(folder, text);
    return text;
}

int CFindPane::IconOf(const CEntry& entry) {
    // By the name alone (no look at the disk), once per extension: the list stays quick and a
    // missing file still shows its type.
    const bool folder = entry.IsSubfolderEntry();
    const std::wstring path = folder ? std::wstring() : entry.ResolvedPath();
    const size_t dot = path.find_last_of(L".\\/");
    const std::wstring extension =
        folder ? L"\\" : (dot != std::wstring::npos && path[dot] == L'.' ? KvUpperPath(path.substr(dot)) : L"");
    auto known = icons_.find(extension);
    if (known != icons_.end()) return known->second;
    SHFILEINFOW info{};
    const DWORD attributes = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    const std::wstring probe = folder ? L"folder" : L"file" + extension;
    SHGetFileInfoW(probe.c_str(), attributes, &info, sizeof(info),
                   SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    icons_.emplace(extension, info.iIcon);
    return info.iIcon;
}

void CFindPane::OnGetDisplayInfo(NMLVDISPINFOW& info) {
    CEntry* entry = RowEntry(info.item.iItem);
    if (!entry) return;
    if (info.item.mask & LVIF_TEXT) {
        switch (info.item.iSubItem) {
        case 0:
            CopyOut(ShownText(*entry), info);
            break;
        case 1:
            CopyOut(FolderText(RowFolder(info.item.iItem)), info);
            break;
        default:
            CopyOut(entry->IsSubfolderEntry() ? std::wstring() : entry->ResolvedPath(), info);
            break;
        }
    }
    if (info.item.mask & LVIF_IMAGE) info.item.iImage = IconOf(*entry);
}

LRESULT CFindPane::OnCustomDraw(NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        const CEntry* entry = RowEntry(static_cast<int>(draw->nmcd.dwItemSpec));
        if (!entry) return CDRF_DODEFAULT;
        // As the filer colours them: gone files faded (as far as the filer or the check knows),
        // colour labels in their colour.
        if (mode_ == Mode::Missing || (entry->missing && !entry->offline))
            draw->clrText = FadedColour(Settings().backColor);
        else if (entry->colour != 0)
            draw->clrText = FilerLabelColour(entry->colour);
        return CDRF_NEWFONT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

void CFindPane::UpdateStatus() {
    const int count = static_cast<int>(rows_.size());
    if (mode_ == Mode::Find)
        status_ = GtFormat(kGtFindCount, {count});
    else if (mode_ == Mode::Missing && movedSearching_)
        status_ = GtFormat(kGtMissingSearching, {count});
    else if (mode_ == Mode::Missing)
        status_ = GtFormat(checking_ ? kGtMissingChecking : kGtMissingCount, {count});
    else
        status_.clear();
    if (FilerHost* host = Filer().Host()) host->SetStatusText(0, status_);
}

void CFindPane::TellTools() {
    FilerHost* host = Filer().Host();
    if (!host) return;
    const bool any = mode_ != Mode::None && ListView_GetSelectedCount(list_) > 0;
    if (toolsTold_ && any == removeOffered_) return;
    toolsTold_ = true;
    removeOffered_ = any;
    host->EnableTool(kCmdRemove, any);
    host->EnableTool(kCmdCopy, false);
    host->RedrawTools();
}
