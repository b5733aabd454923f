// The failing operator new: counts the library's allocations by the caller found on the stack.
#include "api/FailingAllocator.h"

#include <execinfo.h>
#include <link.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

namespace {

struct AddressRange {
    uintptr_t begin = 0;
    uintptr_t end = 0;
    bool contains(uintptr_t address) const { return address >= begin && address < end; }
};

AddressRange velmo_code;
AddressRange cxx_runtime;
AddressRange sanitizer_runtime;
AddressRange test_program;

std::atomic<bool> armed{false};
std::atomic<bool> refused{false};
std::thread::id arming_thread;
long remaining = 0;

int record_object(dl_phdr_info* info, size_t, void*)
{
    AddressRange* range = nullptr;
    const char* name = info->dlpi_name ? info->dlpi_name : "";
    if (name[0] == '\0')
        range = test_program.end ? nullptr : &test_program;
    else if (std::strstr(name, "libvelmo.so"))
        range = &velmo_code;
    else if (std::strstr(name, "libstdc++.so"))
        range = &cxx_runtime;
    else if (std::strstr(name, "libasan.so"))
        range = &sanitizer_runtime;
    if (!range)
        return 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD)
            continue;
        const uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
        const uintptr_t end = begin + segment.p_memsz;
        if (range->begin == 0 || begin < range->begin)
            range->begin = begin;
        if (end > range->end)
            range->end = end;
    }
    return 0;
}

// The first caller outside this program and the C++ and sanitizer runtimes decides: libvelmo counts, anything
// else (the GL driver's compiler, for one) does not.
bool requested_by_library()
{
    void* frames[24];
    const int count = backtrace(frames, 24);
    for (int i = 0; i < count; ++i) {
        const uintptr_t address = reinterpret_cast<uintptr_t>(frames[i]);
        if (velmo_code.contains(address))
            return true;
        if (!test_program.contains(address) && !cxx_runtime.contains(address) &&
            !sanitizer_runtime.contains(address))
            return false;
    }
    return false;
}

bool refuse_this_allocation()
{
    if (!armed.load(std::memory_order_relaxed) || std::this_thread::get_id() != arming_thread)
        return false;
    armed.store(false); // the stack walk below must not count itself
    bool refuse = false;
    if (requested_by_library() && --remaining == 0) {
        refuse = true;
        refused.store(true);
    }
    armed.store(!refuse && remaining > 0);
    return refuse;
}

void* allocate(std::size_t size)
{
    if (refuse_this_allocation())
        throw std::bad_alloc();
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}

void* operator new[](std::size_t size)
{
    return allocate(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace velmo_test {

FailingAllocator::FailingAllocator(long fail_at)
{
    if (velmo_code.end == 0) {
        dl_iterate_phdr(record_object, nullptr);
        void* warm_up[2];
        backtrace(warm_up, 2); // loads the unwinder now, not inside a counted allocation
    }
    arming_thread = std::this_thread::get_id();
    remaining = fail_at;
    refused.store(false);
    resume();
}

FailingAllocator::~FailingAllocator()
{
    pause();
}

void FailingAllocator::pause()
{
    armed.store(false);
}

void FailingAllocator::resume()
{
    armed.store(!refused.load() && remaining > 0);
}

bool FailingAllocator::fired() const
{
    return refused.load();
}

} // namespace velmo_test
