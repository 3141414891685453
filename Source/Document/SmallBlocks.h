// Small blocks for the folder model: the texts of entries and the list nodes that hold entries. A
// project has hundreds of thousands of them, and the system heap both adds bookkeeping to each and
// is slow to hand them out (about a quarter of a microsecond a block), which made loading a project
// mostly allocation. Blocks of up to kMaxSmallBlock bytes are cut from large chunks in size classes
// of 8 bytes and return to a free list of their class when freed; the chunks are kept for reuse
// until the process ends. Larger blocks come from operator new. Safe to use from any thread.
#pragma once

#include <cstddef>
#include <new>

namespace smallblocks {

constexpr size_t kMaxSmallBlock = 1040;  // an entry text of 511 characters and its header fit

// `bytes` of memory aligned to 8; throws std::bad_alloc when none is left.
void* Allocate(size_t bytes);
// Gives back a block from Allocate with the same `bytes`.
void Free(void* block, size_t bytes) noexcept;

}  // namespace smallblocks

// An allocator for standard containers that takes its blocks from smallblocks. Stateless: any two
// compare equal, so lists using it can splice into each other.
template <class T>
struct SmallBlockAllocator {
    using value_type = T;

    SmallBlockAllocator() noexcept = default;
    template <class U>
    SmallBlockAllocator(const SmallBlockAllocator<U>&) noexcept {}

    T* allocate(size_t count) {
        if (count > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(smallblocks::Allocate(count * sizeof(T)));
    }
    void deallocate(T* block, size_t count) noexcept { smallblocks::Free(block, count * sizeof(T)); }

    template <class U>
    bool operator==(const SmallBlockAllocator<U>&) const noexcept {
        return true;
    }
    template <class U>
    bool operator!=(const SmallBlockAllocator<U>&) const noexcept {
        return false;
    }
};
