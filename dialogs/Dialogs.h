// The control's modal dialogs: each builds its template, runs it in the
// control's window and answers its buttons there. They run on the window
// thread; only CVProgressBar's fields are shared with another thread.
#pragma once

#include "platform/Handshake.h"
#include "platform/HostWindow.h"

#include "viewer/IViewer.h"

#include <atomic>
#include <cstdint>
#include <functional>
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

// Dialog 282, modeless: the reader types keywords and steps from hit to hit.
// One per control; hidden when closed, so that it keeps its text.
class CVSearchDialog final : public DialogClient {
public:
    static constexpr std::int32_t kResource = 282;
    static constexpr std::int32_t kEdit = 253;
    static constexpr std::int32_t kProgress = 251;
    static constexpr std::int32_t kPrevious = 257;
    static constexpr std::int32_t kNext = 256;
    static constexpr std::int32_t kCancel = IDCANCEL;
    static constexpr std::int32_t kClose = IDOK;
    static constexpr unsigned kTimer = 1;
    static constexpr unsigned kTickMs = 1000;

    // `consent` asks the reader whether to search documents without search
    // data, when it needs asking; false ends the step.
    CVSearchDialog(HostWindow& window, IViewer& viewer, bool japanese, std::function<bool()> consent);
    ~CVSearchDialog() override;
    CVSearchDialog(const CVSearchDialog&) = delete;
    CVSearchDialog& operator=(const CVSearchDialog&) = delete;

    // Creates the window, or shows it again and brings the keywords back.
    void Show();
    bool Visible() const { return visible; }
    WindowHandle Handle() const { return handle; }

    void OnInitDialog(WindowHandle dialog) override;
    void OnDialogCommand(std::int32_t control, const DialogValues& values) override;
    void OnDialogTimer(unsigned id) override;
    void OnDialogActivate() override;
    void OnDialogDestroyed() override;

private:
    void Step(const DialogValues& values, int direction);
    // Cancel enabled while a step runs, the others while none does.
    void SetRunning(bool running);
    void SetProgress(std::int32_t percent);
    // The viewer's progress and the bar back at 0.
    void ResetProgress();
    // No step running or finishing: the buttons for the next one.
    void Ready();
    void Hide();

    HostWindow& window;
    IViewer& viewer;
    const bool japanese;
    std::function<bool()> consent;
    WindowHandle handle = 0;
    bool visible = false;
    // A step reached 100: the buttons come back at the next tick.
    bool finishing = false;
};

// Dialog 280, modal: a note's text and colour.
class CVStickyDialog final : public DialogClient {
public:
    static constexpr std::int32_t kResource = 280;
    static constexpr std::int32_t kEdit = 253;
    static constexpr std::int32_t kColourButton = 4;
    static constexpr std::int32_t kSwatch = 5;
    static constexpr COLORREF kNoNoteColour = 0xFFFFFF;

    // `hasNote` false shows "NULL" and white, as for a note that is gone.
    CVStickyDialog(bool hasNote, std::wstring text, COLORREF colour);

    // IDOK or IDCANCEL; after IDOK, Text() and Colour() hold the answer.
    int DoModal(HostWindow& window);
    const std::wstring& Text() const { return text; }
    COLORREF Colour() const { return colour; }

    void OnInitDialog(WindowHandle dialog) override { handle = dialog; }
    void OnDialogCommand(std::int32_t control, const DialogValues& values) override;
    void OnDialogColour(std::int32_t control, COLORREF chosen) override;

private:
    bool hasNote;
    std::wstring text;
    COLORREF colour;
    WindowHandle handle = 0;
    HostWindow* window = nullptr;  // not owned
};

// The note text the dialog's edit box gives back: every line ended by
// "\r\n", then trailing blanks and line ends of the whole text removed.
std::wstring NoteTextFromEdit(std::wstring_view edited);

}  // namespace zov
