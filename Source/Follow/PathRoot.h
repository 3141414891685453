// Whether the drive or network share a path lies on is there at all. A file whose drive is
// unplugged or whose share is unreachable is not lost, only offline; telling the two apart needs
// one look at the root, which is remembered: a folder full of entries on one absent drive costs one
// look, and a shown folder costs none from one check to the next. A local drive's answer holds
// until Forget (a change was reported) or until the set of drive letters changes (NoteDrives: a
// drive came or went). A share, by UNC path or through a mapped drive letter, can keep a look
// waiting for many seconds, so its answer is looked at again only once kShareRecheckMilliseconds
// have passed, whatever Forget says. UI thread (one object per user).
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
    // The next question looks at the roots again (a share only once its time is up).
    void Forget();
    // Forgets as Forget does when a drive letter came or went since the last call; true then.
    bool NoteDrives();

private:
    struct Answer {
        bool offline = false;
        bool share = false;  // a UNC root or a drive letter mapped to a share
        uint32_t when = 0;  // GetTickCount of the look
    };
    std::unordered_map<std::wstring, Answer> roots_;  // upper-cased root -> last look
    uint32_t drives_ = 0;                             // GetLogicalDrives at the last NoteDrives
};
