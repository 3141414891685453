// Roots of drive and network paths and whether they can be reached.
#include "Follow/PathRoot.h"

#include <windows.h>

#include <cwctype>
#include <utility>

#include "Kv/KvFiles.h"
#include "Kv/KvSlowPaths.h"

std::wstring PathRoot(const std::wstring& path) {
    if (path.size() >= 3 && iswalpha(path[0]) && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/'))
        return path.substr(0, 2) + L'\\';
    if (path.size() < 3 || path[0] != L'\\' || path[1] != L'\\' || path[2] == L'?' || path[2] == L'.') return {};
    const size_t server = path.find(L'\\', 2);
    if (server == std::wstring::npos || server == 2) return {};
    size_t share = path.find(L'\\', server + 1);
    if (share == server + 1) return {};
    if (share == std::wstring::npos) share = path.size();
    return path.substr(0, share) + L'\\';
}

bool RootAvailability::Offline(const std::wstring& path) {
    std::wstring root = PathRoot(path);
    if (root.empty()) return false;
    std::wstring key = KvUpperPath(root);
    const uint32_t now = GetTickCount();
    auto known = roots_.find(key);
    if (known != roots_.end() && (!known->second.share || now - known->second.when < kShareRecheckMilliseconds))
        return known->second.offline;
    // A drive letter nothing is mapped to, a drive without its medium and a share that does not
    // answer all fail here; an existing root never does. The drive type of a mapped letter comes
    // from the redirector without a look at the share.
    Answer answer;
    KvPathCallGate(root);
    answer.offline = GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES;
    answer.share = root[0] == L'\\' || GetDriveTypeW(root.c_str()) == DRIVE_REMOTE;
    answer.when = now;
    roots_[std::move(key)] = answer;
    return answer.offline;
}

void RootAvailability::Forget() {
    const uint32_t now = GetTickCount();
    for (auto it = roots_.begin(); it != roots_.end();) {
        const Answer& answer = it->second;
        if (answer.share && now - answer.when < kShareRecheckMilliseconds)
            ++it;
        else
            it = roots_.erase(it);
    }
}

bool RootAvailability::NoteDrives() {
    const uint32_t drives = GetLogicalDrives();
    if (drives == drives_) return false;
    drives_ = drives;
    Forget();
    return true;
}
