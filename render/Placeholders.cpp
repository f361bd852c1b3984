#include "render/Placeholders.h"

#include "platform/image/ImageDecoder.h"
#include "resources/Resources.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

namespace zov {

namespace {

constexpr int kSlotCount = 6;
// The Downloading picture contributes only its text band (rows inclusive);
// the rest of the page is plain white whatever the file holds.
constexpr std::int32_t kBandTop = 323, kBandBottom = 374;
constexpr std::int32_t kDownloadWidth = 600, kDownloadHeight = 846;
constexpr auto kPollInterval = std::chrono::milliseconds(100);
constexpr int kPollLimit = 50;  // 5 s: a slow or failed loader must not hold a painter for ever

// Published pictures, index = slot. A pointer becomes non-null once, when its
// picture is complete, and then never changes: readers need no lock. The
// buffers are allocated once and never freed, and stay reachable from here.
std::atomic<const PixelBuffer*> slots[kSlotCount + 1];
std::atomic<bool> eValue{false};
std::atomic<bool> finished{false};  // the loader has tried every slot
std::once_flag startOnce;

// The loader thread is joined when the process exits rather than detached: a
// thread still decoding while exit() runs static destructors and the leak
// check would race with them, and the wait is at most the rest of one small
// decode. The holder is constructed before the thread starts, so it is
// destroyed after anything the thread creates lazily.
struct LoaderThread {
    std::thread thread;
    ~LoaderThread() {
        if (thread.joinable())
            thread.join();
    }
};

LoaderThread& Loader() {
    static LoaderThread loader;
    return loader;
}

// A copy of `pixels` in a heap block, as a buffer that lives for the process.
const PixelBuffer* MakeResidentPicture(std::int32_t width, std::int32_t height, const std::uint32_t* pixels) {
    auto bytes = static_cast<std::int64_t>(width) * height * 4;
    auto* block = static_cast<std::uint32_t*>(std::malloc(static_cast<std::size_t>(bytes)));
    if (!block)
        return nullptr;
    std::memcpy(block, pixels, static_cast<std::size_t>(bytes));
    auto* picture = new PixelBuffer(width, height);
    picture->AdoptPixels(block, bytes, nullptr);
    picture->MakeResident();
    return picture;
}

std::optional<DecodedImage> DecodeResource(const char* name) {
    std::span<const std::uint8_t> bytes = EmbeddedResource(name);
    if (bytes.empty())
        return std::nullopt;
    // The decoder's words are 0x00RRGGBB, the pixel buffers' own order, so
    // the pictures are taken as they are: no red/blue exchange.
    return DecodeImage(bytes);
}

const PixelBuffer* LoadPage(const char* name) {
    std::optional<DecodedImage> image = DecodeResource(name);
    if (!image)
        return nullptr;
    return MakeResidentPicture(image->width, image->height, image->pixels.data());
}

const PixelBuffer* LoadDownloading() {
    std::optional<DecodedImage> image = DecodeResource("placeholders/downloading.png");
    if (!image || image->width != kDownloadWidth || image->height != kDownloadHeight)
        return nullptr;
    std::vector<std::uint32_t>& pixels = image->pixels;
    auto bandBegin = pixels.begin() + static_cast<std::ptrdiff_t>(kBandTop) * kDownloadWidth;
    auto bandEnd = pixels.begin() + static_cast<std::ptrdiff_t>(kBandBottom + 1) * kDownloadWidth;
    std::fill(pixels.begin(), bandBegin, 0xFFFFFFu);
    std::fill(bandEnd, pixels.end(), 0xFFFFFFu);
    return MakeResidentPicture(kDownloadWidth, kDownloadHeight, pixels.data());
}

void LoadAll(bool eValueMode) {
    static const char* const kNormal[] = {
        "placeholders/normal-1.png", "placeholders/normal-2.png", "placeholders/normal-3.png",
        "placeholders/normal-4.png", "placeholders/normal-5.png",
    };
    static const char* const kEValue[] = {
        "placeholders/evalue-1.png", "placeholders/evalue-2.png", "placeholders/evalue-3.png",
        "placeholders/evalue-4.png", nullptr,
    };
    const char* const* names = eValueMode ? kEValue : kNormal;
    for (int slot = 1; slot <= 5; ++slot)
        if (names[slot - 1])
            slots[slot].store(LoadPage(names[slot - 1]), std::memory_order_release);
    slots[kPlaceholderDownloading].store(LoadDownloading(), std::memory_order_release);
    finished.store(true, std::memory_order_release);
}

}  // namespace

void StartPlaceholderLoader(bool eValueMode) {
    std::call_once(startOnce, [eValueMode] {
        eValue.store(eValueMode, std::memory_order_relaxed);
        LoaderThread& loader = Loader();
        loader.thread = std::thread(LoadAll, eValueMode);
    });
}

const PixelBuffer* PlaceholderPicture(int slot) {
    if (slot < 1 || slot > kSlotCount)
        return nullptr;
    StartPlaceholderLoader(false);  // does nothing once started, in either mode
    if (slot == kPlaceholderWaiting && eValue.load(std::memory_order_relaxed))
        return nullptr;
    for (int poll = 0;; ++poll) {
        // `finished` is read before the slot: once the loader is done, a slot
        // still empty stays empty, and waiting for it would only cost time.
        bool done = finished.load(std::memory_order_acquire);
        if (const PixelBuffer* picture = slots[slot].load(std::memory_order_acquire))
            return picture;
        if (done || poll == kPollLimit)
            return nullptr;
        std::this_thread::sleep_for(kPollInterval);
    }
}

bool IsPlaceholderPixels(const std::uint32_t* pixels) {
    if (!pixels)
        return false;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const PixelBuffer* picture = slots[slot].load(std::memory_order_acquire);
        if (picture && picture->Pixels() == pixels)
            return true;
    }
    return false;
}

}  // namespace zov
