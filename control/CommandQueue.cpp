#include "control/CommandQueue.h"

#include "platform/Locks.h"

namespace zov {

bool CommandQueue::Post(std::int32_t code, const POINT* point, std::int32_t value, std::int16_t delta) {
    LockGuard guard(QueueLock());
    const bool drag = code == kCommandMouseMove && value != 0;
    // Merging keeps a burst of drags or resizes from filling the queue; only
    // the latest point matters. A drag merges only into a move of the same
    // press: moved in front of a pending button change, it would end the
    // earlier drag at the later one's point.
    CommandNode* target = nullptr;
    CommandNode* node = nodes_.Head();
    for (; node && !node->Free(); node = node->next) {
        if (node->code == kCommandButtonDown || node->code == kCommandButtonUp) {
            if (drag)
                target = nullptr;
        } else if (!target && ((drag && node->code == kCommandMouseMove && node->value != 0) ||
                               (code == kCommandSize && node->code == kCommandSize))) {
            target = node;
        }
    }
    if (target) {
        if (point) {
            target->x = point->x;
            target->y = point->y;
        }
        return true;
    }
    if (!node)
        return false;
    node->code = code;
    node->value = value;
    node->delta = delta;
    // Without a point the slot keeps the one it held: no operation reads the
    // point of such a command.
    if (point) {
        node->x = point->x;
        node->y = point->y;
    }
    return true;
}

std::optional<CommandNode> CommandQueue::Take() {
    LockGuard guard(QueueLock());
    return nodes_.TakeHead();
}

std::size_t CommandQueue::PendingCount() const {
    LockGuard guard(QueueLock());
    return nodes_.PendingCount();
}

bool ScrollRequestQueue::PostSetInfo(int bar, const SCROLLINFO& info) {
    ScrollRequestNode request;
    request.kind = kScrollRequestSetInfo;
    request.bar = bar;
    request.arg = 1;
    request.info = info;
    return Post(request);
}

bool ScrollRequestQueue::PostEnable(int bar, std::uint32_t arrows) {
    ScrollRequestNode request;
    request.kind = kScrollRequestEnable;
    request.bar = bar;
    request.arg = static_cast<std::int32_t>(arrows);
    return Post(request);
}

bool ScrollRequestQueue::Post(const ScrollRequestNode& request) {
    LockGuard guard(ScrollQueueLock());
    for (ScrollRequestNode* node = nodes_.Head(); node; node = node->next) {
        if (node->Free()) {
            ScrollRequestNode* next = node->next;
            *node = request;
            node->next = next;
            return true;
        }
    }
    return false;
}

std::optional<ScrollRequestNode> ScrollRequestQueue::Take() {
    LockGuard guard(ScrollQueueLock());
    return nodes_.TakeHead();
}

}  // namespace zov
