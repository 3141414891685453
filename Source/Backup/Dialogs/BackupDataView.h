// A child window that shows 256 bytes of a file from a byte offset, as word-wrapped text decoded by
// the file's own encoding (a byte-order mark of UTF-8 or UTF-16, else valid UTF-8, else the
// system's ANSI code page), or as hexadecimal rows of 16 bytes with an offset column and a
// character column. Window class "CBackupDataView". The owner positions it, redraws it after a
// change and destroys it.
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
    // The text mode's text of `shown` (read from `offset`), `head` being the file's first bytes.
    static std::wstring DecodeShown(const std::vector<unsigned char>& head, const std::vector<unsigned char>& shown,
                                    int64_t offset);
    // The hexadecimal mode's rows: "%04llx" offset, 16 bytes as " %02x", two blanks, the bytes as
    // characters (printable ASCII, "." for the rest).
    static std::vector<std::wstring> HexRows(const std::vector<unsigned char>& shown, int64_t offset);

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Paint(HDC dc) const;

    HWND hwnd_ = nullptr;
    kv::UniqueFont font_;
    kv::UniqueFont fixedFont_;  // the hexadecimal rows
    std::wstring path_;
    int64_t offset_ = 0;
    int mode_ = kModeText;
};
