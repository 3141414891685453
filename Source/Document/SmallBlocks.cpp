// The small block pool (SmallBlocks.h). One lock guards the free lists and the current chunk; a free
// block's first 8 bytes link it into the free list of its class.
#include "Document/SmallBlocks.h"

#include <windows.h>

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
    SRWLOCK lock;
    FreeBlock* free[kClasses];
    char* cursor;
    char* limit;
};

Pool& ThePool() {
    static Pool pool{SRWLOCK_INIT, {}, nullptr, nullptr};
    return pool;
}

class PoolLock {
public:
    explicit PoolLock(Pool& pool) : lock_(pool.lock) { AcquireSRWLockExclusive(&lock_); }
    ~PoolLock() { ReleaseSRWLockExclusive(&lock_); }
    PoolLock(const PoolLock&) = delete;
    PoolLock& operator=(const PoolLock&) = delete;

private:
    SRWLOCK& lock_;
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
