// Creating the control's viewer. The page's setup call does this; until the
// scripting interface exists, the tests and tools call it directly.
#pragma once

namespace zov {

class CZOVuvazaRCtrl;
class ZAZViewer;

// Creates the viewer of `control` when it has none; its window thread.
// Returns the viewer (null when it could not be made).
ZAZViewer* SetUpViewer(CZOVuvazaRCtrl& control);

}  // namespace zov
