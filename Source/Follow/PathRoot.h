// Whether the drive or network share a path lies on is there at all. A file whose drive is
// unplugged or whose share is unreachable is not lost, only offline; telling the two apart needs
// one look at the root, which is remembered until Forget so that a folder full of entries on one
// absent drive costs one look. UI thread (one object per user).
#pragma once

#include <string>
#include <unordered_map>

// "X:\" for a drive path, "\\server\share\" for a network path; empty for anything else.
std::wstring PathRoot(const std::wstring& path);

class RootAvailability {
public:
    // True when `path` has a root (PathRoot) that cannot be reached now.
    bool Offline(const std::wstring& path);
    // The next question looks at the roots again.
    void Forget() { roots_.clear(); }

private:
    std::unordered_map<std::wstring, bool> roots_;  // upper-cased root -> offline
};
