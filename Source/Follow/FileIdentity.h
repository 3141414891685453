// What makes a file the same file after it was moved or renamed: the volume's serial number and the
// file's id on that volume, as GetFileInformationByHandleEx gives them (the 128-bit id where the
// system has it, else the 64-bit file index), with its size and last-write time. A file keeps its
// id through a rename or a move within its volume. File systems hand a freed id to the next new
// file, though (under Wine the id is the inode number), so a file counts as the same one only when
// its size and last-write time are unchanged too: a file edited after it moved is not recognised,
// and a new file that took a deleted file's id and name never passes for it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct FileIdentity {
    uint64_t volume = 0;
    std::array<uint8_t, 16> id{};
    uint64_t size = 0;
    uint64_t written = 0;  // last write, FILETIME as one 64-bit number

    bool SameFile(const FileIdentity& other) const {
        return volume == other.volume && id == other.id && size == other.size && written == other.written;
    }
};

// The identity of the file or directory at `path`; false when it cannot be opened or has no id.
bool ReadFileIdentity(const std::wstring& path, FileIdentity& out);
