// One backup as the backup dialog makes it once its questions are answered, for tests that need a
// store in a given state.
#pragma once

#include <string>

#include "Backup/Store/BackupStore.h"
#include "Document/Folder.h"

namespace tf_test {

// The number of the version stored and recorded, or -1.
inline int StoreBackup(CEntry& entry, backup::BackupMode mode, const std::wstring& comment,
                       const std::wstring& time = L"2024/01/05 09:07 3") {
    backup::BackupPlace place;
    if (!backup::OpenBackupFolder(entry, place)) return -1;
    const int version =
        (mode == backup::BackupMode::Append ? place.versions.endVersion : place.versions.nowVersion) + 1;
    backup::StoreFailure failure;
    const backup::StoreResult result =
        backup::StoreVersion(entry, place, entry.ResolvedPath(), version, mode, comment, time, failure);
    return result == backup::StoreResult::Stored ? version : -1;
}

}  // namespace tf_test
