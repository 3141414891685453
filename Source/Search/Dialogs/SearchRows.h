// The rows of the result view, made on its worker thread: the shell's display name and small icon
// index of each path, from the item id list the shell parses for it.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "Kv/KvHandles.h"

struct SearchRow {
    std::wstring name;
    int icon = 0;
    std::wstring path;
};

// A walk reports the items of one directory together, so the shell folder of the last parent
// directory is kept and each name is parsed against it rather than the whole path against the
// desktop (which walks every level of the path again). One maker per thread; COM must be
// initialised on it.
class SearchRowMaker {
public:
    SearchRowMaker();
    ~SearchRowMaker();
    SearchRowMaker(const SearchRowMaker&) = delete;
    SearchRowMaker& operator=(const SearchRowMaker&) = delete;

    // False when the shell cannot parse `path`.
    bool Make(const std::wstring& path, SearchRow& row);

private:
    // The absolute item id list of `path`; the caller frees it with CoTaskMemFree.
    LPITEMIDLIST ItemList(const std::wstring& path);
    bool EnterParent(const std::wstring& directory);

    kv::ComPtr<IShellFolder> desktop_;
    kv::ComPtr<IShellFolder> parent_;
    std::wstring parentPath_;
    LPITEMIDLIST parentList_ = nullptr;
};
