// Existence test, copying over a file and deleting a tree.
#include "Kv/KvFiles.h"

#include "Kv/KvHandles.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The prefix of an extended-length path (\\?\) is no wildcard.
bool HasWildcard(const std::wstring& path) {
    const size_t from = path.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
    return path.find_first_of(L"*?", from) != std::wstring::npos;
}

std::wstring WithBackslash(std::wstring path) {
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path;
}

// Absolute form of `path` with "." and ".." resolved; empty when it cannot be formed.
std::wstring FullPath(const std::wstring& path) {
    if (path.empty()) return std::wstring();
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return std::wstring();
    std::wstring full(needed, L'\0');
    DWORD n = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    if (n == 0 || n >= needed) return std::wstring();
    full.resize(n);
    return full;
}

// Blocks large enough that a copy runs at the disk's speed.
constexpr DWORD kCopyBlockBytes = 4u * 1024u * 1024u;
// The attributes a copy takes over from its source.
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

KvCopyProgressHook& CopyProgressHook() {
    static KvCopyProgressHook hook;
    return hook;
}

// Makes the directories above `path` that are missing.
void MakeParentDirectories(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return;
    const std::wstring parent = FullPath(path.substr(0, separator));
    if (!parent.empty() && GetFileAttributesW(parent.c_str()) == INVALID_FILE_ATTRIBUTES)
        SHCreateDirectoryExW(nullptr, parent.c_str(), nullptr);
}

bool AllZero(const unsigned char* bytes, size_t count) {
    return count == 0 || (bytes[0] == 0 && std::memcmp(bytes, bytes + 1, count - 1) == 0);
}

// Writes every byte of `source` to `destination`, a new empty file; false when a read or write fails
// or the test seam stops the copy. A block of zeros is passed over instead of written and the end of
// file set at the end: the file system reads the gap as zeros (and keeps it as a hole where it can),
// so a sparse file is copied without writing gigabytes of zeros.
bool CopyBlocks(HANDLE source, HANDLE destination, const std::wstring& destinationPath,
                const KvCopyProgress& progress) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(source, &size)) return false;
    const unsigned long long total = static_cast<unsigned long long>(size.QuadPart);
    std::vector<unsigned char> block(
        static_cast<size_t>(std::max<unsigned long long>(1, std::min<unsigned long long>(total, kCopyBlockBytes))));
    unsigned long long copied = 0;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(source, block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) return false;
        if (read == 0) return SetEndOfFile(destination) != FALSE;
        if (AllZero(block.data(), read)) {
            LARGE_INTEGER gap{};
            gap.QuadPart = read;
            if (!SetFilePointerEx(destination, gap, nullptr, FILE_CURRENT)) return false;
        } else {
            DWORD written = 0;
            if (!WriteFile(destination, block.data(), read, &written, nullptr) || written != read) return false;
        }
        copied += read;
        if (CopyProgressHook() && !CopyProgressHook()(destinationPath, copied, total)) return false;
        if (progress && !progress(copied, total)) return false;
    }
}

struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

bool Identify(HANDLE file, FileIdentity& id) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return false;
    id.volume = info.dwVolumeSerialNumber;
    id.indexHigh = info.nFileIndexHigh;
    id.indexLow = info.nFileIndexLow;
    return true;
}

bool SameFile(HANDLE a, const std::wstring& pathB) {
    kv::UniqueFile b(CreateFileW(pathB.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!b) return false;
    FileIdentity ia, ib;
    if (!Identify(a, ia) || !Identify(b.get(), ib)) return false;
    return ia.volume == ib.volume && ia.indexHigh == ib.indexHigh && ia.indexLow == ib.indexLow;
}

// `prefix` ends with a backslash. Reparse points (junctions, symbolic links) are removed as links.
void DeleteContents(const std::wstring& prefix) {
    WIN32_FIND_DATAW fd;
    kv::UniqueFind find(FindFirstFileW((prefix + L"*.*").c_str(), &fd));
    if (!find) return;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = prefix + name;
        const bool directory = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool link = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (directory && link) {
            RemoveDirectoryW(path.c_str());
        } else if (directory) {
            DeleteContents(path + L'\\');
            RemoveDirectoryW(path.c_str());
        } else {
            DeleteFileW(path.c_str());
        }
    } while (FindNextFileW(find.get(), &fd));
}

}  // namespace

bool KvPathExists(const std::wstring& path) {
    if (path.empty() || HasWildcard(path)) return false;
    std::wstring p = path;
    if (p.back() == L'\\') p.pop_back();
    // A search cannot name a drive or share root itself; ask for its attributes instead.
    const std::wstring asDirectory = p + L'\\';
    if (PathIsRootW(asDirectory.c_str())) return GetFileAttributesW(asDirectory.c_str()) != INVALID_FILE_ATTRIBUTES;
    WIN32_FIND_DATAW fd;
    kv::UniqueFind find(FindFirstFileW(p.c_str(), &fd));
    return find.valid();
}

std::wstring KvUpperPath(std::wstring path) {
    if (!path.empty()) CharUpperBuffW(&path[0], static_cast<DWORD>(path.size()));
    return path;
}

bool KvCopyFileReplacing(const std::wstring& source, const std::wstring& destination) {
    return KvCopyFileReplacing(source, destination, KvCopyProgress());
}

bool KvCopyFileReplacing(const std::wstring& source, const std::wstring& destination, const KvCopyProgress& progress) {
    if (source.empty() || destination.empty() || HasWildcard(source) || HasWildcard(destination)) return false;
    kv::UniqueFile src(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!src) return false;
    const DWORD destAttributes = GetFileAttributesW(destination.c_str());
    if (destAttributes != INVALID_FILE_ATTRIBUTES && (destAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (destAttributes != INVALID_FILE_ATTRIBUTES && SameFile(src.get(), destination)) return true;

    MakeParentDirectories(destination);
    kv::UniqueFile dest(CreateFileW(destination.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!dest) return false;
    FILETIME written{};
    const bool copied = CopyBlocks(src.get(), dest.get(), destination, progress) &&
                        GetFileTime(src.get(), nullptr, nullptr, &written) &&
                        SetFileTime(dest.get(), nullptr, nullptr, &written) &&
                        FlushFileBuffers(dest.get());  // on disk before a caller moves it over a file
    const DWORD sourceAttributes = GetFileAttributesW(source.c_str());
    dest.reset();
    if (!copied) {
        DeleteFileW(destination.c_str());
        return false;
    }
    if (sourceAttributes != INVALID_FILE_ATTRIBUTES && (sourceAttributes & kCopiedAttributes))
        SetFileAttributesW(destination.c_str(), sourceAttributes & kCopiedAttributes);
    return true;
}

void KvSetCopyProgressHook(KvCopyProgressHook hook) {
    CopyProgressHook() = std::move(hook);
}

bool KvDeleteTree(const std::wstring& dir) {
    const std::wstring full = FullPath(dir);
    if (full.empty()) return false;
    const std::wstring prefix = WithBackslash(full);
    if (PathIsRootW(prefix.c_str())) return false;
    std::wstring top = prefix;
    top.pop_back();

    const DWORD attributes = GetFileAttributesW(top.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return RemoveDirectoryW(top.c_str()) != FALSE;
    DeleteContents(prefix);
    return RemoveDirectoryW(top.c_str()) != FALSE;
}
