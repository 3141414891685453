// The dialogs the filer's context menu opens for its entries: the application chooser of one entry,
// the backup of entries and the backup history of one entry. Each dialog is reached through exactly
// one function here, so the filer never names the dialog classes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CEntry;

// Lets the user choose the application that opens `entry` (its appPath). True when the entry's
// application changed, so the folder is to be shown again.
bool ChooseApplicationFor(HWND owner, CEntry& entry);
// Opens `entry` with `program`; an empty path, or a full path that is not an existing file, is named
// in the warning box instead (a stored path goes stale when the program is moved or uninstalled).
void OpenEntryWith(HWND owner, const std::wstring& program, const CEntry& entry);
// Backs up the file of `entry` as a new version, with a comment (the one-entry backup dialog).
void BackupEntry(HWND owner, CEntry& entry);
// Backs up the files of `entries` as new versions with one comment (the several-entries form).
void BackupEntries(HWND owner, const std::vector<CEntry*>& entries);
// Lists the backed-up versions of `entry`, to open or restore them.
void ShowBackupHistory(HWND owner, CEntry& entry);
