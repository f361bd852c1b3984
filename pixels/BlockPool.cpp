#include "pixels/BlockPool.h"

#include <cstdlib>
#include <utility>

namespace zov {

BlockPool::Block BlockPool::Acquire(std::int64_t size) {
    if (size < 0)
        return {};
    {
        LockGuard guard(lock_);
        SaveBuf* best = nullptr;
        for (SaveBuf& entry : entries_) {
            if (entry.block && entry.size >= size && (!best || entry.size - size < best->size - size))
                best = &entry;
        }
        if (best) {
            Block found{best->block, best->size};
            *best = SaveBuf{};
            return found;
        }
    }
    std::int64_t wanted = size < policy_.minimumFresh ? policy_.minimumFresh : size;
    // The product is taken in floating point and truncated, as the head room
    // has always been computed.
    auto roomy = static_cast<std::int64_t>(static_cast<double>(wanted) * 1.1);
    void* block = std::malloc(static_cast<std::size_t>(roomy));
    std::int64_t allocated = roomy;
    if (!block) {
        block = std::malloc(static_cast<std::size_t>(wanted));
        allocated = wanted;
    }
    if (!block)
        return {};
    return Block{block, policy_.recordAllocation ? allocated : size};
}

void BlockPool::Release(void* block, std::int64_t size) {
    if (!block)
        return;
    LockGuard guard(lock_);
    if (entries_.empty())
        entries_.resize(policy_.initialEntries);
    for (SaveBuf& entry : entries_) {
        if (!entry.block) {
            entry = SaveBuf{size, block};
            return;
        }
    }
    if (policy_.capacity == 0 || entries_.size() < policy_.capacity) {
        entries_.push_back(SaveBuf{size, block});
        return;
    }
    // Full: keep the largest blocks. Walking the entries, swap in the block in
    // hand wherever it is larger; what is left in hand is the smallest.
    SaveBuf inHand{size, block};
    for (SaveBuf& entry : entries_) {
        if (entry.size < inHand.size)
            std::swap(entry, inHand);
    }
    std::free(inHand.block);
}

std::vector<SaveBuf> BlockPool::Entries() const {
    LockGuard guard(lock_);
    return entries_;
}

}  // namespace zov
