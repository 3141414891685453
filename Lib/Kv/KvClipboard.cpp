// Clipboard blocks, reading file lists from the clipboard and parsing paths into shell item lists.
#include "Kv/KvClipboard.h"

#include "Kv/KvHandles.h"

#include <shellapi.h>
#include <cstring>

namespace {

constexpr SIZE_T kDropTrailerBytes = 4;  // the list's closing NUL and one spare zero character

// Closes the clipboard opened by the scope's owner.
class ClipboardScope {
public:
    explicit ClipboardScope(HWND owner) noexcept : open_(OpenClipboard(owner) != FALSE) {}
    ~ClipboardScope() {
        if (open_) CloseClipboard();
    }
    ClipboardScope(const ClipboardScope&) = delete;
    ClipboardScope& operator=(const ClipboardScope&) = delete;
    explicit operator bool() const noexcept { return open_; }

private:
    bool open_;
};

}  // namespace

HGLOBAL KvMakeTextGlobal(const std::wstring& text) {
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    kv::UniqueGlobal mem(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes));
    if (!mem) return nullptr;
    kv::GlobalLockScope<wchar_t> lock(mem.get());
    if (!lock) return nullptr;
    std::memcpy(lock.get(), text.c_str(), bytes);
    return mem.release();
}

HGLOBAL KvMakeFileDrop(const std::vector<std::wstring>& paths) {
    SIZE_T listBytes = 0;
    for (const std::wstring& path : paths) {
        if (path.empty() || path.find(L'\0') != std::wstring::npos) return nullptr;
        listBytes += (path.size() + 1) * sizeof(wchar_t);
    }
    const SIZE_T total = sizeof(DROPFILES) + listBytes + kDropTrailerBytes;
    kv::UniqueGlobal mem(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, total));
    if (!mem) return nullptr;
    kv::GlobalLockScope<unsigned char> lock(mem.get());
    if (!lock) return nullptr;
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fNC = FALSE;
    header.fWide = TRUE;
    std::memcpy(lock.get(), &header, sizeof(header));
    unsigned char* out = lock.get() + sizeof(DROPFILES);
    for (const std::wstring& path : paths) {
        const SIZE_T bytes = (path.size() + 1) * sizeof(wchar_t);
        std::memcpy(out, path.c_str(), bytes);
        out += bytes;
    }
    return mem.release();
}

bool KvReadClipboardFiles(HWND owner, std::vector<std::wstring>& paths) {
    if (!IsClipboardFormatAvailable(CF_HDROP)) return false;
    ClipboardScope clipboard(owner);
    if (!clipboard) return false;
    HDROP drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    if (!drop) return false;
    const std::vector<std::wstring> listed = KvReadFileDrop(drop, KvMaxDropPathChars);
    paths.insert(paths.end(), listed.begin(), listed.end());
    return true;
}

std::vector<std::wstring> KvReadFileDrop(HDROP drop, size_t maxChars) {
    std::vector<std::wstring> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0 || length > maxChars) continue;
        std::wstring path(length + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, &path[0], length + 1));
        paths.push_back(std::move(path));
    }
    return paths;
}

bool KvReadDataObjectFiles(IDataObject* data, size_t maxChars, std::vector<std::wstring>& paths) {
    if (!data) return false;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return false;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        paths = KvReadFileDrop(static_cast<HDROP>(medium.hGlobal), maxChars);
    }
    ReleaseStgMedium(&medium);
    return true;
}

LPITEMIDLIST KvPathToItemList(IShellFolder* folder, const std::wstring& path) {
    if (!folder || path.empty()) return nullptr;
    std::wstring name = path;  // ParseDisplayName takes a writable string
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(folder->ParseDisplayName(nullptr, nullptr, &name[0], nullptr, &pidl, nullptr))) {
        CoTaskMemFree(pidl);
        return nullptr;
    }
    return pidl;
}

LPITEMIDLIST KvPathToItemList(const std::wstring& path) {
    kv::ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(&desktop))) return nullptr;
    return KvPathToItemList(desktop.get(), path);
}
