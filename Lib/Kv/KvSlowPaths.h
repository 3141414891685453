// Which paths may keep a call waiting, and a test seam that makes calls on chosen paths slow.
//
// A call on a network share (by UNC path or a mapped drive letter) or an optical drive can wait
// for many seconds on an answer; such paths are asked about on workers only. The program's own
// file-system layer calls KvPathCallGate before every call it makes on a path: nothing happens
// unless a test or a benchmark has set the seam, which then makes each call on a path under its
// root sleep a given time or wait until released, as a hung share would. Every function here may be
// called from any thread.
#pragma once

#include <windows.h>

#include <string>

// True when a call on `path` may wait on a network or a slow medium: a UNC path, a drive letter
// mapped to a share, an optical drive, or a path under the seam's root. The drive type comes from
// GetDriveTypeW, which asks the redirector, never the share; it is remembered per drive letter
// until the set of drive letters changes.
bool KvMayBlock(const std::wstring& path);

// The seam: calls on paths under `root` (compared case-insensitively) sleep `milliseconds`, or with
// kKvBlockCalls wait until KvReleaseCalls. Only one root at a time.
constexpr DWORD kKvBlockCalls = INFINITE;
void KvSlowDownCalls(const std::wstring& root, DWORD milliseconds);
// Ends the seam; calls waiting in it go on.
void KvReleaseCalls();
// Where the file-system layer would make a call on `path`: waits as the seam says.
void KvPathCallGate(const std::wstring& path);
