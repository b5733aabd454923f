// Runs code in a child process and collects what it writes, so that a test can watch the standard
// streams and process-wide settings without touching its own.
#pragma once

#include <functional>
#include <string>

namespace velmo_test {

// Runs `body` in a forked child whose standard output and standard error both feed one pipe;
// returns what arrived, in the order it arrived.
std::string output_of_child(const std::function<void()>& body);

} // namespace velmo_test
