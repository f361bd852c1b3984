// A control server for the container's tests of dropped files and dialogs: a
// control that records what is dropped on it, reading each file while it is
// there, can put up a message box to hold its window modal, and opens
// modeless dialogs with a colour swatch and chooser, recording what they
// get. Loaded by the container as any server is; the test reaches the same
// copy with dlsym, a browser test through the methods.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace zov::host::recordingtest {

inline constexpr const char* kRecordingControlClsid = "{6A1F3C52-8E0B-4D7A-B915-2C4E7F0A9D36}";
// Shows a message box and returns its answer.
inline constexpr const char* kBoxMethod = "Box";
// Dialog(): opens a modeless dialog, returns its handle (0 when refused):
// static, a multi-line edit 253, swatch 5 and colour button 4 (white at
// first), OK 1 and Cancel 2, which destroy it; a dialog timer 1 of 20 ms.
// A chosen colour is shown in the swatch and the button.
// Modal(): runs a modal dialog with OK 1 and returns its code.
// Show(handle, visible), Close(handle): ShowDialog, DestroyDialog.
// Visible(): IsVisible. Report(): "activations N colour #rrggbb".
inline constexpr std::int32_t kSwatch = 5;
inline constexpr std::int32_t kColourButton = 4;
inline constexpr std::int32_t kCommentEdit = 253;
inline constexpr unsigned kDialogTimer = 1;
inline constexpr unsigned kDialogTimerMs = 20;

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

// What the dialogs of every control of the process got, by handle.
struct DialogEvents {
    int ticks = 0;
    int activations = 0;
    std::vector<std::uint32_t> colours;  // COLORREF
    std::vector<std::int32_t> commands;
    bool destroyed = false;
};
struct DialogRecord {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::uint32_t, DialogEvents> dialogs;  // guarded by mutex
};
using DialogRecordFunction = DialogRecord* (*)();
inline constexpr const char* kDialogRecordExport = "RecordingControlDialogs";

}  // namespace zov::host::recordingtest
