// The backup directories of entries and their version files. An entry's directory lies under the
// project's backup directory, named by CEntry::backupName (a relative path ending in "\"); it holds
// info.xml (BackupInfo.h) and one file per kept version, named by the number in decimal with no
// extension.
//
// A directory belongs to exactly one entry. A first backup claims a new directory by creating it (a
// directory that already exists is never taken over) and the entry's backupName is set only once
// the first version and its index are stored; a first backup that fails removes what it made.
// Files are only ever replaced by moving a finished copy over them; the copies in the store are
// made under short names ("copy.new", "info.new") that fit wherever "info.xml" fits, so no path in
// the store is longer than the 251 characters of its directory plus "info.xml".
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Backup/Store/BackupInfo.h"

class CEntry;

namespace backup {

// Where an entry's next version goes.
struct BackupPlace {
    std::wstring directory;  // the entry's directory, ending in "\"; empty before its first backup
    Versions versions;       // its counters; 0 and 0 before the first backup
};

// Why a backup did not go through: the path concerned and the system's error code; `directory`
// when it was the entry's new directory that could not be made.
struct StoreFailure {
    std::wstring path;
    DWORD error = 0;
    bool directory = false;
};

// Makes a copy of `source` at `destination` as KvCopyFileReplacing does; the dialogs pass one that
// shows a progress window with Cancel for a large file. Empty: KvCopyFileReplacing itself.
using Copier = std::function<bool(const std::wstring& source, const std::wstring& destination)>;

// The system's error code for opening `path` to read it; 0 when it can be opened.
DWORD ReadError(const std::wstring& path);

// The entry's existing backup directory (ending in "\"), making nothing. Empty after a warning when
// the entry has none, when its backupName is refused (IsPlainBackupName), or the directory is gone.
std::wstring ExistingBackupFolder(const CEntry& entry);

// Finds where the entry's next version goes, making nothing: its existing directory and counters,
// or an empty directory when the first backup will claim a new one. False after a warning when the
// entry cannot be backed up: no backup directory, a stored backupName that is refused, a new
// directory's path over 251 characters (entry 150), no DOM component or a damaged index.
bool OpenBackupFolder(CEntry& entry, BackupPlace& place);

enum class StoreResult { Stored, NotCopied, NotRecorded };

// Stores `source` as version `newVersion` of `place` and records it with `comment` and `time`
// (after the questions of the caller). A first backup claims the entry's directory and sets its
// backupName on success. In the normal mode the versions after place.versions.nowVersion leave the
// index before the new file replaces any of them and their files are deleted afterwards; in the
// append mode nothing else changes. NotCopied: nothing was stored; `failure` says why, or holds an
// empty path when the index could not be read and that was reported already. NotRecorded:
// the index could not be written after its warning; a first backup then leaves nothing behind, a
// later one keeps the version file. `place` holds the new counters on success.
StoreResult StoreVersion(CEntry& entry, BackupPlace& place, const std::wstring& source, int newVersion,
                         BackupMode mode, const std::wstring& comment, const std::wstring& time,
                         StoreFailure& failure, const Copier& copy = Copier());

// Copies a version over the entry's file through a copy beside it that is then moved over it, so a
// failed or interrupted copy leaves the file as it was; the file keeps the attributes it had (a new
// file gets the version's without read-only). A file made read-only meanwhile is not replaced.
// False, with the reason in `failure`, when anything failed (no copy is then left beside).
bool RestoreFile(const std::wstring& version, const std::wstring& file, StoreFailure& failure,
                 const Copier& copy = Copier());

// "<directory><version>".
std::wstring VersionPath(const std::wstring& directory, int version);
// The version numbers of the version files in `directory`, ascending, from one listing.
std::vector<int> ListVersionFiles(const std::wstring& directory);

// The local time as the store records it: "%d/%02d/%02d %02d:%02d %d".
std::wstring BackupTimeText(const SYSTEMTIME& time);
std::wstring BackupTimeNow();

// `path` as it can be opened when it is 260 characters or longer: the extended-length form of an
// absolute path (prefix \\?\). Shorter paths are given as they are.
std::wstring ReachablePath(const std::wstring& path);

// The system's text for an error code, without the trailing line break.
std::wstring SystemErrorText(DWORD error);

// A directory name made from a name the user gave: characters the system refuses in names replaced
// by "_", trailing dots and blanks replaced, device names ("CON", "nul.txt") prefixed with "_".
std::wstring SafeDirectoryName(const std::wstring& name);

}  // namespace backup
