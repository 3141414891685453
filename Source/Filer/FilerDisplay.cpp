// Showing a folder: the display data of every entry is made eagerly from the shell (display name,
// type name, system icon, size, date); the owner-data list view then asks for the texts of the rows
// it paints, which are found through a one-entry position cache over the linked list of entries.
#include "Filer/KvFiler.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Commands/MainCommand.h"
#include "Filer/FilerCaches.h"
#include "Filer/FilerHost.h"
#include "Filer/Kinds/FilerKind.h"
#include "Document/Folder.h"
#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvHandles.h"
#include "Document/Project.h"

namespace {

// File name without directory and extension: the label of a missing entry.
std::wstring BareFileName(const std::wstring& path) {
    size_t start = path.find_last_of(L"\\/");
    start = (start == std::wstring::npos) ? 0 : start + 1;
    std::wstring name = path.substr(start);
    size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) name.erase(dot);
    return name;
}

// Size in whole KB, rounded up, and the last-write date as calendar fields of the stored UTC time.
void ReadSizeAndDate(const std::wstring& path, CEntry& entry) {
    kv::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    LARGE_INTEGER size{};
    FILETIME written{};
    SYSTEMTIME when{};
    if (!GetFileSizeEx(file.get(), &size) || !GetFileTime(file.get(), nullptr, nullptr, &written) ||
        !FileTimeToSystemTime(&written, &when))
        return;
    entry.sizeValue = static_cast<int32_t>((static_cast<unsigned long long>(size.QuadPart) + 1023) / 1024);
    // "%dKB" and "%d/%d/%d %d:%d" (year/month/day hour:minute, unpadded).
    entry.sizeText = std::to_wstring(entry.sizeValue) + L"KB";
    entry.dateText = std::to_wstring(when.wYear) + L'/' + std::to_wstring(when.wMonth) + L'/' +
                     std::to_wstring(when.wDay) + L' ' + std::to_wstring(when.wHour) + L':' +
                     std::to_wstring(when.wMinute);
}

// True when `path` names a file-system object that is certainly not there. The shell cannot parse
// such a path either, but it takes far longer to fail than the file system does, which matters for
// folders full of entries on a drive that is gone.
bool CertainlyAbsent(const std::wstring& path) {
    const bool drivePath = path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    const bool uncPath = path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
    if (!drivePath && !uncPath) return false;
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

int SystemIconOf(const std::wstring& path) {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) return -1;
    return info.iIcon;
}

}  // namespace

bool CKvFiler::ShowFolder(CFolder* folder, bool takeFocus) {
    if (!folder) return false;
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

    kv::ComPtr<IMalloc> malloc;
    SHGetMalloc(&malloc);
    int index = 0;
    for (CEntry& entry : folder->entries) MakeDisplayData(malloc.get(), entry, index++);

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
    if (autoSearch_ && folder->search.autoUpdate) autoSearch_->Start(*folder);
    return true;
}

void CKvFiler::Refresh() {
    if (current_) ShowFolder(current_, false);
}

