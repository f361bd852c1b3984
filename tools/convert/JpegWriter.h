// JPEG encoding of rendered pages, straight from the renderer's RGB rows.
#pragma once

#include "tools/convert/Downscale.h"

#include <cstdint>
#include <vector>

namespace zov {

// One per thread: the encoder keeps its state between pages.
class JpegWriter {
public:
    JpegWriter();
    ~JpegWriter();
    JpegWriter(const JpegWriter&) = delete;
    JpegWriter& operator=(const JpegWriter&) = delete;

    // Baseline JPEG at `quality` (1 to 100); below 90 chroma is halved both
    // ways, as the rest of the system encodes. Empty on failure.
    std::vector<std::uint8_t> Encode(const RgbView& picture, int quality);

private:
    void* handle_ = nullptr;
};

}  // namespace zov
