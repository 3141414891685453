// What the version-10 project file has no field for, kept in a sidecar beside the project,
// "<project file>.more": the single search folder's exclusion text of each folder, and the entries
// whose relink question the user answered with No. The project file itself never changes for it;
// a project without the sidecar simply has none of these.
//
// Sidecar layout (little-endian; a string is u32 length L in UTF-16 units, 1..32767, then L units):
//   8 bytes  magic "TFMORE\x01\0"
//   u64      size of the project file it was saved with
//   u64      last write of that project file (FILETIME)
//   u32      folder count F; F records: u32 folder id, string exclusion text
//   u32      declined count D; D records: u32 folder id, u32 entry index, string the entry's path
//   u32      FNV-1a checksum of every byte before it
// A sidecar that is damaged in any way, or that was saved with another version of the project file
// (size or last write differ), is ignored whole. Written with the project's safe save.
// UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CFolder;

struct FolderExtras {
    struct Exclusion {
        uint32_t folderId = 0;
        std::wstring text;
    };
    struct Declined {
        uint32_t folderId = 0;
        uint32_t index = 0;
        std::wstring path;
    };
    std::vector<Exclusion> exclusions;
    std::vector<Declined> declined;

    bool Empty() const { return exclusions.empty() && declined.empty(); }
};

// "<project file>.more".
std::wstring FolderExtrasPathFor(const std::wstring& projectPath);

// What the tree holds that the sidecar keeps.
FolderExtras GatherFolderExtras(const CFolder& root);
// Puts each record on the folder with its id (and, for a declined relink, on the entry at its index
// when that entry still has the path); records that fit nothing are dropped.
void ApplyFolderExtras(const FolderExtras& extras, CFolder& root);

// Reads the sidecar of the project file `projectPath`; false (and `out` empty) when there is none,
// it is damaged, or it belongs to another version of the project file.
bool ReadFolderExtras(const std::wstring& projectPath, FolderExtras& out);
// Writes the sidecar of the project file just saved at `projectPath`. With nothing to keep, an
// existing sidecar is removed and none is made.
bool WriteFolderExtras(const std::wstring& projectPath, const FolderExtras& extras);
