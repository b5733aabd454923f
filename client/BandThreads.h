// A small pool of threads that draw one picture together, each a band of its rows: velmo's CPU
// pass starts no thread of its own, so the program driving it spreads a frame over its threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace velmo_client {

class BandThreads {
public:
    // `count` threads in all (at least 1): the caller's own and count - 1 started here, which wait
    // for work until the pool is destroyed.
    explicit BandThreads(int count);
    ~BandThreads();
    BandThreads(const BandThreads&) = delete;
    BandThreads& operator=(const BandThreads&) = delete;

    int count() const { return static_cast<int>(_threads.size()) + 1; }

    // Splits rows [0, rows) into count() bands of nearly equal height and calls draw(begin, end)
    // for each, the first band on the calling thread; returns once every band is drawn. `draw`
    // must not throw. One caller at a time.
    using DrawBand = std::function<void(int begin, int end)>;
    void draw(int rows, const DrawBand& draw);

    // The number of threads a program uses by default: the machine's cores, at least one.
    static int machine_threads();

private:
    void work(int band);
    void draw_band(int band);

    std::vector<std::thread> _threads;
    std::mutex _mutex;
    std::condition_variable _work_ready;
    std::condition_variable _work_done;
    const DrawBand* _draw = nullptr;
    int _rows = 0;
    uint64_t _round = 0; // counts the calls of draw(), so each thread takes each round once
    int _busy = 0;       // bands of this round still being drawn by the started threads
    bool _stopping = false;
};

} // namespace velmo_client
