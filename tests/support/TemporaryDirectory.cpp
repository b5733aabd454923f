// A fresh folder under /tmp for tests that write files.
#include "support/TemporaryDirectory.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace velmo_test {

TemporaryDirectory::TemporaryDirectory()
{
    char pattern[] = "/tmp/velmo-test-XXXXXX";
    const char* created = mkdtemp(pattern);
    _path = created ? created : "";
}

TemporaryDirectory::~TemporaryDirectory()
{
    for (const std::string& name : entries())
        unlink((_path + "/" + name).c_str());
    rmdir(_path.c_str());
}

std::vector<std::string> TemporaryDirectory::entries() const
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(_path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

std::string read_file(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

} // namespace velmo_test
