// The control's modal dialogs: each builds its template, runs it in the
// control's window and answers its buttons there. They run on the window
// thread; only CVProgressBar's fields are shared with another thread.
#pragma once

#include "platform/Handshake.h"
#include "platform/HostWindow.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace zov {

// Reads a number as the C runtime's string-to-integer conversion does:
// blanks, a sign and leading digits; 0 when there are none. Clamped to int32.
std::int32_t LeadingInteger(std::wstring_view text);

// Dialog 281: asks for a page number.
class CVJumpPageDialog final : public DialogClient {
public:
    static constexpr std::int32_t kResource = 281;
    static constexpr std::int32_t kEdit = 253;

    // IDOK or IDCANCEL.
    int DoModal(HostWindow& window);
    std::int32_t PageNumber() const { return pageNumber; }

    void OnInitDialog(WindowHandle dialog) override { handle = dialog; }
    void OnDialogCommand(std::int32_t control, const DialogValues& values) override;

private:
    std::int32_t pageNumber = 0;
    WindowHandle handle = 0;
    HostWindow* window = nullptr;  // not owned
};

// Dialog 279: the progress of an upload. The upload thread moves position
// and the name; the dialog shows them at every tick and closes itself once
// position reaches range.
class CVProgressBar final : public DialogClient {
public:
    static constexpr std::int32_t kResource = 279;
    static constexpr std::int32_t kProgress = 251;
    static constexpr std::int32_t kFileName = 252;
    static constexpr unsigned kTimer = 0;
    static constexpr unsigned kTickMs = 1000;

    int DoModal(HostWindow& window);

    // Any thread.
    void SetRange(std::int32_t newRange) { range = newRange; }
    std::int32_t Range() const { return range; }
    void SetPosition(std::int32_t newPosition) { position = newPosition; }
    void Advance() { ++position; }
    std::int32_t Position() const { return position; }
    void SetFileName(std::wstring name);
    bool Cancelled() const { return cancel; }

    std::wstring title;

    void OnInitDialog(WindowHandle dialog) override;
    void OnDialogCommand(std::int32_t control, const DialogValues& values) override;
    void OnDialogTimer(unsigned id) override;

private:
    void ShowName();
    // The bar in percent of the range.
    std::int32_t Percent() const;

    std::atomic<std::int32_t> range{100};
    std::atomic<std::int32_t> position{0};
    Flag cancel{false};
    mutable std::mutex nameMutex;
    std::wstring fileName;  // guarded by nameMutex
    Flag nameShown{false};
    WindowHandle handle = 0;
    HostWindow* window = nullptr;  // not owned
};

// Dialog 162, the About box.
class CAboutDlg final : public DialogClient {
public:
    static constexpr std::int32_t kResource = 162;
    int DoModal(HostWindow& window);
    void OnInitDialog(WindowHandle dialog) override { handle = dialog; }
    void OnDialogCommand(std::int32_t control, const DialogValues& values) override;

private:
    WindowHandle handle = 0;
    HostWindow* window = nullptr;  // not owned
};

// Page 167 of the control's property sheet; it has no properties to change.
class CZOVuvazaRPropPage final : public DialogClient {
public:
    static constexpr std::int32_t kResource = 167;
    // The sheet with this page; IDOK or IDCANCEL.
    int DoModal(HostWindow& window);
    void OnInitDialog(WindowHandle dialog) override { handle = dialog; }
    void OnDialogCommand(std::int32_t control, const DialogValues& values) override;

private:
    WindowHandle handle = 0;
    HostWindow* window = nullptr;  // not owned
};

}  // namespace zov
