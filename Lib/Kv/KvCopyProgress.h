// Copying a large file while the UI thread stays responsive: the copy runs on a worker thread and a
// modal progress window of class "KvCopyProgress" shows how far it is, with a Cancel button (id 2)
// that stops it. Small files are copied at once without a window.
#pragma once

#include <windows.h>

#include <string>

// Files below this size are copied on the calling thread without a window.
constexpr unsigned long long kKvCopyProgressThreshold = 16ull * 1024 * 1024;

// KvCopyFileReplacing of `source` over `destination`, with the progress window owned by `owner`
// and titled `title` for a large file. False when the copy failed or was cancelled (the
// destination is then gone, as with KvCopyFileReplacing). UI thread only; returns only after the
// worker has ended.
bool KvCopyFileWithProgress(HWND owner, const wchar_t* title, const std::wstring& source,
                            const std::wstring& destination);
