// Creating the control's viewer: the page's setup call does it, and so do the
// tests and benchmarks that drive a viewer without a page.
#pragma once

namespace zov {

class CZOVuvazaRCtrl;
class ZAZViewer;

// Creates the viewer of `control` when it has none; its window thread.
// Returns the viewer (null when it could not be made).
ZAZViewer* SetUpViewer(CZOVuvazaRCtrl& control);

}  // namespace zov
