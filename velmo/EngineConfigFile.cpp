// configure.ini: text, pipeline choice and the write that replaces the file whole where it can.
#include "velmo/EngineConfigFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace kx_velmo {

namespace {

// 1024 x 576: streams above this many pixels are upscaled unless the priority says otherwise.
constexpr int64_t kUpscalePixelThreshold = 0x90000;

} // namespace

int choose_fast_sr_mode(int current_mode, int width, int height, bool priority_eq0, bool priority_eq2,
                        bool priority_eq3)
{
    if (priority_eq0)
        return current_mode;
    int mode = current_mode;
    // 64-bit product: a 32-bit one overflows for large sizes and would flip the choice.
    if (static_cast<int64_t>(width) * height > kUpscalePixelThreshold || priority_eq2)
        mode = 1;
    if (priority_eq3)
        mode = 0;
    return mode;
}

std::string engine_config_text(int video_width, int video_height)
{
    std::string text;
    text += "log_level : TRACE\n";
    text += "console_log : true\n";
    text += "VideoEnhance_SuperResolution_model : M1C4\n";
    text += "VideoEnhance_SuperResolution_unencmodel : M1C4\n";
    text += "VideoEnhance_SuperResolution_powermode : mode_high\n";
    text += "VideoEnhance_SuperResolution_threadnums : 4\n";
    text += "VideoEnhance_SuperResolution_maxwidth : " + std::to_string(video_width) + "\n";
    text += "VideoEnhance_SuperResolution_maxheight : " + std::to_string(video_height) + "\n";
    text += "VideoEnhance_SuperResolution_saveframe : 0\n";
    text += "VideoEnhance_SuperResolution_layout : NHWC\n";
    return text;
}

namespace {

bool write_all(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

// Truncates and rewrites the file itself, as fopen(path, "w") would: its inode, links, owner and
// mode stay, but a failure part-way leaves it truncated.
ConfigWriteResult write_in_place(const std::string& path, const std::string& text)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return ConfigWriteResult::open_failed;
    bool ok = write_all(fd, text);
    ok = (close(fd) == 0) && ok;
    return ok ? ConfigWriteResult::written : ConfigWriteResult::write_failed;
}

// Whether the process may open the existing file for writing, which is what fopen(path, "w") needs
// (its mode, owner, access lists and a read-only mount all count). The file is not changed.
bool may_write(const std::string& path)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

// Creates a temporary file beside `destination` under a name no other writer uses: the process id
// and a count within the process, with O_EXCL moving on to the next count where a killed writer
// left that name behind. Unique names need no lock between concurrent writers. open applies the
// umask to `mode`. Returns the descriptor, or -1.
int create_temporary(const std::string& destination, mode_t mode, std::string& temporary)
{
    static std::atomic<unsigned int> count{0};
    const std::string prefix = destination + ".tmp." + std::to_string(getpid()) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = prefix + std::to_string(count.fetch_add(1));
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Writes `text` to a temporary file and renames it over `destination`. A replaced file's owner and
// mode carry over; where its owner cannot be given to the new file, the file is rewritten in place
// instead, so that it keeps its owner as it would under fopen. A new file gets 0666 less the umask.
ConfigWriteResult replace_file(const std::string& destination, const std::string& text, const struct stat* existing)
{
    std::string temporary;
    const int fd = create_temporary(destination, existing ? 0600 : 0666, temporary);
    if (fd < 0)
        return existing ? write_in_place(destination, text) : ConfigWriteResult::open_failed;

    bool ok = true;
    if (existing) {
        struct stat created = {};
        const bool owner_kept = fstat(fd, &created) == 0 &&
                                ((created.st_uid == existing->st_uid && created.st_gid == existing->st_gid) ||
                                 fchown(fd, existing->st_uid, existing->st_gid) == 0);
        if (!owner_kept) {
            unlink(temporary.c_str());
            close(fd);
            return write_in_place(destination, text);
        }
        ok = fchmod(fd, existing->st_mode & 07777) == 0;
    }
    ok = ok && write_all(fd, text);
    if (!ok) {
        unlink(temporary.c_str());
        close(fd);
        return ConfigWriteResult::write_failed;
    }
    if (std::rename(temporary.c_str(), destination.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        close(fd);
        // A directory that takes no new names may still hold a writable file.
        if (existing && (error == EACCES || error == EPERM || error == EROFS))
            return write_in_place(destination, text);
        return ConfigWriteResult::write_failed;
    }
    return close(fd) == 0 ? ConfigWriteResult::written : ConfigWriteResult::write_failed;
}

} // namespace

ConfigWriteResult write_engine_config(const std::string& directory, const std::string& text, std::string& path)
{
    const std::string target = directory + "/configure.ini";
    std::string destination = target;
    struct stat link = {};
    if (lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        // Written through the link: the file it names is replaced, in the directory holding that file.
        char* resolved = realpath(target.c_str(), nullptr);
        if (resolved) {
            destination = resolved;
            std::free(resolved);
        }
    }

    struct stat existing = {};
    const bool exists = stat(destination.c_str(), &existing) == 0;
    // fopen(path, "w") is refused for a file the process may not write; so is the replacing write.
    if (exists && S_ISREG(existing.st_mode) && !may_write(destination))
        return ConfigWriteResult::open_failed;
    ConfigWriteResult result;
    if (destination == target && exists && S_ISLNK(link.st_mode))
        result = write_in_place(destination, text); // a link realpath could not follow
    else if (exists && (!S_ISREG(existing.st_mode) || existing.st_nlink > 1))
        result = write_in_place(destination, text); // every hard link keeps naming the one file
    else if (!exists && lstat(target.c_str(), &link) == 0)
        result = write_in_place(target, text); // a dangling link: creating its target, as fopen would
    else
        result = replace_file(destination, text, exists ? &existing : nullptr);
    if (result == ConfigWriteResult::written)
        path = target;
    return result;
}

} // namespace kx_velmo
