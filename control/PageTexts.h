// The texts of the zoomed book's open pages, for readers who cannot see them,
// read on a thread of their own: a page on a web server may have to be
// downloaded first, which the window thread must never wait for.
#pragma once

#include "platform/HostWindow.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zov {

// Characters of one page's text a reader is given; a page file may hold more.
inline constexpr std::size_t kMaxDescribedText = 20000;

struct PagesFacingUp {
    std::wstring path;
    std::vector<std::int32_t> pages;

    friend bool operator==(const PagesFacingUp&, const PagesFacingUp&) = default;
};

struct OpenPageTexts {
    PagesFacingUp which;
    std::vector<DescribedPage> pages;  // in the order asked; empty text when unreadable
};

class PageTextReader {
public:
    PageTextReader() = default;
    // Ends a download under way and waits for the thread.
    ~PageTextReader();
    PageTextReader(const PageTextReader&) = delete;
    PageTextReader& operator=(const PageTextReader&) = delete;

    // A newer request replaces one not yet read and ends a slow download of
    // an older one.
    void Request(PagesFacingUp which);
    // The texts last read, once; nothing until then.
    std::optional<OpenPageTexts> Take();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<PagesFacingUp> pending_;
    std::optional<OpenPageTexts> done_;
    bool stop_ = false;
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

}  // namespace zov
