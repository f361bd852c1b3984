// Sticky notes on the zoomed book: adding, the note dialog's answers.
#include "viewer/ZAZViewer.h"

namespace zov {

void ZAZViewer::ApplyNoteEdit(std::uint64_t, std::wstring, COLORREF) {}

}  // namespace zov
