// A viewer that records what the control asks of it. The real viewer engine
// is built on top of the control host; these tests check the host alone.
// What it records lives in a FakeViewerState that outlives it, so a test can
// still read it after the control has deleted its viewer.
#pragma once

#include "viewer/IViewer.h"
#include "platform/Locks.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zov::test {

struct FakeViewerState {
    // When set, ZoomDown blocks until cleared: a command that keeps the
    // worker busy.
    std::atomic<bool> blockZoomDown{false};
    std::atomic<bool> zoomDownEntered{false};
    std::atomic<bool> zoomDownFinished{false};
    std::atomic<bool> stitchLeftThrows{false};
    std::atomic<bool> frameReady{false};
    std::atomic<int> painted{0};
    std::atomic<int> cursor{0};
    std::atomic<bool> searchRunning{false};
    std::atomic<bool> searchCancel{false};
    // Whether the desk lock was held by the painting thread during the last Paint.
    std::atomic<bool> deskLockHeldDuringPaint{false};
    std::atomic<bool> deleted{false};

    void Note(std::string call) {
        std::lock_guard<std::mutex> guard(mutex);
        calls.push_back(std::move(call));
    }
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> guard(mutex);
        return calls;
    }

    std::mutex mutex;
    std::vector<std::string> calls;
};

class FakeViewer : public IViewer {
public:
    explicit FakeViewer(FakeViewerState& state) : s_(state) {}
    ~FakeViewer() override { s_.deleted = true; }

    void RequestFlip(int action) override { s_.Note("RequestFlip " + std::to_string(action)); }
    void ZoomDown() override {
        s_.zoomDownEntered = true;
        while (s_.blockZoomDown)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        s_.Note("ZoomDown");
        s_.zoomDownFinished = true;
    }
    void Scale(double factor, int steps) override {
        s_.Note("Scale " + std::to_string(factor) + " " + std::to_string(steps));
    }
    void CompleteOpenPage(bool s, bool a) override { s_.Note("CompleteOpenPage" + Flags(s, a)); }
    void UnCompleteOpenPage(bool s, bool a) override { s_.Note("UnCompleteOpenPage" + Flags(s, a)); }
    void SingleOpenPage(bool s, bool a) override { s_.Note("SingleOpenPage" + Flags(s, a)); }
    void StitchLeft() override {
        if (s_.stitchLeftThrows)
            throw std::runtime_error("stitch failed");
        s_.Note("StitchLeft");
    }
    void StitchRight() override { s_.Note("StitchRight"); }
    bool PreviousObject(bool s) override {
        s_.Note(std::string("PreviousObject ") + (s ? "1" : "0"));
        return true;
    }
    bool NextObject(bool s) override {
        s_.Note(std::string("NextObject ") + (s ? "1" : "0"));
        return true;
    }
    void PointerDown(std::int32_t x, std::int32_t y) override { s_.Note("PointerDown " + Point(x, y)); }
    void PointerUp(std::int32_t x, std::int32_t y, std::uint32_t) override { s_.Note("PointerUp " + Point(x, y)); }
    void PointerMove(std::uint32_t b, std::int32_t x, std::int32_t y) override {
        s_.Note("PointerMove " + std::to_string(b) + " " + Point(x, y));
    }
    void Wheel(std::int16_t d, std::int32_t x, std::int32_t y) override {
        s_.Note("Wheel " + std::to_string(d) + " " + Point(x, y));
    }
    void ApplyScroll() override { s_.Note("ApplyScroll"); }
    void Resize() override { s_.Note("Resize"); }

    bool RequestUpdate(int) override { return s_.frameReady.exchange(false); }
    void SetPainted() override { ++s_.painted; }
    void Paint(const RECT&, const RECT&) override {
        bool free = false;
        std::thread probe([&free] {
            free = DeskLock().try_lock();
            if (free)
                DeskLock().unlock();
        });
        probe.join();
        s_.deskLockHeldDuringPaint = !free;
        s_.Note("Paint");
    }
    int PointerCursor() const override { return s_.cursor; }
    bool SearchRunning() const override { return s_.searchRunning; }
    void CancelSearch() override { s_.searchCancel = true; }

private:
    static std::string Flags(bool s, bool a) { return std::string(" ") + (s ? "1" : "0") + (a ? "1" : "0"); }
    static std::string Point(std::int32_t x, std::int32_t y) { return std::to_string(x) + "," + std::to_string(y); }

    FakeViewerState& s_;
};

}  // namespace zov::test
