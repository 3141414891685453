// The toolkit's directory walk: depth-first, each directory reported before its contents, the items
// of one directory in the order the file system lists them. Serves the folder searches and backups.
#pragma once

#include <atomic>
#include <cwchar>
#include <functional>
#include <string>

struct KvWalkOptions {
    // Levels walked: 1 (or 0) lists only the top directory's items, 2 adds their subdirectories'
    // items, a negative limit walks every level.
    int levelLimit = -1;
    // Case-sensitive substrings of an item's own name; empty means no filter. The include text
    // decides what is reported (directories it refuses are still entered); the exclusion text
    // drops a directory with everything below it and is not applied to files.
    std::wstring includeText;
    std::wstring exclusionText;
};

// Receives each reported full path; `directory` tells a directory from anything else.
using KvWalkReport = std::function<void(const std::wstring& path, bool directory)>;

// Whether a directory with these attributes and reparse tag (WIN32_FIND_DATAW::dwReserved0) is a
// link to elsewhere: a symbolic link, a junction or any other name surrogate, or a reparse point
// whose tag is not known. Other reparse points (cloud-file placeholders, deduplicated folders) hold
// their own contents and are walked like plain directories.
bool KvIsDirectoryLink(unsigned long attributes, unsigned long reparseTag);

// Walks the directory `root` (with or without a final separator). `stop` is read after every item
// at every level, so setting it from another thread ends the walk at once. Directory links
// (KvIsDirectoryLink) are reported but never entered (a link to an ancestor would loop); a full path
// of MAX_PATH characters or more is neither reported nor entered; a directory that cannot be listed
// contributes nothing. An empty root finds nothing.
void KvWalkDirectory(const std::wstring& root, const KvWalkOptions& options, const std::atomic<bool>& stop,
                     const KvWalkReport& report);
