// A target with one planted fault, for the test that the driver's mutations
// reach it from a near seed and that the input it writes repeats the fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= 4 && std::memcmp(data, "FUZZ", 4) == 0)
        std::abort();
    return 0;
}
