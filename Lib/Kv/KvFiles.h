// File-system helpers of the library: existence test, byte-wise comparison, copying over a file and
// deleting a directory tree. None of them shows a message; results are the return values only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Whether a file or directory exists at `path`; one trailing backslash is ignored, so "C:\dir\" and
// "C:\dir" answer alike. A path holding wildcards names no single file and gives false.
bool KvPathExists(const std::wstring& path);

// `path` in upper case as the system folds names, the key under which file names compare without
// regard to case.
std::wstring KvUpperPath(std::wstring path);

// Results of KvCompareFiles.
enum KvCompareResult {
    KvCompareEqual = 0,      // equal contents, also two empty files
    KvCompareDifferent = 1,  // different contents, also exactly one empty file
    KvCompareFailA = -1,     // A cannot be opened
    KvCompareFailB = -2,     // B cannot be opened (A could)
    KvCompareFailBoth = -3,  // neither can be opened
};

// Compares two files byte by byte. Both are opened for reading with read and write sharing. The
// checks come in the order of the codes above: open failures, one empty file, different sizes
// (files of any size, 4 GiB and more too), then the contents, read block by block into buffers of this call alone, so two
// comparisons (also in two processes) never meet. A file that cannot be read to its end counts as
// different.
int KvCompareFiles(const std::wstring& pathA, const std::wstring& pathB);

// Copies `source` over `destination`, block by block in this thread, keeping the source's last
// write time and attributes; missing directories of the destination are made. The destination is
// replaced only by a copy that can run: when the source cannot be read or the destination is a
// directory, nothing is touched and the result is false. Copying a file onto itself succeeds
// without doing anything. A copy that fails or is stopped midway deletes what it wrote, so the
// destination is then gone: a caller that must keep the old destination copies beside it and moves
// the finished copy over it. No progress window is shown. Either path may be an extended-length
// path (prefix \\?\). True when the whole file was copied.
bool KvCopyFileReplacing(const std::wstring& source, const std::wstring& destination);

// The same, calling `progress` after every block with the bytes copied so far and the file's size;
// false from it stops the copy as a failed one. It may run on any thread.
using KvCopyProgress = std::function<bool(unsigned long long copied, unsigned long long total)>;
bool KvCopyFileReplacing(const std::wstring& source, const std::wstring& destination, const KvCopyProgress& progress);

// Test seam: while set, KvCopyFileReplacing calls this after every block it wrote, with the
// destination, the bytes copied so far and the file's size; false stops the copy there as a failed
// one. An empty function removes it.
using KvCopyProgressHook =
    std::function<bool(const std::wstring& destination, unsigned long long copied, unsigned long long total)>;
void KvSetCopyProgressHook(KvCopyProgressHook hook);

// Deletes the directory `dir` (with or without a trailing backslash) and everything below it.
// Directory junctions and symbolic links inside it are removed as links, never followed; when `dir`
// itself is such a link only the link is removed. Files and directories that cannot be deleted are
// skipped. Refuses an empty path and the root of a drive or share. True when `dir` itself is gone.
bool KvDeleteTree(const std::wstring& dir);
