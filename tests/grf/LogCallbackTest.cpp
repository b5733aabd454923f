// velmo_set_log_callback and velmo_set_log_handler: records reach the host's callback instead of
// standard error, with their level for a handler, NULL restores standard error, and a replaced
// receiver is never called again, also under threads.
#include "grf/GRFLog.h"
#include "velmo/velmo_api.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildOutput.h"

using velmo_test::output_of_child;

namespace {

void append_record(const char* record, void* user)
{
    static_cast<std::string*>(user)->append(record);
}

} // namespace

TEST(LogCallback, RecordsGoToTheCallbackAndNullRestoresStderr)
{
    EXPECT_EQ(output_of_child([] {
                  std::string received;
                  velmo_set_log_callback(append_record, &received);
                  grf_log_log("VelmoApi.cpp", "velmo_init", 85, "to the host %d\n", 1);
                  velmo_set_log_callback(nullptr, nullptr);
                  grf_log_log("VelmoApi.cpp", "velmo_init", 86, "to stderr\n");
                  std::fputs(("callback saw: " + received).c_str(), stderr);
              }),
              "[VelmoApi.cpp(86)] to stderr\ncallback saw: [VelmoApi.cpp(85)] to the host 1\n");
}

namespace {

void append_leveled_record(int32_t level, const char* record, void* user)
{
    *static_cast<std::string*>(user) += std::to_string(level) + " " + record;
}

} // namespace

TEST(LogCallback, HandlerTakesTheLevelAndTheLastSetterDecides)
{
    EXPECT_EQ(output_of_child([] {
                  std::string handled, called;
                  velmo_set_log_handler(append_leveled_record, &handled);
                  grf_log_log("Matrix.cpp", "operator*", 217, "shape %d\n", 3);
                  velmo_set_log_callback(append_record, &called);
                  grf_log_log("Matrix.cpp", "operator*", 218, "to the callback\n");
                  velmo_set_log_handler(append_leveled_record, &handled);
                  velmo_set_log_handler(nullptr, nullptr);
                  grf_log_log("Matrix.cpp", "operator*", 219, "to stderr\n");
                  std::fputs(("handler saw: " + handled + "callback saw: " + called).c_str(), stderr);
              }),
              "[Matrix.cpp(219)] to stderr\nhandler saw: " + std::to_string(VELMO_LOG_ERROR) +
                  " [Matrix.cpp(217)] shape 3\ncallback saw: [Matrix.cpp(218)] to the callback\n");
}

namespace {

struct Sink {
    std::atomic<bool> retired{false};
    std::atomic<int> late_calls{0};
    std::atomic<int> seen{0};
    int records = 0;  // counted without a lock: the library delivers one record at a time
};

void count_record(const char* record, void* user)
{
    auto* sink = static_cast<Sink*>(user);
    if (sink->retired.load())
        sink->late_calls.fetch_add(1);
    sink->seen.fetch_add(1);
    if (std::string(record).rfind("[t(", 0) == 0)
        ++sink->records;
}

} // namespace

TEST(LogCallback, ReplacedCallbackIsNeverCalledAgainWhileThreadsLog)
{
    constexpr int kThreads = 4;
    constexpr int kRecords = 2000;
    Sink first, second;
    velmo_set_log_callback(count_record, &first);

    std::vector<std::thread> loggers;
    for (int t = 0; t < kThreads; ++t)
        loggers.emplace_back([t] {
            for (int i = 0; i < kRecords; ++i)
                grf_log_log("t", "f", t, "record %d\n", i);
        });
    // Swap while the loggers are in full flow.
    while (first.seen.load() < kRecords)
        std::this_thread::yield();
    velmo_set_log_callback(count_record, &second);
    first.retired = true;
    for (auto& logger : loggers)
        logger.join();
    velmo_set_log_callback(nullptr, nullptr);
    second.retired = true;
    grf_log_log("t", "f", 0, "after reset\n");

    EXPECT_EQ(first.late_calls.load(), 0);
    EXPECT_EQ(second.late_calls.load(), 0);
    EXPECT_EQ(first.records + second.records, kThreads * kRecords);
}
