// A stored text of an entry (name, alias, path, program, backup name) in one pointer: an empty text
// is a null pointer and costs nothing beyond it; any other text is one exactly sized block from the
// model's small block pool holding its length and its UTF-16 characters with a terminator. A
// project holds hundreds of thousands of these, most of them empty, which a std::wstring (32 bytes
// each, empty or not) made the bulk of an entry's memory. Reads as a string (c_str, size, comparison, conversion to std::wstring and
// std::wstring_view); assignment replaces the block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

class EntryText {
public:
    EntryText() = default;
    EntryText(const std::wstring& text) { Assign(text.data(), text.size()); }
    EntryText(std::wstring_view text) { Assign(text.data(), text.size()); }
    EntryText(const wchar_t* text) { Assign(text, std::char_traits<wchar_t>::length(text)); }
    EntryText(const EntryText& other) { Assign(other.data(), other.size()); }
    EntryText(EntryText&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
    ~EntryText() { Release(); }

    EntryText& operator=(const EntryText& other) {
        if (this != &other) Assign(other.data(), other.size());
        return *this;
    }
    EntryText& operator=(EntryText&& other) noexcept {
        if (this != &other) {
            Release();
            block_ = other.block_;
            other.block_ = nullptr;
        }
        return *this;
    }
    EntryText& operator=(const std::wstring& text) { return Assign(text.data(), text.size()); }
    EntryText& operator=(std::wstring_view text) { return Assign(text.data(), text.size()); }
    EntryText& operator=(const wchar_t* text) { return Assign(text, std::char_traits<wchar_t>::length(text)); }

    // Replaces the text with `count` characters at `text` (which may lie anywhere, even unaligned
    // inside a file buffer: they are copied bytewise).
    EntryText& Assign(const void* text, size_t count);

    bool empty() const { return block_ == nullptr; }
    size_t size() const { return block_ ? block_->length : 0; }
    size_t length() const { return size(); }
    const wchar_t* c_str() const { return block_ ? block_->text : L""; }
    const wchar_t* data() const { return c_str(); }
    const wchar_t* begin() const { return c_str(); }
    const wchar_t* end() const { return c_str() + size(); }
    wchar_t operator[](size_t index) const { return c_str()[index]; }
    wchar_t back() const { return c_str()[size() - 1]; }
    void clear() { Release(); }

    std::wstring_view view() const { return std::wstring_view(c_str(), size()); }
    std::wstring str() const { return std::wstring(c_str(), size()); }
    operator std::wstring_view() const { return view(); }
    operator std::wstring() const { return str(); }

    friend bool operator==(const EntryText& a, const EntryText& b) { return a.view() == b.view(); }
    friend bool operator==(const EntryText& a, std::wstring_view b) { return a.view() == b; }
    friend bool operator==(const EntryText& a, const std::wstring& b) { return a.view() == std::wstring_view(b); }
    friend bool operator==(const std::wstring& a, const EntryText& b) { return std::wstring_view(a) == b.view(); }
    friend bool operator==(std::wstring_view a, const EntryText& b) { return a == b.view(); }
    friend bool operator==(const EntryText& a, const wchar_t* b) { return a.view() == std::wstring_view(b); }
    friend bool operator==(const wchar_t* a, const EntryText& b) { return std::wstring_view(a) == b.view(); }
    friend bool operator!=(const EntryText& a, const EntryText& b) { return !(a == b); }
    friend bool operator!=(const EntryText& a, std::wstring_view b) { return !(a == b); }
    friend bool operator!=(const EntryText& a, const std::wstring& b) { return !(a == b); }
    friend bool operator!=(const std::wstring& a, const EntryText& b) { return !(a == b); }
    friend bool operator!=(std::wstring_view a, const EntryText& b) { return !(a == b); }
    friend bool operator!=(const EntryText& a, const wchar_t* b) { return !(a == b); }
    friend bool operator!=(const wchar_t* a, const EntryText& b) { return !(a == b); }

    friend std::wstring operator+(const EntryText& a, std::wstring_view b) { return Join(a.view(), b); }
    friend std::wstring operator+(std::wstring_view a, const EntryText& b) { return Join(a, b.view()); }
    friend std::wstring operator+(const EntryText& a, const wchar_t* b) { return Join(a.view(), b); }
    friend std::wstring operator+(const wchar_t* a, const EntryText& b) { return Join(a, b.view()); }
    friend std::wstring operator+(const EntryText& a, wchar_t b) { return Join(a.view(), std::wstring_view(&b, 1)); }
    friend std::wstring operator+(const EntryText& a, const std::wstring& b) { return Join(a.view(), b); }
    friend std::wstring operator+(const std::wstring& a, const EntryText& b) { return Join(a, b.view()); }

    // Diagnostic output (test failures): ASCII as it is, anything else as \x{code}.
    friend std::ostream& operator<<(std::ostream& os, const EntryText& text);

private:
    // Layout of the block: u32 length, then length + 1 UTF-16 code units (the last one 0).
    struct Block {
        uint32_t length;
        wchar_t text[1];
    };

    static std::wstring Join(std::wstring_view a, std::wstring_view b) {
        std::wstring joined;
        joined.reserve(a.size() + b.size());
        joined.append(a);
        joined.append(b);
        return joined;
    }
    static size_t BlockBytes(size_t count);
    void Release();

    Block* block_ = nullptr;
};
