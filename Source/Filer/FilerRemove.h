// What removing an entry from the project does to its backups, shared by the filer and the find's
// result list.
#pragma once

#include <windows.h>

class CEntry;

// For an entry with backups, asks whether they go with it and deletes its backup directory when the
// user says so. False when the user cancels, which stops the removal of this and later entries.
bool SettleBackupsOfRemovedEntry(HWND owner, const CEntry& entry);
