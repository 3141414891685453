// The small block pool (SmallBlocks.h). One lock guards the free lists and the current chunk; a free
// block's first 8 bytes link it into the free list of its class.
//
// The lock is a spin lock of our own: it is held for a few instructions, and a load takes it
// hundreds of thousands of times, where a system lock costs several times the allocation itself
// (under Wine every release of a slim reader/writer lock also wakes through a shared table).
#include "Document/SmallBlocks.h"

#include <windows.h>

#include <atomic>

namespace smallblocks {
namespace {

constexpr size_t kGranule = 8;
constexpr size_t kClasses = kMaxSmallBlock / kGranule + 1;
constexpr size_t kChunkSize = 256 * 1024;

struct FreeBlock {
    FreeBlock* next;
};

// Trivially destructible, so that blocks freed while statics are torn down at exit still find it.
struct Pool {
    std::atomic<bool> locked;
    FreeBlock* free[kClasses];
    char* cursor;
    char* limit;
};

Pool& ThePool() {
    static Pool pool{{false}, {}, nullptr, nullptr};
    return pool;
}

// Spins briefly while another thread holds the lock, then gives way to other threads, in the end
// to those of lower priority too (Sleep(1)), so that a holder which was preempted gets to finish.
class PoolLock {
public:
    explicit PoolLock(Pool& pool) : locked_(pool.locked) {
        unsigned waited = 0;
        while (locked_.exchange(true, std::memory_order_acquire))
            while (locked_.load(std::memory_order_relaxed)) Wait(waited++);
    }
    ~PoolLock() { locked_.store(false, std::memory_order_release); }
    PoolLock(const PoolLock&) = delete;
    PoolLock& operator=(const PoolLock&) = delete;

private:
    static void Wait(unsigned waited) {
        if (waited < 64)
            YieldProcessor();
        else if (waited < 80)
            SwitchToThread();
        else
            Sleep(1);
    }

    std::atomic<bool>& locked_;
};

size_t ClassOf(size_t bytes) {
    return bytes == 0 ? 1 : (bytes + kGranule - 1) / kGranule;
}

}  // namespace

void* Allocate(size_t bytes) {
    if (bytes > kMaxSmallBlock) return ::operator new(bytes);
    const size_t cls = ClassOf(bytes);
    const size_t size = cls * kGranule;
    Pool& pool = ThePool();
    PoolLock lock(pool);
    if (FreeBlock* block = pool.free[cls]) {
        pool.free[cls] = block->next;
        // The next request of this class is usually moments away (a load takes blocks of the same
        // few classes in turn), and a freed block is rarely still in the cache.
        __builtin_prefetch(block->next, 1);
        return block;
    }
    if (static_cast<size_t>(pool.limit - pool.cursor) < size) {
        // The rest of the old chunk (less than one block of this class) stays unused.
        char* chunk = static_cast<char*>(::operator new(kChunkSize));
        pool.cursor = chunk;
        pool.limit = chunk + kChunkSize;
    }
    void* block = pool.cursor;
    pool.cursor += size;
    return block;
}

void Free(void* block, size_t bytes) noexcept {
    if (!block) return;
    if (bytes > kMaxSmallBlock) return ::operator delete(block);
    FreeBlock* freed = static_cast<FreeBlock*>(block);
    const size_t cls = ClassOf(bytes);
    Pool& pool = ThePool();
    PoolLock lock(pool);
    freed->next = pool.free[cls];
    pool.free[cls] = freed;
}

}  // namespace smallblocks
