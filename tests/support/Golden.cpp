#include "tests/support/Golden.h"

#include "platform/Encoding.h"
#include "platform/image/ImageDecoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace zov::test {

void ExpectMatchesGolden(const std::string& name, const PixelBuffer& made) {
    const std::string golden = std::string(ZOV_SOURCE_DIR) + "/tests/golden/" + name + ".png";
    if (std::getenv("ZOV_UPDATE_GOLDEN")) {
        ASSERT_TRUE(WritePngFile(FromUtf8(golden), made.Pixels(), made.Width(), made.Height()));
        return;
    }
    std::optional<DecodedImage> expected = DecodeImageFile(FromUtf8(golden));
    ASSERT_TRUE(expected) << "missing " << golden << " (ZOV_UPDATE_GOLDEN=1 makes it)";
    ASSERT_EQ(expected->width, made.Width());
    ASSERT_EQ(expected->height, made.Height());
    std::vector<std::uint32_t> difference(expected->pixels.size(), 0xFFFFFF);
    std::size_t different = 0;
    for (std::size_t i = 0; i < difference.size(); ++i) {
        if (expected->pixels[i] != made.Pixels()[i]) {
            difference[i] = 0xFF0000;
            ++different;
        }
    }
    if (different > 0) {
        const std::string out = std::string(ZOV_BINARY_DIR) + "/" + name;
        WritePngFile(FromUtf8(out + "-made.png"), made.Pixels(), made.Width(), made.Height());
        WritePngFile(FromUtf8(out + "-difference.png"), difference.data(), made.Width(), made.Height());
    }
    EXPECT_EQ(different, 0u) << name << ": see " << ZOV_BINARY_DIR << "/" << name << "-difference.png";
}

}  // namespace zov::test
