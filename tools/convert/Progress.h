// The converter's progress bar: one line on a terminal, redrawn in place;
// nothing when the output is not a terminal.
#pragma once

#include <mutex>
#include <string>

namespace zov {

class Progress {
public:
    // `enabled` false: every call does nothing.
    Progress(bool enabled, int documents);
    ~Progress();

    void AddPages(int pages);
    void PageDone();
    void DocumentDone();
    // A line of its own above the bar (a failure, a note).
    void Say(const std::string& line);

private:
    void Draw();

    const bool enabled_;
    std::mutex mutex_;
    int documents_;
    int documentsDone_ = 0;
    int pages_ = 0;
    int pagesDone_ = 0;
    bool drawn_ = false;
};

}  // namespace zov
