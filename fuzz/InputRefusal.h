// What the tool's readers must do with a file they cannot read: refuse it as bad input, with a
// message, and throw nothing else.
#pragma once

#include <exception>
#include <string>

#include "ToolError.h"

namespace velmo_fuzz {

// Runs `read`, which returns the fault it found or an empty string; a refusal is no fault when it
// carries the input's exit status and a message. `reader` names the reader in the fault text.
template <typename Read>
std::string read_or_refuse(const char* reader, Read read)
{
    try {
        return read();
    } catch (const velmo_upscale::ToolError& error) {
        if (error.status() != velmo_upscale::kExitInput || std::string(error.what()).empty())
            return "a refused file gives status " + std::to_string(error.status()) + " and the message '" +
                   error.what() + "'";
        return {};
    } catch (const std::exception& error) {
        return std::string(reader) + " threw " + error.what();
    }
}

} // namespace velmo_fuzz
