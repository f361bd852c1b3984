// Recycled pixel memory. Page-sized blocks are requested again at every zoom
// and page turn, so released blocks are kept and handed out best-fit instead
// of going back to the system; fresh blocks get 10 % head room so that a
// slightly larger later request still fits.
#pragma once

#include "platform/Locks.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zov {

// One pool entry; a null block marks a free entry.
struct SaveBuf {
    std::int64_t size = 0;
    void* block = nullptr;
};

class BlockPool {
public:
    struct Policy {
        // Fresh blocks are at least this large.
        std::int64_t minimumFresh = 0;
        // The size recorded for a fresh block: the allocation itself, or
        // (when false) the size that was asked for, so that the head room is
        // never offered again.
        bool recordAllocation = false;
        // Free entries made when the pool is created, on the first release.
        std::size_t initialEntries = 1;
        // 0: unbounded. Otherwise at most this many blocks are kept, the
        // largest ones; the smallest is given back to the system.
        std::size_t capacity = 0;
    };

    struct Block {
        void* block = nullptr;
        std::int64_t size = 0;  // the recorded size, to be handed back with it
    };

    BlockPool(Policy policy, ProcessLock& lock) : policy_(policy), lock_(lock) {}
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    // The kept block with the least excess over `size` (the earlier one on a
    // tie), else a fresh one; a null block when memory is exhausted.
    Block Acquire(std::int64_t size);
    void Release(void* block, std::int64_t size);

    // A copy of the entries, in list order.
    std::vector<SaveBuf> Entries() const;

private:
    Policy policy_;
    ProcessLock& lock_;
    std::vector<SaveBuf> entries_;  // guarded by lock_
};

}  // namespace zov
