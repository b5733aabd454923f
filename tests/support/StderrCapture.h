// Captures what the library writes to standard error (its log records) while an object lives.
#pragma once

#include <cstdio>
#include <string>

namespace velmo_test {

// Redirects file descriptor 2 into a temporary file from construction until finish() (or
// destruction), so records written with a single write arrive whole and in order.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();

    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Restores standard error and returns everything written since construction.
    std::string finish();

private:
    std::FILE* _file = nullptr;
    int _saved_fd = -1;
    std::string _text;
};

} // namespace velmo_test
