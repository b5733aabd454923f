// A fresh folder under /tmp for tests that write files, removed with its files afterwards.
#pragma once

#include <string>
#include <vector>

namespace velmo_test {

class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::string& path() const { return _path; }
    // Names of the files in the folder, in no particular order.
    std::vector<std::string> entries() const;

private:
    std::string _path;
};

// The whole content of a file; empty when it cannot be read.
std::string read_file(const std::string& path);

} // namespace velmo_test
