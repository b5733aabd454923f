// Keeps velmo's own log lines (it writes them to standard error) off the user's terminal unless
// --verbose asks for them: while a gate is open, file descriptor 2 leads to /dev/null.
#pragma once

namespace velmo_upscale {

class LibraryLogGate {
public:
    // Silences standard error for the gate's lifetime when `silence` is true.
    explicit LibraryLogGate(bool silence);
    ~LibraryLogGate();
    LibraryLogGate(const LibraryLogGate&) = delete;
    LibraryLogGate& operator=(const LibraryLogGate&) = delete;

private:
    int _saved = -1;
};

} // namespace velmo_upscale
