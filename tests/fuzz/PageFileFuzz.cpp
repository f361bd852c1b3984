// Feeds arbitrary bytes to every page file reader: none may crash, hang, read
// out of bounds or allocate without bound.
#include "documents/PageFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zov;
    BinaryFile file;
    file.OpenMemory({data, size});
    WalkPageFile(file);
    ReadImage(file);
    ReadPreferredImage(file);
    ReadPageList(file);
    ReadVersion(file);
    return 0;
}
