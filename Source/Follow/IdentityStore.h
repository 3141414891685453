// The identities of the project's files (FileIdentity.h), kept in a sidecar file beside the project,
// "<project file>.ids", so that an entry whose file was moved can be found again. The project file
// itself does not change; a project without a sidecar simply has no identities yet.
//
// Sidecar layout (little-endian):
//   8 bytes  magic "TFIDS\x01\0\0"
//   u32      record count N
//   N records: u32 path length L in UTF-16 units (1..32767), L units of the path as the entry
//              resolves it, u64 volume serial, 16 bytes file id, u64 size, u64 last write (FILETIME)
//   u32      FNV-1a checksum of every byte before it
// A file that is truncated, longer, or whose checksum or any length does not fit is refused whole.
// Written with the project's safe save: beside the target, flushed, then moved over it.
// UI thread only.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "Follow/FileIdentity.h"

class CFolder;

class IdentityStore {
public:
    // The identity last known for a resolved path (compared without case), or null.
    const FileIdentity* Find(const std::wstring& path) const;
    void Remember(const std::wstring& path, const FileIdentity& identity);
    void Forget(const std::wstring& path);
    void Clear() { records_.clear(); }
    size_t Count() const { return records_.size(); }

    // Reads the sidecar; false, with the store emptied, when there is none or it is damaged.
    bool Load(const std::wstring& file);
    bool Save(const std::wstring& file) const;
    // The identity of every file entry of the tree whose file is there now; entries whose file is
    // missing or offline, or whose path may keep a call waiting (KvMayBlock), keep what was known;
    // paths no entry uses any more are dropped.
    void Refresh(const CFolder& root);

private:
    struct Record {
        std::wstring path;
        FileIdentity identity;
    };
    std::unordered_map<std::wstring, Record> records_;  // upper-cased path -> record
};

// "<project file>.ids".
std::wstring IdentitiesPathFor(const std::wstring& projectPath);
// The open project's identities.
IdentityStore& ProjectIdentities();
