// Slow paths and the latency seam (KvSlowPaths.h).
#include "Kv/KvSlowPaths.h"

#include <cwctype>

#include "Kv/KvFiles.h"

namespace {

// The seam's state. `released` is a manual-reset event made once and kept for the process's life,
// so that a call waiting on it never sees it closed.
struct Seam {
    SRWLOCK lock = SRWLOCK_INIT;
    std::wstring root;  // upper-cased; empty while the seam is off
    DWORD milliseconds = 0;
    HANDLE released = CreateEventW(nullptr, TRUE, TRUE, nullptr);
};

Seam& TheSeam() {
    static Seam seam;
    return seam;
}

struct DriveTypes {
    SRWLOCK lock = SRWLOCK_INIT;
    DWORD drives = 0;   // GetLogicalDrives when `types` was last trusted
    UINT types[26] = {};  // 0 until asked
};

DriveTypes& TheDriveTypes() {
    static DriveTypes types;
    return types;
}

bool UnderSeamRoot(const std::wstring& path, DWORD& milliseconds) {
    Seam& seam = TheSeam();
    AcquireSRWLockShared(&seam.lock);
    const bool under = !seam.root.empty() && path.size() >= seam.root.size() &&
                       KvUpperPath(path.substr(0, seam.root.size())) == seam.root;
    milliseconds = seam.milliseconds;
    ReleaseSRWLockShared(&seam.lock);
    return under;
}

UINT DriveType(wchar_t letter) {
    const int slot = std::towupper(letter) - L'A';
    if (slot < 0 || slot >= 26) return DRIVE_UNKNOWN;
    DriveTypes& cache = TheDriveTypes();
    const DWORD drives = GetLogicalDrives();
    AcquireSRWLockExclusive(&cache.lock);
    if (drives != cache.drives) {
        cache.drives = drives;
        for (UINT& type : cache.types) type = 0;
    }
    UINT type = cache.types[slot];
    ReleaseSRWLockExclusive(&cache.lock);
    if (type != 0) return type;
    const wchar_t root[] = {letter, L':', L'\\', L'\0'};
    type = GetDriveTypeW(root);
    AcquireSRWLockExclusive(&cache.lock);
    cache.types[slot] = type;
    ReleaseSRWLockExclusive(&cache.lock);
    return type;
}

}  // namespace

bool KvMayBlock(const std::wstring& path) {
    DWORD milliseconds = 0;
    if (UnderSeamRoot(path, milliseconds)) return true;
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') return true;
    if (path.size() < 2 || path[1] != L':' || !std::iswalpha(path[0])) return false;
    const UINT type = DriveType(path[0]);
    return type == DRIVE_REMOTE || type == DRIVE_CDROM;
}

void KvSlowDownCalls(const std::wstring& root, DWORD milliseconds) {
    Seam& seam = TheSeam();
    AcquireSRWLockExclusive(&seam.lock);
    seam.root = KvUpperPath(root);
    seam.milliseconds = milliseconds;
    if (milliseconds == kKvBlockCalls) ResetEvent(seam.released);
    ReleaseSRWLockExclusive(&seam.lock);
}

void KvReleaseCalls() {
    Seam& seam = TheSeam();
    AcquireSRWLockExclusive(&seam.lock);
    seam.root.clear();
    seam.milliseconds = 0;
    SetEvent(seam.released);
    ReleaseSRWLockExclusive(&seam.lock);
}

void KvPathCallGate(const std::wstring& path) {
    DWORD milliseconds = 0;
    if (!UnderSeamRoot(path, milliseconds)) return;
    if (milliseconds == kKvBlockCalls)
        WaitForSingleObject(TheSeam().released, INFINITE);
    else
        Sleep(milliseconds);
}
