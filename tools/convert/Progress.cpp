#include "tools/convert/Progress.h"

#include <cstdio>

namespace zov {

namespace {

constexpr int kBarWidth = 30;

}  // namespace

Progress::Progress(bool enabled, int documents) : enabled_(enabled), documents_(documents) {}

Progress::~Progress() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (enabled_ && drawn_)
        std::fputs("\n", stderr);
}

void Progress::AddPages(int pages) {
    std::lock_guard<std::mutex> guard(mutex_);
    pages_ += pages;
    Draw();
}

void Progress::PageDone() {
    std::lock_guard<std::mutex> guard(mutex_);
    ++pagesDone_;
    Draw();
}

void Progress::DocumentDone() {
    std::lock_guard<std::mutex> guard(mutex_);
    ++documentsDone_;
    Draw();
}

void Progress::Say(const std::string& line) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (enabled_ && drawn_)
        std::fputs("\r\033[K", stderr);
    std::fprintf(stderr, "%s\n", line.c_str());
    drawn_ = false;
    Draw();
}

void Progress::Draw() {
    if (!enabled_)
        return;
    // The bar follows documents, and within them pages.
    double done = documents_ > 0 ? static_cast<double>(documentsDone_) / documents_ : 1.0;
    int filled = static_cast<int>(done * kBarWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    std::fprintf(stderr, "\r[%s] documents %d/%d  pages %d/%d", bar.c_str(), documentsDone_, documents_, pagesDone_,
                 pages_);
    std::fflush(stderr);
    drawn_ = true;
}

}  // namespace zov
