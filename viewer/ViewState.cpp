// The view-state file: the desk scale, the opening modes, the binding and
// the keywords, carried from one page to the next.
#include "viewer/ZAZViewer.h"

namespace zov {

void ZAZViewer::LoadViewState() {}
void ZAZViewer::SaveViewState() {}

}  // namespace zov
