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
};

}  // namespace zov
