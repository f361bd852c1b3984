// Feeds arbitrary bytes to the picture decoders, above all the BMP reader,
// which is our own.
#include "platform/image/ImageDecoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zov::DecodeImage({data, size});
    return 0;
}
