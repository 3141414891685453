// Backup directories and version files.
#include "Backup/Store/BackupStore.h"

#include <algorithm>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "Kv/KvFiles.h"
#include "Kv/KvHandles.h"
#include "Kv/KvWindow.h"

namespace backup {
namespace {

const wchar_t kOpenError[] = L"BackupFolder Open error!";
// An entry's directory with its "\" may be this long: the file names put in it ("info.xml",
// "copy.new", "info.new", version numbers) are at most 8 characters, and 251 + 8 stays below 260.
constexpr size_t kMaxBackupPath = 251;
// Candidate names tried for one entry before giving up.
constexpr int kMaxCandidates = 10000;
const wchar_t kCopyName[] = L"copy.new";

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring WithBackslash(std::wstring path) {
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path;
}

// Deletes a file even when it is read-only; a directory of that name is left alone.
void DeleteFileForcibly(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    DeleteFileW(path.c_str());
}

// The owning folders' names from the top down, each made safe and followed by "\".
std::wstring FolderLevels(const CFolder* folder) {
    std::vector<std::wstring> names;
    for (const CFolder* f = folder; f && f->parent; f = f->parent) names.push_back(SafeDirectoryName(f->Name()));
    std::wstring path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) path += *it + L"\\";
    return path;
}

std::wstring BackupRoot() {
    return WithBackslash(Project().backupDir);
}

// Creates a new directory for the entry's first backup: the folder levels above it as needed, then
// the first name "<levels><name><n>\" that does not exist yet. Empty, with the reason, on failure.
std::wstring ClaimDirectory(const CEntry& entry, std::wstring& name, StoreFailure& failure) {
    const std::wstring base = BackupRoot();
    const std::wstring levels = FolderLevels(entry.owner);
    // Every level above the new directory, the backup directory's own included; existing ones stay.
    const std::wstring above = base + levels;
    for (size_t at = above.find(L'\\', 3); at != std::wstring::npos; at = above.find(L'\\', at + 1))
        CreateDirectoryW(above.substr(0, at).c_str(), nullptr);
    const std::wstring stem = SafeDirectoryName(entry.name);
    for (int n = 0; n < kMaxCandidates; ++n) {
        const std::wstring leaf = stem + (n > 0 ? std::to_wstring(n) : std::wstring());
        if (IsDeviceName(leaf)) continue;
        name = levels + leaf + L"\\";
        const std::wstring directory = base + name;
        failure.path = directory;
        if (directory.size() > kMaxBackupPath) {
            failure.error = ERROR_FILENAME_EXCED_RANGE;
            return std::wstring();
        }
        if (CreateDirectoryW(directory.c_str(), nullptr)) return directory;
        failure.error = GetLastError();
        if (failure.error != ERROR_ALREADY_EXISTS) return std::wstring();
    }
    return std::wstring();
}

void Fail(StoreFailure& failure, const std::wstring& path, DWORD error) {
    failure.path = path;
    failure.error = error ? error : ERROR_GEN_FAILURE;
}

// Why a copy from `source` failed: the source's own error when it cannot be opened, else `fallback`.
DWORD CopyError(const std::wstring& source, DWORD fallback) {
    const DWORD error = ReadError(source);
    return error ? error : fallback;
}

bool Copy(const Copier& copy, const std::wstring& source, const std::wstring& destination) {
    return copy ? copy(source, destination) : KvCopyFileReplacing(source, destination);
}

// Copies `source` to `beside` (any earlier leftover there is replaced) with `attributes` on the
// copy, then moves it over `destination` unless that is read-only. Nothing is left at `beside`.
bool CopyThenMove(const std::wstring& source, const std::wstring& beside, const std::wstring& destination,
                  DWORD attributes, StoreFailure& failure, const Copier& copy) {
    DeleteFileForcibly(beside);
    if (!Copy(copy, source, beside)) {
        const DWORD error = GetLastError();
        Fail(failure, source, CopyError(source, error));
        return false;
    }
    SetFileAttributesW(beside.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
    // Checked after the copy: not every file system's move refuses a read-only target by itself.
    const DWORD existing = GetFileAttributesW(destination.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY)) {
        DeleteFileForcibly(beside);
        Fail(failure, destination, ERROR_ACCESS_DENIED);
        return false;
    }
    if (!MoveFileExW(beside.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail(failure, destination, GetLastError());
        DeleteFileForcibly(beside);
        return false;
    }
    return true;
}

// Removes what a first backup made in its new directory.
void ReleaseDirectory(const std::wstring& directory) {
    for (int version : ListVersionFiles(directory)) DeleteFileForcibly(VersionPath(directory, version));
    DeleteFileForcibly(directory + kCopyName);
    RemoveDirectoryW(directory.c_str());
}

}  // namespace

std::wstring ReachablePath(const std::wstring& path) {
    if (path.size() < MAX_PATH) return path;
    if (path.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    if (path.size() > 2 && path[1] == L':') return L"\\\\?\\" + path;
    return path;
}

std::wstring SafeDirectoryName(const std::wstring& name) {
    std::wstring safe = name;
    for (wchar_t& c : safe)
        if (c < 0x20 || wcschr(L"\\/:*?\"<>|", c)) c = L'_';
    for (auto it = safe.rbegin(); it != safe.rend() && (*it == L'.' || *it == L' '); ++it) *it = L'_';
    if (safe.empty()) safe = L"_";
    if (IsDeviceName(safe)) safe.insert(safe.begin(), L'_');
    return safe;
}

std::wstring SystemErrorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = length && text ? std::wstring(text, length) : L"(" + std::to_wstring(error) + L")";
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' '))
        result.pop_back();
    return result;
}

