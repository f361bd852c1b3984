// Keyword search over the desk: the keyword list, and the steps from hit to
// hit on a thread of their own.
#include "viewer/ZAZViewer.h"

namespace zov {

void ZAZViewer::Search(std::wstring_view) {}
void ZAZViewer::SearchStep(std::wstring_view, int) {}
std::optional<std::wstring> ZAZViewer::KeywordsText() const { return std::nullopt; }
bool ZAZViewer::SearchNeedsConsent() const { return false; }
bool ZAZViewer::ZoomedHasSearchData() const { return false; }
void ZAZViewer::SetKeywords(std::wstring_view) {}
void ZAZViewer::StopSearch() {}
void ZAZViewer::SearchThread() {}
bool ZAZViewer::SearchBook(ZAZObject&) { return false; }

}  // namespace zov
