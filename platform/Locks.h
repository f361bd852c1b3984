// Process-wide re-entrant locks. Each is created by its first user and never
// destroyed, so a thread that outlives the object that started it can still
// take or release it safely.
//
// Order, where two are held at once (take the left one first):
//   command lock -> buffer lock -> desk lock -> step lock
//   queue lock and scroll queue lock are leaves: nothing is taken under them.
//   scroll drain lock -> scroll queue lock
#pragma once

#include <mutex>
#include <string_view>

namespace zov {

using ProcessLock = std::recursive_mutex;

// The lock called `name`, made on first use. Callers keep the reference: the
// look-up itself takes a registry lock.
ProcessLock& NamedLock(std::string_view name);

// Control host: the command queue, the worker's command execution, the scroll
// request queue and its drain on the window thread.
ProcessLock& QueueLock();
ProcessLock& CommandLock();
ProcessLock& ScrollQueueLock();
ProcessLock& ScrollDrainLock();
// Viewer: held while a frame is composed or presented.
ProcessLock& DeskLock();

using LockGuard = std::lock_guard<ProcessLock>;

}  // namespace zov
