// The entry's paths: resolution of project-relative paths, conversion between the relative and
// absolute forms, the shown name and the entry's place in the backup store.
#include "Document/Folder.h"

#include <shlwapi.h>

#include <algorithm>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Kv/KvHandles.h"
#include "Document/Project.h"

namespace {

// Stored paths live in buffers of this size (terminator included): a conversion whose result does
// not fit leaves the entry as it is.
constexpr size_t kPathBuffer = MAX_PATH;
// BackupPath must leave room for the file names the backup store appends.
constexpr size_t kBackupPathLimit = 252;

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring FullPath(const std::wstring& path) {
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return std::wstring();
    std::wstring full(needed, L'\0');
    DWORD written = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    if (written == 0 || written >= needed) return std::wstring();
    full.resize(written);
    return full;
}

// The root of a directory path: "C:" for "C:\...", "\\server\share" for a UNC path, else empty.
std::wstring RootOf(const std::wstring& directory) {
    if (directory.size() >= 2 && directory[1] == L':') return directory.substr(0, 2);
    if (directory.size() >= 2 && IsSeparator(directory[0]) && IsSeparator(directory[1])) {
        size_t server = directory.find_first_of(L"\\/", 2);
        if (server == std::wstring::npos) return directory;
        size_t share = directory.find_first_of(L"\\/", server + 1);
        return share == std::wstring::npos ? directory : directory.substr(0, share);
    }
    return std::wstring();
}

// `path` taken against `directory` as the current directory would take it, without changing the
// process's current directory.
std::wstring ResolveAgainst(const std::wstring& directory, const std::wstring& path) {
    if (path.empty()) return std::wstring();
    const bool hasDrive = path.size() >= 2 && path[1] == L':';
    const bool unc = path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
    if (hasDrive || unc) return FullPath(path);
    if (IsSeparator(path[0])) return FullPath(RootOf(directory) + path);
    return FullPath(directory + path);
}

}  // namespace

std::wstring CEntry::ResolvedPath() const {
    if (!relative) return path;
    return ResolveAgainst(Project().directory, path);
}

void CEntry::MakeRelative() {
    const std::wstring& directory = Project().directory;
    if (relative || subfolder || directory.empty()) return;
    if (directory.size() >= kPathBuffer || path.size() >= kPathBuffer) return;
    wchar_t buffer[kPathBuffer] = {};
    if (!PathRelativePathToW(buffer, directory.c_str(), FILE_ATTRIBUTE_DIRECTORY, path.c_str(), FILE_ATTRIBUTE_NORMAL))
        return;
    const wchar_t* result = buffer;
    if (IsSeparator(*result)) ++result;
    path = result;
    relative = 1;
}

void CEntry::MakeAbsolute() {
    if (!relative || subfolder || Project().directory.empty()) return;
    std::wstring full = ResolvedPath();
    if (full.empty() || full.size() >= kPathBuffer) return;
    path = full;
    relative = 0;
}

std::wstring CEntry::ShownName() const {
    if (!alias.empty()) return alias;
    return GtFormat(kGtNameWithoutAlias, {name.str()});
}

bool IsDeviceName(const std::wstring& name) {
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    for (const wchar_t* device : kDevices)
        if (lstrcmpiW(stem.c_str(), device) == 0) return true;
    // COM1 to COM9 and LPT1 to LPT9 (also with the superscript digits the system counts).
    if (stem.size() != 4) return false;
    const std::wstring head = stem.substr(0, 3);
    const wchar_t digit = stem[3];
    const bool numbered =
        (digit >= L'1' && digit <= L'9') || digit == L'\x00B9' || digit == L'\x00B2' || digit == L'\x00B3';
    return numbered && (lstrcmpiW(head.c_str(), L"COM") == 0 || lstrcmpiW(head.c_str(), L"LPT") == 0);
}

bool IsPlainBackupName(const std::wstring& name) {
    const size_t length = !name.empty() && name.back() == L'\\' ? name.size() - 1 : name.size();
    if (length == 0) return false;
    size_t start = 0;
    while (start < length) {
        const size_t end = std::min(name.find(L'\\', start), length);
        const std::wstring part = name.substr(start, end - start);
        if (part.find_first_not_of(L". ") == std::wstring::npos) return false;
        for (wchar_t c : part)
            if (c < 0x20 || wcschr(L":*?\"<>|/", c)) return false;
        if (IsDeviceName(part)) return false;
        start = end + 1;
    }
    return true;
}

std::wstring CEntry::BackupPath() const {
    const std::wstring& directory = Project().backupDir;
    if (backupName.empty() || directory.empty() || !IsPlainBackupName(backupName)) return std::wstring();
    std::wstring result = directory;
    if (result.back() != L'\\') result += L'\\';
    result += backupName;
    if (result.size() >= kBackupPathLimit) return std::wstring();
    return result;
}

bool CEntry::HasBackup() const {
    std::wstring directory = BackupPath();
    if (directory.empty()) return false;
    kv::UniqueFile file(CreateFileW((directory + L"\\info.xml").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    return file.valid();
}
