// An output written under a temporary name beside its final one and renamed into place only when
// complete, so a failed run never leaves a truncated file or destroys an older result. Pipes,
// devices and standard output are written straight into instead.
#pragma once

#include <string>

#include "Options.h"

namespace velmo_upscale {

class OutputFile {
public:
    // Creates the temporary file at once, so that an unwritable destination fails before any work.
    // A symbolic link is written through: the file it leads to is replaced, the link stays. "-" is
    // standard output. Throws ToolError(kExitOutput) when the folder is missing or not writable, or
    // the final name is a folder.
    explicit OutputFile(std::string final_path);
    // Removes the temporary file unless commit() succeeded.
    ~OutputFile();

    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Where to write meanwhile: the temporary file (it exists and is empty), or the final pipe or
    // device itself, or "-" for standard output.
    const std::string& write_path() const { return _write_path; }
    // The name as given, for messages.
    const std::string& final_path() const { return _final_path; }
    // Whether a temporary file replaces a regular one on commit (not a pipe, device or "-").
    bool replaces_file() const { return _temporary; }

    // Renames the temporary file onto the final name; throws ToolError(kExitOutput) on failure.
    void commit();

private:
    std::string _final_path;
    std::string _target_path; // the final path with symbolic links followed
    std::string _write_path;
    bool _temporary = false;
    bool _committed = false;
    int _signal_slot = -1;
};

// Makes an interrupted run (Ctrl-C, SIGTERM, SIGHUP, SIGQUIT, a closed pipe) remove the temporary
// files of the outputs it was still writing before it ends as the signal says.
void remove_unfinished_outputs_on_signals();

// True when both names lead to the same existing file (hard links and symlinks included).
bool same_file(const std::string& a, const std::string& b);

// True when writing both names would write the same file, whether or not it exists yet.
bool same_destination(const std::string& a, const std::string& b);

// Lets an existing regular file at `path` be replaced as `policy` says: -y yes, -n no, otherwise
// the user is asked when standard input is a terminal (and not the job's input) and the run is
// refused elsewhere. Throws ToolError(kExitOutput) when it may not.
void confirm_overwrite(const std::string& path, Overwrite policy, bool input_from_stdin);

} // namespace velmo_upscale
