// Builds the data object of a file drag: the first path as text in both text formats and the
// file list of every path.
#include "Ole/FileDragData.h"

#include "Ole/DataObject.h"

#include "Kv/KvClipboard.h"
#include "Kv/KvHandles.h"

#include <new>

namespace {

// Three records: wide text, 8-bit text and the file list.
constexpr UINT kFileDragFormats = 3;

// Movable global memory with `text` converted to the ANSI code page and a terminating NUL. Text
// that the code page cannot represent becomes the code page's default character, as the system's
// own clipboard conversion does.
HGLOBAL MakeAnsiTextGlobal(const std::wstring& text) {
    const int length = static_cast<int>(text.size());
    const int bytes =
        length == 0 ? 0 : WideCharToMultiByte(CP_ACP, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
    if (length > 0 && bytes <= 0) return nullptr;
    kv::UniqueGlobal mem(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(bytes) + 1));
    if (!mem) return nullptr;
    kv::GlobalLockScope<char> lock(mem.get());
    if (!lock) return nullptr;
    if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, text.c_str(), length, lock.get(), bytes, nullptr, nullptr);
    return mem.release();
}

// Hands `block` to `data` under `format`; the block is freed here when the object refuses it.
bool Store(CDataObject& data, CLIPFORMAT format, kv::UniqueGlobal block) {
    if (!block) return false;
    FORMATETC fe{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block.get();
    if (FAILED(data.SetData(&fe, &medium, TRUE))) return false;
    block.release();
    return true;
}

}  // namespace

CDataObject* MakeFileDragData(const std::vector<std::wstring>& paths) {
    if (paths.empty()) return nullptr;
    CDataObject* data = new (std::nothrow) CDataObject(kFileDragFormats);
    if (!data) return nullptr;
    const bool stored = Store(*data, CF_UNICODETEXT, kv::UniqueGlobal(KvMakeTextGlobal(paths.front()))) &&
                        Store(*data, CF_TEXT, kv::UniqueGlobal(MakeAnsiTextGlobal(paths.front()))) &&
                        Store(*data, CF_HDROP, kv::UniqueGlobal(KvMakeFileDrop(paths)));
    if (!stored) {
        data->Release();
        return nullptr;
    }
    return data;
}
