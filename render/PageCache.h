// Which page pictures are in memory: small pictures only for the pages drawn
// in draft, at most four large pictures in the whole process, and the page
// files just ahead in the reading direction fetched in the background. All of
// it runs under the document lock, from the code that draws documents.
#pragma once

#include <cstdint>

namespace zov {

class ZAZImage;
class ZAZObject;

inline constexpr int kLargeSlots = 4;
inline constexpr int kDownloadQueueSize = 10;

enum PreloadDirection : int { kForward = 0, kBackward = 1, kNoDirection = 2 };

// Puts `page` (holding its large picture) into a large-picture slot, evicting
// the page there; marks the slot as used in this pass.
void Touch(ZAZImage& page);
void ClearSlotMarks();
// Takes `page` out of its slot, if it is in one.
void RemoveFromSlots(const ZAZImage& page);
// The page in slot i, for tests; and the cursor.
const ZAZImage* SlotPage(int slot);
int SlotCursor();
// Empties all slots and marks and puts the cursor at 0 (tests).
void ResetSlots();

// Whether `page` holds a small picture of `document`'s own that can be given
// up off the window and loaded again later.
bool SmallPictureReloadable(const ZAZObject& document, const ZAZImage& page);
void LoadSmallPicture(ZAZImage& page, ZAZObject& document);
void LoadLargePicture(ZAZImage& page);
// Keeps the small pictures of the given pages only (others show the white
// page again), then loads those four.
void KeepSmallPictures(ZAZObject& document, ZAZImage* a, ZAZImage* b, ZAZImage* c, ZAZImage* d);
// Loads the large pictures of pages first..last and fetches the two pages
// ahead in `direction`.
void Preload(ZAZObject& document, std::int32_t first, std::int32_t last, int direction);

// Whether the page file can be read now: always with a local preview root;
// with an HTTP root only when it is in the local cache.
bool PageFileAvailable(const ZAZImage& page);
// Asks the download thread for the page's file; ignored when 10 are queued.
void QueueDownload(const ZAZImage& page);
int QueuedDownloads();
void StopDownloadThread();

// Gives the page's pictures back on document teardown.
void ReleasePictures(ZAZImage& page);

}  // namespace zov
