// Depth-first directory walk on FindFirstFileExW. One path buffer is shared by every level: each
// level appends its item names to its own prefix and cuts them off again.
#include "Kv/KvWalk.h"

#include <windows.h>

#include <cwchar>
#include <string_view>

#include "Kv/KvHandles.h"
#include "Kv/KvSlowPaths.h"

namespace {

struct Walk {
    const KvWalkOptions& options;
    const std::atomic<bool>& stop;
    const KvWalkReport& report;
    std::wstring path;  // the directory being listed, ending in a separator, then an item name

    bool Contains(const wchar_t* name, const std::wstring& text) const {
        return std::wstring_view(name).find(text) != std::wstring_view::npos;
    }

    bool MayEnter(int level) const {
        return options.levelLimit < 0 || (options.levelLimit > 0 && level < options.levelLimit);
    }

    // Lists `path` (which ends in a separator) at `level`; returns false once the stop flag is seen.
    bool List(int level) {
        const size_t prefix = path.size();
        KvPathCallGate(path);
        path += L'*';
        WIN32_FIND_DATAW found;
        kv::UniqueHandle<kv::FindHandleTraits> find(FindFirstFileExW(
            path.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
        path.resize(prefix);
        if (!find) return !stop.load(std::memory_order_relaxed);
        do {
            if (!Item(found, level)) return false;
            path.resize(prefix);
            if (stop.load(std::memory_order_relaxed)) return false;
        } while (FindNextFileW(find.get(), &found));
        return true;
    }

    bool Item(const WIN32_FIND_DATAW& found, int level) {
        const wchar_t* name = found.cFileName;
        const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (directory && (!wcscmp(name, L".") || !wcscmp(name, L".."))) return true;
        if (directory && !options.exclusionText.empty() && Contains(name, options.exclusionText)) return true;
        path += name;
        if (path.size() >= MAX_PATH) return true;
        if (options.includeText.empty() || Contains(name, options.includeText)) report(path, directory);
        if (!directory || KvIsDirectoryLink(found.dwFileAttributes, found.dwReserved0) || !MayEnter(level)) return true;
        path += L'\\';
        return List(level + 1);
    }
};

}  // namespace

bool KvIsDirectoryLink(unsigned long attributes, unsigned long reparseTag) {
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    return reparseTag == 0 || IsReparseTagNameSurrogate(reparseTag);
}

void KvWalkDirectory(const std::wstring& root, const KvWalkOptions& options, const std::atomic<bool>& stop,
                     const KvWalkReport& report) {
    if (root.empty()) return;
    Walk walk{options, stop, report, root};
    if (walk.path.back() != L'\\' && walk.path.back() != L'/') walk.path += L'\\';
    walk.List(1);
}
