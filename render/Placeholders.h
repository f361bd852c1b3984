// The built-in placeholder pictures shown instead of a page: No Image,
// processing, Failed, Cannot View, waiting, and Downloading. They are
// embedded in the library, decoded once by a background loader, and live for
// the process (resident: their pixels are never released).
#pragma once

#include "pixels/PixelBuffer.h"

namespace zov {

// Slots 1 to 5: 200 x 282 pages; slot 6: the 600 x 846 Downloading page.
enum PlaceholderSlot : int {
    kPlaceholderNoImage = 1,
    kPlaceholderProcessing = 2,
    kPlaceholderFailed = 3,
    kPlaceholderCannotView = 4,
    kPlaceholderWaiting = 5,
    kPlaceholderDownloading = 6,
};

// Starts the loader (once per process) with the eValue-mode set or the
// normal set; later calls do nothing.
void StartPlaceholderLoader(bool eValueMode);

// The picture of `slot`, waiting (polling every 100 ms) while the loader is
// still making it. Null for a slot outside 1 to 6, for slot 5 in eValue mode,
// or when the loader has not produced the slot within a few seconds: a
// missing picture must never hold the caller for ever.
const PixelBuffer* PlaceholderPicture(int slot);

// True when `pixels` is the pixel block of one of the placeholder pictures.
bool IsPlaceholderPixels(const std::uint32_t* pixels);

}  // namespace zov
