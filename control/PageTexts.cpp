#include "control/PageTexts.h"

#include "documents/PreviewSource.h"
#include "platform/TextFile.h"
#include "render/DocumentSearch.h"

namespace zov {

PageTextReader::~PageTextReader() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    cancel_ = true;
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void PageTextReader::Request(PagesFacingUp which) {
    {
        // Raised under the lock, so that it can only end the read it overtakes.
        std::lock_guard lock(mutex_);
        cancel_ = true;
        pending_ = std::move(which);
        done_.reset();
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_all();
}

std::optional<OpenPageTexts> PageTextReader::Take() {
    std::lock_guard lock(mutex_);
    std::optional<OpenPageTexts> texts = std::move(done_);
    done_.reset();
    return texts;
}

void PageTextReader::Run() {
    for (;;) {
        PagesFacingUp which;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || pending_; });
            if (stop_)
                return;
            which = std::move(*pending_);
            pending_.reset();
            cancel_ = false;
        }
        OpenPageTexts texts{which, {}};
        try {
            PreviewSource source(which.path);
            source.CancelWith(&cancel_);
            for (const std::int32_t page : which.pages) {
                std::wstring text;
                if (!source.PageText(page, SearchesSearchTextFiles(), text))
                    text.clear();
                // Page files end their texts with a line break; a page of
                // blanks has no text to read out.
                text = TrimTrailingSpace(text);
                if (text.size() > kMaxDescribedText)
                    text.resize(kMaxDescribedText);
                texts.pages.push_back(DescribedPage{page, std::move(text)});
            }
        } catch (...) {
            texts.pages.clear();
        }
        std::lock_guard lock(mutex_);
        // Texts of a request overtaken by a newer one are of no use.
        if (!pending_ && !stop_)
            done_ = std::move(texts);
    }
}

}  // namespace zov
