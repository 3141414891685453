// A child window that shows the first 256 bytes of a file from a byte offset, as text in the
// system's ANSI code page (word-wrapped) or as hexadecimal numbers, 15 to a line. Window class
// "CBackupDataView". The owner positions it, redraws it after a change and destroys it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Kv/KvHandles.h"

class CBackupDataView {
public:
    static constexpr int kModeHex = 0;
    static constexpr int kModeText = 1;
    static constexpr DWORD kShownBytes = 256;

    CBackupDataView() = default;
    CBackupDataView(const CBackupDataView&) = delete;
    CBackupDataView& operator=(const CBackupDataView&) = delete;
    ~CBackupDataView() { Destroy(); }

    bool Create(HWND parent);
    // Destroys the window and unregisters its class.
    void Destroy();
    HWND Window() const { return hwnd_; }

    // An empty path shows nothing; a path starts again at offset 0.
    void SetFile(const std::wstring& path);
    void SetOffset(int64_t offset) { offset_ = offset < 0 ? 0 : offset; }
    void SetMode(int mode) { mode_ = mode; }
    int64_t Offset() const { return offset_; }

    // The bytes the view shows: at most kShownBytes from `offset`; empty when the file cannot be read.
    static std::vector<unsigned char> ReadShown(const std::wstring& path, int64_t offset);

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Paint(HDC dc) const;

    HWND hwnd_ = nullptr;
    kv::UniqueFont font_;
    std::wstring path_;
    int64_t offset_ = 0;
    int mode_ = kModeText;
};
