// Rows of the result view from the shell.
#include "Search/Dialogs/SearchRows.h"

#include "Kv/KvClipboard.h"

SearchRowMaker::SearchRowMaker() {
    if (FAILED(SHGetDesktopFolder(&desktop_))) desktop_.reset();
}

SearchRowMaker::~SearchRowMaker() {
    CoTaskMemFree(parentList_);
}

bool SearchRowMaker::Make(const std::wstring& path, SearchRow& row) {
    LPITEMIDLIST list = ItemList(path);
    if (!list) return false;
    SHFILEINFOW info{};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list), 0, &info, sizeof(info),
                   SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    CoTaskMemFree(list);
    row.name = info.szDisplayName;
    row.icon = info.iIcon;
    row.path = path;
    return true;
}

LPITEMIDLIST SearchRowMaker::ItemList(const std::wstring& path) {
    if (!desktop_) return nullptr;
    const size_t cut = path.find_last_of(L"\\/");
    if (cut == std::wstring::npos || cut + 1 == path.size() || !EnterParent(path.substr(0, cut + 1)))
        return KvPathToItemList(desktop_.get(), path);
    LPITEMIDLIST child = KvPathToItemList(parent_.get(), path.substr(cut + 1));
    if (!child) return nullptr;
    LPITEMIDLIST list = ILCombine(parentList_, child);
    CoTaskMemFree(child);
    return list;
}

bool SearchRowMaker::EnterParent(const std::wstring& directory) {
    if (parent_ && directory == parentPath_) return true;
    parent_.reset();
    CoTaskMemFree(parentList_);
    parentList_ = nullptr;
    parentPath_ = directory;
    // "C:\" keeps its separator; any other directory is parsed without it.
    std::wstring name = directory;
    if (name.size() > 1 && name[name.size() - 2] != L':') name.pop_back();
    parentList_ = KvPathToItemList(desktop_.get(), name);
    if (!parentList_) return false;
    if (FAILED(desktop_->BindToObject(parentList_, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&parent_))))
        parent_.reset();
    return static_cast<bool>(parent_);
}
