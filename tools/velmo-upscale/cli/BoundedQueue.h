// A small blocking queue between two threads of a job, which can be closed (drained, then empty)
// or aborted (everything waiting or coming gives up at once).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>

namespace velmo_upscale {

template <typename T>
class BoundedQueue {
public:
    explicit BoundedQueue(size_t capacity) : _capacity(capacity) {}

    // Waits for room; false when the queue was closed or aborted (the item is then dropped).
    bool push(T item)
    {
        std::unique_lock<std::mutex> lock(_mutex);
        _changed.wait(lock, [&] { return _items.size() < _capacity || _closed || _aborted; });
        if (_closed || _aborted)
            return false;
        _items.push_back(std::move(item));
        _changed.notify_all();
        return true;
    }

    // Waits for an item; false once the queue is closed and drained, or aborted.
    bool pop(T& item)
    {
        std::unique_lock<std::mutex> lock(_mutex);
        _changed.wait(lock, [&] { return !_items.empty() || _closed || _aborted; });
        if (_aborted || _items.empty())
            return false;
        item = std::move(_items.front());
        _items.pop_front();
        _changed.notify_all();
        return true;
    }

    void close()
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _closed = true;
        _changed.notify_all();
    }

    void abort()
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _aborted = true;
        _changed.notify_all();
    }

private:
    const size_t _capacity;
    std::mutex _mutex;
    std::condition_variable _changed;
    std::deque<T> _items;
    bool _closed = false;
    bool _aborted = false;
};

} // namespace velmo_upscale
