// Process-wide re-entrant locks. Each is created by its first user and never
// destroyed, so a thread that outlives the object that started it can still
// take or release it safely.
//
// Order, where two are held at once (take the left one first):
//   command lock -> buffer lock -> desk lock -> step lock -> document lock
//   scroll drain lock -> scroll queue lock
//   decode lock -> page image pool lock -> pool lock
// The queue, scroll queue and pool locks are leaves: nothing is taken under
// them. The documents' locks (decode, page image pool) are never held while a
// lock of another subsystem is taken.
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
// Viewer: the back buffer; the desk and its books (held while a frame is
// composed or presented); one update step and the clicked-flip queue.
ProcessLock& BufferLock();
ProcessLock& DeskLock();
ProcessLock& StepLock();
// Books: the drawing of documents, their page lists, pictures and notes.
ProcessLock& DocumentLock();
// Pixels: the recycled pixel blocks and the text scratch buffer.
ProcessLock& PoolLock();
// Documents: the pools of decoded page pictures, and the decoding of embedded
// pictures with its scratch buffer.
ProcessLock& PageImagePoolLock();
ProcessLock& DecodeLock();

using LockGuard = std::lock_guard<ProcessLock>;

}  // namespace zov
