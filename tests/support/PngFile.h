// Writes RGBA8 images as PNG files, for failure artefacts a person can look at.
#pragma once

#include <string>

#include "support/PlayerGLTest.h"

namespace velmo_test {

// Returns false (and writes nothing usable) when the file cannot be written.
bool write_png(const std::string& path, const RgbaImage& image);

} // namespace velmo_test
