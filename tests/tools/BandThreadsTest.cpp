// The band pool: every row drawn exactly once per frame, by more than one thread where there are
// rows enough, for any number of rows against any number of threads, frame after frame.
#include "client/BandThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

using velmo_client::BandThreads;

TEST(BandThreadsTest, EveryRowOnceInBandsSpreadOverTheThreads)
{
    for (int count : {1, 3, 8}) {
        BandThreads threads(count);
        EXPECT_EQ(threads.count(), count);
        for (int rows : {0, 1, 2, 7, 8, 9, 1080}) {
            std::vector<std::atomic<int>> drawn(static_cast<size_t>(rows));
            std::mutex mutex;
            std::set<std::thread::id> drawers;
            std::vector<std::pair<int, int>> bands;
            threads.draw(rows, [&](int begin, int end) {
                for (int row = begin; row < end; ++row)
                    ++drawn[static_cast<size_t>(row)];
                std::lock_guard<std::mutex> lock(mutex);
                drawers.insert(std::this_thread::get_id());
                bands.emplace_back(begin, end);
            });
            for (int row = 0; row < rows; ++row)
                EXPECT_EQ(drawn[static_cast<size_t>(row)], 1) << count << " threads, " << rows << " rows, row " << row;
            EXPECT_EQ(bands.size(), static_cast<size_t>(std::min(count, rows))) << count << " threads, " << rows;
            for (const auto& [begin, end] : bands)
                EXPECT_LE(end - begin, rows / count + 1) << "bands of nearly equal height";
            if (rows >= count) {
                EXPECT_EQ(drawers.size(), static_cast<size_t>(count)) << count << " threads, " << rows << " rows";
            }
        }
    }
}