bool CKvFiler::MakeDisplayData(IMalloc* malloc, CEntry& entry, int index) {
    entry.sizeValue = 0;
    entry.sizeText.clear();
    entry.dateText.clear();
    int icon = -1;
    if (entry.IsSubfolderEntry()) {
        entry.displayText = entry.name;
        entry.typeText.clear();
        entry.missing = 0;
    } else {
        const std::wstring resolved = entry.ResolvedPath();
        if (resolved.empty()) return false;
        PIDLIST_ABSOLUTE pidl = nullptr;
        if (!CertainlyAbsent(resolved) && SUCCEEDED(SHParseDisplayName(resolved.c_str(), nullptr, &pidl, 0, nullptr)) &&
            pidl) {
            SHFILEINFOW info{};
            info.dwAttributes = SFGAO_FOLDER | SFGAO_STREAM;
            SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &info, sizeof(info),
                           SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_TYPENAME | SHGFI_ATTRIBUTES | SHGFI_ATTR_SPECIFIED |
                               SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
            if (malloc)
                malloc->Free(pidl);
            else
                CoTaskMemFree(pidl);
            entry.name = info.szDisplayName;
            entry.typeText = info.szTypeName;
            entry.missing = 0;
            icon = info.iIcon;
            entry.displayText = (Project().allowAlias && entry.aliasMode) ? entry.ShownName() : entry.name;
            // Archives the shell browses as folders are still files with a size.
            bool directory = (info.dwAttributes & SFGAO_FOLDER) && !(info.dwAttributes & SFGAO_STREAM);
            if (!entry.appPath.empty()) icon = SystemIconOf(entry.appPath);
            if (!directory) ReadSizeAndDate(resolved, entry);
        } else {
            entry.missing = 1;
            entry.displayText = BareFileName(resolved);
            entry.typeText = L"Unknown";
        }
    }
    if (kind_) icon = kind_->MapIconIndex(icon);
    entry.iconIndex = icon;
    if (kind_) kind_->AfterDisplayData(index, entry);
    return true;
}

void CKvFiler::ClearDisplayData(CFolder& folder) {
    for (CEntry& entry : folder.entries) {
        entry.displayText.clear();
        entry.typeText.clear();
        entry.dateText.clear();
        entry.sizeText.clear();
        entry.sizeValue = 0;
    }
}

void CKvFiler::SetItemCount() {
    if (!listView_ || !current_) return;
    SendMessageW(listView_, LVM_SETITEMCOUNT, current_->Count(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

CEntry* CKvFiler::EntryAtIndex(int index) {
    if (!current_ || index < 0 || static_cast<size_t>(index) >= current_->Count()) return nullptr;
    FilerCaches& cache = *caches_;
    if (cache.displayFolder != current_ || cache.displayCount != current_->Count()) cache.ResetDisplay();
    if (cache.displayIndex >= 0 && index == cache.displayIndex + 1) {
        ++cache.displayPos;
    } else if (cache.displayIndex < 0 || index != cache.displayIndex) {
        cache.displayPos = current_->EntryAt(static_cast<size_t>(index));
    }
    cache.displayFolder = current_;
    cache.displayCount = current_->Count();
    cache.displayIndex = index;
    return &*cache.displayPos;
}

void CKvFiler::OnGetDisplayInfo(NMLVDISPINFOW& info) {
    LVITEMW& item = info.item;
    CEntry* entry = EntryAtIndex(item.iItem);
    if (!entry) return;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        const std::wstring* text = nullptr;
        static const std::wstring empty;
        switch (item.iSubItem) {
        case 0:
            text = &entry->displayText;
            break;
        case 1:
            text = entry->IsSubfolderEntry() ? &empty : &entry->path;
            break;
        case 2:
            text = &entry->sizeText;
            break;
        case 3:
            text = &entry->typeText;
            break;
        case 4:
            text = &entry->dateText;
            break;
        default:
            text = &empty;
            break;
        }
        size_t length = std::min(text->size(), static_cast<size_t>(item.cchTextMax - 1));
        std::copy_n(text->c_str(), length, item.pszText);
        item.pszText[length] = L'\0';
    }
    if (item.mask & LVIF_IMAGE) item.iImage = entry->iconIndex;
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
                                               : GtFormat(kGtStatusOneFile, {entry->typeText, entry->sizeValue}));
        SetStatus(1, GtFormat(kGtStatusSize, {entry->sizeValue}));
        return;
    }
    // Selected indexes come in ascending order, so one walk over the list sums them.
    long long total = 0;
    int next = FirstSelected();
    int index = 0;
    for (auto it = current_->entries.begin(); it != current_->entries.end() && next >= 0; ++it, ++index) {
        if (index != next) continue;
        if (!it->IsSubfolderEntry() && !it->missing) total += it->sizeValue;
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
