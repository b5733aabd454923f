// A replacement of the global operator new that fails the Nth allocation the library asks for.
#pragma once

namespace velmo_test {

// While armed, allocations made on the arming thread on behalf of libvelmo (directly or through
// the standard library) are counted, and the Nth throws std::bad_alloc. Allocations of the GL
// driver and of the test itself are never counted or failed.
class FailingAllocator {
public:
    // Counting starts at 1 with the next counted allocation; the count survives pause()/resume().
    explicit FailingAllocator(long fail_at);
    ~FailingAllocator();

    FailingAllocator(const FailingAllocator&) = delete;
    FailingAllocator& operator=(const FailingAllocator&) = delete;

    void pause();
    void resume();
    // True once the Nth allocation has been refused.
    bool fired() const;
};

} // namespace velmo_test
