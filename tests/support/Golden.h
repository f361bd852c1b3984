// Golden pictures: a frame compared with a PNG file under tests/golden/ that
// was made by the code, looked at and frozen. ZOV_UPDATE_GOLDEN=1 makes the
// files again; a mismatch writes the picture made and a difference picture
// (changed pixels in red) into the build folder.
#pragma once

#include "pixels/PixelBuffer.h"

#include <string>

namespace zov::test {

// Adds a test failure when `made` differs from tests/golden/NAME.png.
void ExpectMatchesGolden(const std::string& name, const PixelBuffer& made);

}  // namespace zov::test