std::wstring ExistingBackupFolder(const CEntry& entry) {
    if (!entry.backupName.empty() && !IsPlainBackupName(entry.backupName)) {
        KvWarningBox(GtFormat(kGtBackupNameRefused, {entry.backupName.str()}).c_str());
        return std::wstring();
    }
    const std::wstring directory = WithBackslash(entry.BackupPath());
    if (directory.empty() || !IsDirectory(directory)) {
        const std::wstring where = directory.empty() ? BackupRoot() + entry.backupName : directory;
        KvWarningBox(kOpenError, (where + L"\n" + SystemErrorText(ERROR_PATH_NOT_FOUND)).c_str());
        return std::wstring();
    }
    return directory;
}

bool OpenBackupFolder(CEntry& entry, BackupPlace& place) {
    place = BackupPlace();
    const std::wstring base = BackupRoot();
    if (base.empty()) {
        KvWarningBox(kOpenError);
        return false;
    }
    if (!entry.backupName.empty()) {
        if (!IsPlainBackupName(entry.backupName)) {
            KvWarningBox(GtFormat(kGtBackupNameRefused, {entry.backupName.str()}).c_str());
            return false;
        }
        const std::wstring directory = WithBackslash(entry.BackupPath());
        if (!directory.empty() && IsDirectory(directory)) {
            place.directory = directory;
            return GetVersion(directory, place.versions);
        }
    }
    const std::wstring name = FolderLevels(entry.owner) + SafeDirectoryName(entry.name) + L"\\";
    if (base.size() + name.size() > kMaxBackupPath) {
        KvWarningBox(GlobalText::Get(kGtBackupPathTooLong), base.c_str());
        return false;
    }
    return DomAvailable();
}

StoreResult StoreVersion(CEntry& entry, BackupPlace& place, const std::wstring& source, int newVersion,
                         BackupMode mode, const std::wstring& comment, const std::wstring& time,
                         StoreFailure& failure, const Copier& copy) {
    std::wstring claimedName;
    const bool first = place.directory.empty();
    if (first) {
        place.directory = ClaimDirectory(entry, claimedName, failure);
        if (place.directory.empty()) {
            failure.directory = true;
            return StoreResult::NotCopied;
        }
        place.versions = Versions();
    }
    const std::wstring directory = place.directory;
    const auto giveUp = [&](StoreResult result) {
        if (first) {
            ReleaseDirectory(directory);
            place.directory.clear();
        }
        return result;
    };

    // The copy is finished before anything of the history changes.
    const std::wstring beside = directory + kCopyName;
    DeleteFileForcibly(beside);
    if (!Copy(copy, source, beside)) {
        const DWORD error = GetLastError();
        Fail(failure, source, CopyError(source, error));
        return giveUp(StoreResult::NotCopied);
    }
    // Versions are kept writable, so that they can be replaced and deleted like any other.
    const DWORD attributes = GetFileAttributesW(beside.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(beside.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);

    Versions before = place.versions;
    if (mode == BackupMode::Normal && before.endVersion > before.nowVersion) {
        if (!DropVersionsAfter(directory, before.nowVersion)) {
            DeleteFileForcibly(beside);
            failure = StoreFailure();  // reported by the index
            return StoreResult::NotCopied;
        }
        before.endVersion = before.nowVersion;
    }
    const std::wstring target = VersionPath(directory, newVersion);
    DeleteFileForcibly(target);  // a file of a version no index records any more
    if (!MoveFileExW(beside.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail(failure, target, GetLastError());
        DeleteFileForcibly(beside);
        return giveUp(StoreResult::NotCopied);
    }
    if (mode == BackupMode::Normal)
        for (int version : ListVersionFiles(directory))
            if (version > newVersion) DeleteFileForcibly(VersionPath(directory, version));

    if (!UpdateXML(directory, before, newVersion, mode, comment, time)) return giveUp(StoreResult::NotRecorded);
    if (first) entry.backupName = claimedName;
    place.versions.endVersion = mode == BackupMode::Normal ? newVersion : std::max(newVersion, before.endVersion);
    if (mode == BackupMode::Normal) place.versions.nowVersion = newVersion;
    return StoreResult::Stored;
}

bool RestoreFile(const std::wstring& version, const std::wstring& file, StoreFailure& failure, const Copier& copy) {
    const DWORD had = GetFileAttributesW(file.c_str());
    DWORD attributes = had;
    if (had == INVALID_FILE_ATTRIBUTES) {
        const DWORD versionAttributes = GetFileAttributesW(version.c_str());
        attributes = versionAttributes == INVALID_FILE_ATTRIBUTES ? 0 : versionAttributes & ~FILE_ATTRIBUTE_READONLY;
    }
    attributes &= ~(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    return CopyThenMove(version, ReachablePath(file + L".tfcopy"), ReachablePath(file), attributes, failure, copy);
}

DWORD ReadError(const std::wstring& path) {
    kv::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file ? 0 : GetLastError();
}

std::wstring VersionPath(const std::wstring& directory, int version) {
    return directory + std::to_wstring(version);
}

std::vector<int> ListVersionFiles(const std::wstring& directory) {
    std::vector<int> found;
    WIN32_FIND_DATAW data;
    // Only names and attributes are needed: no short names, and entries fetched in large batches.
    kv::UniqueFind find(FindFirstFileExW((directory + L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return found;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const int version = ParseVersion(data.cFileName);
        if (version > 0) found.push_back(version);
    } while (FindNextFileW(find.get(), &data));
    std::sort(found.begin(), found.end());
    return found;
}

std::wstring BackupTimeText(const SYSTEMTIME& t) {
    wchar_t text[64];
    swprintf(text, 64, L"%d/%02d/%02d %02d:%02d %d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return text;
}

std::wstring BackupTimeNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return BackupTimeText(now);
}

}  // namespace backup
