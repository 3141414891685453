// The backup directories of entries and their version files. An entry's directory lies under the
// project's backup directory, named by CEntry::backupName (a relative path ending in "\"); it holds
// info.xml (BackupInfo.h) and one file per kept version, named by the number in decimal with no
// extension. Files are only ever replaced by moving a finished copy over them.
#pragma once

#include <windows.h>

#include <string>

class CEntry;

namespace backup {

// The entry's backup directory (ending in "\"), made when needed; a new backupName is chosen when
// the entry has none or its directory is gone, never one that holds another entry's info.xml.
// Empty when it cannot be had: no backup directory, a path over 251 characters (warned here, and
// backupName is cleared), or a directory that cannot be made.
std::wstring OpenBackupFolder(CEntry& entry);

// "<directory><version>".
std::wstring VersionPath(const std::wstring& directory, int version);

// The local time as the store records it: "%d/%02d/%02d %02d:%02d %d".
std::wstring BackupTimeText(const SYSTEMTIME& time);
std::wstring BackupTimeNow();

// Copies `source` to a file beside `destination` and moves that over `destination`, so a failed or
// interrupted copy leaves `destination` as it was; a destination made read-only meanwhile is not
// replaced either. False when anything failed (no copy is then left beside).
bool CopyReplacingSafely(const std::wstring& source, const std::wstring& destination);

// Deletes the version files first to last, ignoring failures.
void DeleteVersions(const std::wstring& directory, int first, int last);

}  // namespace backup
