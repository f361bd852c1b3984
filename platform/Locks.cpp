#include "platform/Locks.h"

#include <map>
#include <memory>
#include <string>

namespace zov {

ProcessLock& NamedLock(std::string_view name) {
    // Deliberately never freed: locks must outlive every thread, including
    // ones still running while static destructors run at process exit.
    static auto* registryLock = new std::mutex;
    static auto* registry = new std::map<std::string, std::unique_ptr<ProcessLock>, std::less<>>;
    std::lock_guard<std::mutex> guard(*registryLock);
    auto it = registry->find(name);
    if (it == registry->end())
        it = registry->emplace(std::string(name), std::make_unique<ProcessLock>()).first;
    return *it->second;
}

ProcessLock& QueueLock() {
    static ProcessLock& lock = NamedLock("queue");
    return lock;
}

ProcessLock& CommandLock() {
    static ProcessLock& lock = NamedLock("command");
    return lock;
}

ProcessLock& ScrollQueueLock() {
    static ProcessLock& lock = NamedLock("scroll queue");
    return lock;
}

ProcessLock& ScrollDrainLock() {
    static ProcessLock& lock = NamedLock("scroll drain");
    return lock;
}

ProcessLock& BufferLock() {
    static ProcessLock& lock = NamedLock("buffer");
    return lock;
}

ProcessLock& StepLock() {
    static ProcessLock& lock = NamedLock("step");
    return lock;
}

ProcessLock& DeskLock() {
    static ProcessLock& lock = NamedLock("desk");
    return lock;
}

ProcessLock& DocumentLock() {
    static ProcessLock& lock = NamedLock("document");
    return lock;
}

ProcessLock& PoolLock() {
    static ProcessLock& lock = NamedLock("pool");
    return lock;
}

ProcessLock& PageImagePoolLock() {
    static ProcessLock& lock = NamedLock("page image pool");
    return lock;
}

ProcessLock& DecodeLock() {
    static ProcessLock& lock = NamedLock("decode");
    return lock;
}

}  // namespace zov
