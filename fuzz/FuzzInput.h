// Reads typed values from a fuzzer's input front to back; once it is used up every value is zero,
// so any input, even an empty one, decodes to a complete run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace velmo_fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : _data(data), _size(size) {}

    bool empty() const { return _position >= _size; }

    std::uint8_t byte() { return empty() ? 0 : _data[_position++]; }

    std::uint32_t u32()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(byte()) << (8 * i);
        return value;
    }

    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

    float f32()
    {
        const std::uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // low..high inclusive, from one byte (high - low must stay below 256).
    int small(int low, int high) { return low + byte() % (high - low + 1); }

    // An index into a table of `count` entries.
    std::size_t pick(std::size_t count) { return byte() % count; }

    // One in `n` (n <= 256), decided by one byte.
    bool one_in(int n) { return byte() % n == 0; }

    // Up to `max` bytes as a string; a byte of 0 ends it early (and is consumed).
    std::string text(std::size_t max)
    {
        std::string value;
        while (value.size() < max && !empty()) {
            const char c = static_cast<char>(byte());
            if (c == '\0')
                break;
            value.push_back(c);
        }
        return value;
    }

private:
    const std::uint8_t* _data;
    std::size_t _size;
    std::size_t _position = 0;
};

} // namespace velmo_fuzz
