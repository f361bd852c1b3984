// What the viewer asks of the control that owns it: its window, and the
// scroll-bar changes that must be applied on the window's thread.
#pragma once

#include "platform/HostWindow.h"

namespace zov {

class ViewerHost {
public:
    virtual ~ViewerHost() = default;
    // The control's window (not owned); null before the container made it.
    virtual HostWindow* Window() const = 0;
    // Applied on the window thread at the next timer tick.
    virtual bool PostScrollInfo(int bar, const SCROLLINFO& info) = 0;
    virtual bool PostEnableScrollBar(int bar, std::uint32_t arrows) = 0;
    // The toolbar and other window state follow the viewer's new state.
    virtual void RefreshWindowState() = 0;
    // A click on a note of the zoomed book: the control shows the note
    // dialog on its window thread and answers with IViewer::ApplyNoteEdit.
    virtual void EditNote(std::uint64_t noteTicket, std::wstring text, COLORREF colour) {
        (void)noteTicket, (void)text, (void)colour;
    }
};

}  // namespace zov
