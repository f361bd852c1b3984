// The large pictures of the pages a turning zoomed book reaches next,
// decoded on a thread of their own while the current leaf turns, so that
// the frame that first shows them does not decode them on the timer's time.
//
// The pictures wait here (at most kAheadPages of them) until the frame that
// would load them; they then become the page's large picture just before the
// painter's preload, which finds them held and puts them in their slot as if
// it had read them itself. Pages outside a slot never keep them.
#pragma once

#include "pixels/PixelBuffer.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zov {

class ZAZImage;
class ZAZObject;

class PagePrefetch {
public:
    // The two pages the next leaf in the same direction shows.
    static constexpr std::size_t kAheadPages = 2;

    PagePrefetch() = default;
    ~PagePrefetch();
    PagePrefetch(const PagePrefetch&) = delete;
    PagePrefetch& operator=(const PagePrefetch&) = delete;

    // Before the book is drawn in full quality with pages first..last facing:
    // the pages among them that the preload would read take the pictures
    // decoded for them, waiting for one still being decoded (without the
    // document lock, which it takes around the rest).
    void HandIn(ZAZObject& book, std::int32_t first, std::int32_t last);
    // After the drawing: a page handed in that did not get a slot gives its
    // picture back, so that only the slots hold large pictures.
    void Settle();
    // Asks for the pages past first..last in the turning direction; forgets
    // the pictures of any other page.
    void Ahead(ZAZObject& book, std::int32_t first, std::int32_t last, bool forward);
    void Clear();
    // Whether page `number` of `path` is decoded and waiting (tests).
    bool Ready(const std::wstring& path, std::int32_t number);

private:
    enum class State { Queued, Decoding, Done };
    struct Entry {
        std::wstring path;
        std::int32_t number = 0;
        State state = State::Queued;
        std::uint64_t ticket = 0;  // tells a decode's entry from a later one for the same page
        std::unique_ptr<PixelBuffer> picture;
    };

    void Run();
    std::vector<Entry>::iterator Find(const std::wstring& path, std::int32_t number);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Entry> entries_;
    std::uint64_t tickets_ = 0;
    bool stop_ = false;
    std::thread thread_;
    std::vector<ZAZImage*> handedIn_;  // drawing thread only
};

}  // namespace zov
