// An input opened as a plain file, or standard input for "-", and never as a URL: its first bytes
// can be looked at and then read again, by libpng or by FFmpeg through the tool's own I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmo_upscale {

class InputFile {
public:
    // "-" is standard input. Throws ToolError(kExitInput) when the file is missing, unreadable or
    // a folder.
    explicit InputFile(const std::string& path);
    // Takes over an open file (`fd` is closed with the input), named `name` in messages.
    InputFile(int fd, const std::string& name);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // The name as given, for messages.
    const std::string& path() const { return _path; }
    bool is_standard_input() const { return _path == "-" && !_owns_fd; }

    // Whether the next bytes are the PNG signature. Reading afterwards still starts with them,
    // also from pipes.
    bool starts_with_png_signature();
    // Up to `count` first bytes (fewer when the input is shorter). Reading afterwards still starts
    // with them, also from pipes.
    std::string look_ahead(size_t count);

    // Up to `size` bytes; 0 at the end. Throws ToolError(kExitInput) on a read error.
    size_t read(uint8_t* buffer, size_t size);

    // Regular files only: repositions reading (whence as for lseek) and returns the new offset,
    // or -1 when the input cannot seek there.
    int64_t seek(int64_t offset, int whence);
    bool seekable() const { return _size >= 0; }
    // The byte count of a regular file; -1 for pipes and devices.
    int64_t size() const { return _size; }

private:
    // Refuses a folder; notes the size of a regular file that can seek.
    void find_size();

    std::string _path;
    int _fd = -1;
    bool _owns_fd = false; // standard input stays open
    int64_t _size = -1;
    // Bytes read ahead to look at the start of an input that cannot seek back, handed out again first.
    std::string _ahead;
    size_t _ahead_used = 0;
};

} // namespace velmo_upscale
