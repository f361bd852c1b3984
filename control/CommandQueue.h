// The control's two small queues: commands from the window thread to the
// command worker, and scroll-bar changes from the worker back to the window
// thread. Both are fixed rings of nodes made once and reused in rotation, so
// posting never allocates.
#pragma once

#include "platform/WinTypes.h"

#include <array>
#include <cstdint>
#include <optional>

namespace zov {

// What the worker runs for each code; 0 marks a free slot.
enum CommandCode : std::int32_t {
    kCommandNone = 0,
    kCommandFlipNext = 1,
    kCommandFlipPrevious = 2,
    kCommandFlipNext10 = 3,
    kCommandFlipPrevious10 = 4,
    kCommandFlipLast = 5,
    kCommandFlipFirst = 6,
    kCommandZoomDown = 7,
    kCommandScaleUp = 8,
    kCommandScaleDown = 9,
    kCommandCompleteOpenPage = 10,
    kCommandUnCompleteOpenPage = 11,
    kCommandSingleOpenPage = 12,
    kCommandStitchLeft = 13,
    kCommandStitchRight = 14,
    kCommandPreviousObject = 15,
    kCommandNextObject = 16,
    kCommandButtonDown = 17,
    kCommandButtonUp = 18,
    kCommandMouseMove = 19,
    kCommandMouseWheel = 20,
    kCommandScroll = 21,
    kCommandSize = 22,
};

struct CommandNode {
    std::int32_t code = kCommandNone;
    // Key-state flags for mouse commands, the size type for kCommandSize.
    std::int32_t value = 0;
    std::int32_t reserved = 0;  // never written or read
    // Client point; screen point for the wheel; new width and height for size.
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int16_t delta = 0;  // wheel rotation
    CommandNode* next = nullptr;

    bool Free() const { return code == kCommandNone; }
    void Release() { code = kCommandNone; }
};

enum ScrollRequestKind : std::int32_t {
    kScrollRequestFree = 0,
    kScrollRequestSetInfo = 1,
    kScrollRequestEnable = 2,
};

struct ScrollRequestNode {
    std::int32_t kind = kScrollRequestFree;
    std::int32_t bar = SB_VERT;
    // The redraw flag (always 1) for SetInfo; the arrow flags for Enable.
    std::int32_t arg = 0;
    SCROLLINFO info;
    ScrollRequestNode* next = nullptr;

    bool Free() const { return kind == kScrollRequestFree; }
    void Release() { kind = kScrollRequestFree; }
};

// A singly linked ring of `Slots` nodes: pending nodes form an unbroken run
// from the head, in arrival order, and the free ones follow up to the tail.
// Not locked: the owners below lock around it.
template <typename Node, std::size_t Slots>
class NodeRotation {
public:
    NodeRotation() {
        for (std::size_t i = 0; i + 1 < Slots; ++i)
            nodes_[i].next = &nodes_[i + 1];
        head_ = &nodes_.front();
        tail_ = &nodes_.back();
    }
    NodeRotation(const NodeRotation&) = delete;
    NodeRotation& operator=(const NodeRotation&) = delete;

    Node* Head() { return head_; }

    std::size_t PendingCount() const {
        std::size_t count = 0;
        for (const Node* node = head_; node && !node->Free(); node = node->next)
            ++count;
        return count;
    }

    // Copies the oldest pending node out and moves its slot behind the tail.
    std::optional<Node> TakeHead() {
        if (head_->Free())
            return std::nullopt;
        Node taken = *head_;
        taken.next = nullptr;
        Node* slot = head_;
        slot->Release();
        head_ = slot->next;
        slot->next = nullptr;
        tail_->next = slot;
        tail_ = slot;
        return taken;
    }

private:
    std::array<Node, Slots> nodes_;
    Node* head_;
    Node* tail_;
};

class CommandQueue {
public:
    static constexpr std::size_t kSlots = 20;

    // Stores the command in the first free slot, or merges it into a pending
    // one: a move with a button held into a pending move with a button held,
    // a size into a pending size (only the point changes). False when all
    // slots are pending: the command is dropped. Any thread.
    bool Post(std::int32_t code, const POINT* point, std::int32_t value, std::int16_t delta);
    // The oldest pending command. Command worker only.
    std::optional<CommandNode> Take();
    std::size_t PendingCount() const;

private:
    NodeRotation<CommandNode, kSlots> nodes_;  // guarded by the queue lock
};

class ScrollRequestQueue {
public:
    static constexpr std::size_t kSlots = 10;

    // False, and dropped, when all slots are busy.
    bool PostSetInfo(int bar, const SCROLLINFO& info);
    bool PostEnable(int bar, std::uint32_t arrows);
    std::optional<ScrollRequestNode> Take();

private:
    bool Post(const ScrollRequestNode& request);

    NodeRotation<ScrollRequestNode, kSlots> nodes_;  // guarded by the scroll queue lock
};

}  // namespace zov
