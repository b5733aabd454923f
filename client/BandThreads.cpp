// The band pool: threads that sleep between frames and wake once per frame.
#include "client/BandThreads.h"

#include <algorithm>

namespace velmo_client {

BandThreads::BandThreads(int count)
{
    for (int band = 1; band < std::max(count, 1); ++band)
        _threads.emplace_back([this, band] { work(band); });
}

BandThreads::~BandThreads()
{
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _stopping = true;
    }
    _work_ready.notify_all();
    for (std::thread& thread : _threads)
        thread.join();
}

int BandThreads::machine_threads()
{
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

void BandThreads::draw_band(int band)
{
    // Band edges at rows x band / count, so no two bands differ by more than one row.
    int64_t bands = count();
    int begin = static_cast<int>(_rows * static_cast<int64_t>(band) / bands);
    int end = static_cast<int>(_rows * static_cast<int64_t>(band + 1) / bands);
    if (begin < end)
        (*_draw)(begin, end);
}

void BandThreads::draw(int rows, const DrawBand& draw)
{
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _draw = &draw;
        _rows = rows;
        _busy = static_cast<int>(_threads.size());
        ++_round;
    }
    _work_ready.notify_all();
    draw_band(0);
    std::unique_lock<std::mutex> lock(_mutex);
    _work_done.wait(lock, [this] { return _busy == 0; });
    _draw = nullptr;
}

void BandThreads::work(int band)
{
    uint64_t done_round = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(_mutex);
            _work_ready.wait(lock, [&] { return _stopping || _round != done_round; });
            if (_stopping)
                return;
            done_round = _round;
        }
        draw_band(band);
        {
            std::lock_guard<std::mutex> lock(_mutex);
            --_busy;
        }
        _work_done.notify_one();
    }
}

} // namespace velmo_client
