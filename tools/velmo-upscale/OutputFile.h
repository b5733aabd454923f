// An output written under a temporary name beside its final one and renamed into place only when
// complete, so a failed run never leaves a truncated file or destroys an older result.
#pragma once

#include <string>

namespace velmo_upscale {

class OutputFile {
public:
    // Creates the temporary file at once, so that an unwritable destination fails before any work.
    // Throws ToolError(kExitOutput) when the folder is missing or not writable, or the final name
    // is a folder.
    explicit OutputFile(std::string final_path);
    // Removes the temporary file unless commit() succeeded.
    ~OutputFile();

    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Where to write meanwhile (the file exists and is empty).
    const std::string& temporary_path() const { return _temporary_path; }
    const std::string& final_path() const { return _final_path; }

    // Renames the temporary file onto the final name; throws ToolError(kExitOutput) on failure.
    void commit();

private:
    std::string _final_path;
    std::string _temporary_path;
    bool _committed = false;
    int _signal_slot = -1;
};

// Makes an interrupted run (Ctrl-C, SIGTERM, SIGHUP) remove the temporary files of the outputs
// it was still writing before it ends as the signal says.
void remove_unfinished_outputs_on_signals();

// True when both names lead to the same existing file (hard links and symlinks included).
bool same_file(const std::string& a, const std::string& b);

} // namespace velmo_upscale
