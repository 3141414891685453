// Where the filer's display data comes from: the shell's display name, type name and system icon,
// and the file system's existence, size and date of one path. The texts are exactly those a full
// shell parse of every path gives, at a fraction of the system calls:
// - type name, icon and whether the shell hides the extension are asked once per extension (the
//   first file of each extension is asked in full and teaches the rest), and once for directories
//   that cannot be customised; files whose icon is their own (programs, icons, shortcuts and the
//   like) and read-only or system directories are still asked one by one;
// - existence, size and date of the files of one directory come from one directory listing; a name
//   the listing does not hold is confirmed with one call of its own before it counts as missing.
// Paths that are not plain drive or network paths go the full way. One object per thread: the
// filer's on the UI thread, and one of the display worker's own (FilerDisplayWorker.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_map>

// What one path looks like in the list.
struct PathDisplay {
    bool missing = false;
    bool directory = false;
    std::wstring name;      // the shell's display name; for a missing path its bare file name
    std::wstring typeText;  // "Unknown" for a missing path
    int icon = -1;          // system image list index, -1 when none
    bool hasSizeAndDate = false;
    uint64_t size = 0;
    FILETIME written{};  // last write, UTC
};

// The size column's value (whole KB, rounded up) and the date column's text ("%d/%d/%d %d:%d",
// year/month/day hour:minute of the UTC time, unpadded; empty when the time cannot be converted).
int32_t FilerSizeValue(uint64_t bytes);
std::wstring FilerDateText(const FILETIME& written);

class FilerDisplaySource {
public:
    // Describes `resolved`. False only when the path is empty.
    bool Describe(const std::wstring& resolved, PathDisplay& out);
    // The same through one full shell parse and one file open, with no cache: what every path
    // costs without this class, and the reference its answers equal.
    static bool DescribeInFull(const std::wstring& resolved, PathDisplay& out);
    // Attributes, size and last write of `resolved` from the source Describe takes them from: the
    // directory entry for plain drive and network paths (what a listing shows), the file itself
    // otherwise. The live view's check compares with this, so that a file another program holds
    // open, whose directory entry lags behind the file, does not read differently on every check.
    // False when the path is not there.
    static bool ReadFacts(const std::wstring& resolved, WIN32_FILE_ATTRIBUTE_DATA& out);
    // The system icon of a program (an entry's own application), cached per path.
    int ProgramIcon(const std::wstring& program);

    // Directory listings are only valid for one showing of a folder.
    void ForgetListings();
    // Forgets everything (the user asked for a refresh: associations may have changed too).
    void ForgetAll();

private:
    enum class NameRule { kKeep, kStripExtension, kAskEachFile };
    struct TypeFacts {
        std::wstring typeText;
        int icon = -1;
        NameRule rule = NameRule::kAskEachFile;
        bool ownIcon = false;
    };
    struct FileFacts {
        DWORD attributes = 0;
        uint64_t size = 0;
        FILETIME written{};
        std::wstring name;  // as the file system spells it
    };
    using Listing = std::unordered_map<std::wstring, FileFacts>;  // upper-cased name -> facts

    bool DescribeDirectory(const std::wstring& resolved, const FileFacts& facts, PathDisplay& out);
    // The listing of `directory`, made once it has been asked for often enough; null before.
    const Listing* ListingOf(const std::wstring& directory);

    std::unordered_map<std::wstring, Listing> directories_;  // upper-cased directory -> listing
    std::unordered_map<std::wstring, int> sightings_;        // upper-cased directory -> times asked
    std::unordered_map<std::wstring, TypeFacts> types_;      // upper-cased extension with its dot
    TypeFacts plainDirectory_;                               // type and icon of a directory that cannot be customised
    bool plainDirectoryKnown_ = false;
    std::unordered_map<std::wstring, int> programIcons_;
};
