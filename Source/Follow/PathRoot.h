// Whether the drive or network share a path lies on is there at all. A file whose drive is
// unplugged or whose share is unreachable is not lost, only offline; telling the two apart needs
// one look at the root, which is remembered until Forget so that a folder full of entries on one
// absent drive costs one look. A share that does not answer can keep a look waiting for many
// seconds, so an unreachable share is looked at again only every kShareRecheckMilliseconds,
// whatever Forget says. UI thread (one object per user).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

constexpr uint32_t kShareRecheckMilliseconds = 30000;

// "X:\" for a drive path, "\\server\share\" for a network path; empty for anything else.
std::wstring PathRoot(const std::wstring& path);

class RootAvailability {
public:
    // True when `path` has a root (PathRoot) that cannot be reached now.
    bool Offline(const std::wstring& path);
    // The next question looks at the roots again (an unreachable share only once its time is up).
    void Forget();

private:
    struct Answer {
        bool offline = false;
        bool share = false;
        uint32_t when = 0;  // GetTickCount of the look
    };
    std::unordered_map<std::wstring, Answer> roots_;  // upper-cased root -> last look
};
