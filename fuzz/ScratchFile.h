// One scratch file per process for checks that hand their input to a reader by name; removed at exit.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace velmo_fuzz {

inline const std::string& scratch_path()
{
    static const std::string path = [] {
        char name[] = "/tmp/velmo-fuzz-XXXXXX";
        const int descriptor = mkstemp(name);
        if (descriptor < 0) {
            std::perror("velmo fuzz: mkstemp");
            std::abort();
        }
        close(descriptor);
        std::atexit([] { unlink(scratch_path().c_str()); });
        return std::string(name);
    }();
    return path;
}

// The scratch file holding exactly these bytes.
inline const std::string& scratch_file_with(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = scratch_path();
    std::FILE* stream = std::fopen(path.c_str(), "wb");
    if (!stream || std::fwrite(data, 1, size, stream) != size || std::fclose(stream) != 0) {
        std::perror("velmo fuzz: writing the scratch file");
        std::abort();
    }
    return path;
}

} // namespace velmo_fuzz
