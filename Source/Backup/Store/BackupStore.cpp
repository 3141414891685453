// Backup directories and version files.
#include "Backup/Store/BackupStore.h"

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Document/Folder.h"
#include "Document/Project.h"
#include "Kv/KvFiles.h"
#include "Kv/KvWindow.h"

namespace backup {
namespace {

constexpr size_t kMaxBackupPath = 251;
// Candidate names tried for one entry before giving up.
constexpr int kMaxCandidates = 10000;

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Makes every level of `path` (ending in "\"); true when it is a directory afterwards.
bool MakeDirectories(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    return IsDirectory(path);
}

}  // namespace

std::wstring OpenBackupFolder(CEntry& entry) {
    std::wstring base = Project().backupDir;
    if (base.empty()) return std::wstring();
    if (base.back() != L'\\') base += L'\\';
    if (!entry.backupName.empty() && IsDirectory(base + entry.backupName)) return base + entry.backupName;

    const std::wstring stem = (entry.owner ? entry.owner->Path(true) : std::wstring()) + entry.name;
    for (int n = 0; n < kMaxCandidates; ++n) {
        entry.backupName = stem + (n > 0 ? std::to_wstring(n) : std::wstring()) + L"\\";
        if (!entry.HasBackup()) break;
    }
    if (base.size() + entry.backupName.size() > kMaxBackupPath) {
        KvWarningBox(GlobalText::Get(kGtBackupPathTooLong), base.c_str());
        entry.backupName.clear();
        return std::wstring();
    }
    const std::wstring directory = base + entry.backupName;
    if (!MakeDirectories(directory)) return std::wstring();
    return directory;
}

std::wstring VersionPath(const std::wstring& directory, int version) {
    return directory + std::to_wstring(version);
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

bool CopyReplacingSafely(const std::wstring& source, const std::wstring& destination) {
    const std::wstring beside = destination + L".tfcopy";
    // A destination made read-only while the copy ran is not replaced (not every file system's
    // move refuses it by itself).
    const auto writable = [&destination] {
        const DWORD attributes = GetFileAttributesW(destination.c_str());
        return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY);
    };
    if (!KvCopyFileReplacing(source, beside) || !writable() ||
        !MoveFileExW(beside.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (!IsDirectory(beside)) {
            // The copy carries a read-only source's attribute, which would refuse the deletion.
            SetFileAttributesW(beside.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(beside.c_str());
        }
        return false;
    }
    return true;
}

void DeleteVersions(const std::wstring& directory, int first, int last) {
    for (int version = first; version <= last; ++version) {
        // A version of a read-only file keeps that attribute, which would refuse the deletion.
        const std::wstring path = VersionPath(directory, version);
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        DeleteFileW(path.c_str());
    }
}

}  // namespace backup
