// Runs Khronos' reference compiler (glslangValidator) on a shader text.
#pragma once

#include <string>

namespace velmo_test {

// True when the build found glslangValidator (Debian: glslang-tools).
bool glslang_available();

// The validator's complaint about `text` as a vertex or fragment stage followed by the text itself,
// or an empty string when it accepts the text.
std::string glslang_rejection(const std::string& text, bool vertex);

} // namespace velmo_test
