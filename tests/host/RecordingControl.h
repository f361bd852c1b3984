// A control server for the container's tests of dropped files: a control
// that records what is dropped on it, reading each file while it is there,
// and can put up a message box to hold its window modal. Loaded by the
// container as any server is; the test reaches the same copy with dlsym.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace zov::host::recordingtest {

inline constexpr const char* kRecordingControlClsid = "{6A1F3C52-8E0B-4D7A-B915-2C4E7F0A9D36}";
// The control's one method: shows a message box and returns its answer.
inline constexpr const char* kBoxMethod = "Box";

struct DroppedCopy {
    std::wstring path;
    bool regular = false;  // a regular file when the control looked
    std::string bytes;
};

struct DropRecord {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<DroppedCopy>> drops;  // guarded by mutex
};

// The server's export: the record every control of the process writes to.
using DropRecordFunction = DropRecord* (*)();
inline constexpr const char* kDropRecordExport = "RecordingControlDrops";

}  // namespace zov::host::recordingtest
