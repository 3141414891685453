// The one-pointer text of an entry (EntryText.h).
#include "Document/EntryText.h"

#include <cstring>
#include <new>
#include <ostream>

#include "Document/SmallBlocks.h"

size_t EntryText::BlockBytes(size_t count) {
    return offsetof(Block, text) + (count + 1) * sizeof(wchar_t);
}

EntryText& EntryText::Assign(const void* text, size_t count) {
    Block* fresh = nullptr;
    if (count != 0) {
        if (count > UINT32_MAX - 1) throw std::bad_alloc();
        fresh = static_cast<Block*>(smallblocks::Allocate(BlockBytes(count)));
        fresh->length = static_cast<uint32_t>(count);
        std::memcpy(fresh->text, text, count * sizeof(wchar_t));
        fresh->text[count] = L'\0';
    }
    Release();
    block_ = fresh;
    return *this;
}

void EntryText::Release() {
    if (block_) smallblocks::Free(block_, BlockBytes(block_->length));
    block_ = nullptr;
}

std::ostream& operator<<(std::ostream& os, const EntryText& text) {
    os << 'L' << '"';
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            os << static_cast<char>(c);
            continue;
        }
        os << "\\x{";
        for (int shift = 12; shift >= 0; shift -= 4) os << "0123456789abcdef"[(c >> shift) & 0xF];
        os << '}';
    }
    return os << '"';
}
