// A document's page list: built from its preview folder, a placeholder page
// while the preview is missing, pending or failed, or its file-type icon.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace zov {

class ZAZImage;
class ZAZObject;

// A page showing placeholder `slot` (Placeholders.h) as both pictures.
std::unique_ptr<ZAZImage> PlaceholderPage(int slot);

// The document's icon page, made once per extension (shared by all documents).
ZAZImage* IconPage(ZAZObject& document);

// Brings the page list in line with the preview's status; loads the small
// pictures of the first `limit` pages (limit 0: the first; below 0: all)
// while building. True when the list is usable as it is now.
bool RefreshPageList(ZAZObject& document, std::int32_t limit, const std::atomic<bool>* cancel);

// True when all pages with pictures have the first one's shape (within 4/1024).
bool ComputeUniformShape(ZAZObject& document);

}  // namespace zov
