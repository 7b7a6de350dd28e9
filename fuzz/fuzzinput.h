#pragma once

// What the fuzz targets share: reading their settings and UTF-16 text out of the fuzzer's bytes,
// and stopping with a message when something that must hold does not.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz
{

// Stops the run; libFuzzer keeps the input that got here as a crash artifact.
[[noreturn]] inline void fail(const char *what)
{
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

inline void check(bool holds, const char *what)
{
    if (!holds)
        fail(what);
}

// The fuzzer's bytes, taken from the front.
class Input
{
public:
    Input(const std::uint8_t *data, std::size_t size) : at_(data), end_(data + size) {}

    std::size_t left() const { return static_cast<std::size_t>(end_ - at_); }

    std::uint8_t byte() { return at_ < end_ ? *at_++ : 0; }

    std::int16_t int16()
    {
        const unsigned low = byte();
        const unsigned high = byte();
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | high << 8));
    }

    // The rest as UTF-16. A byte below 0x80 is that ASCII character, so breaks, spaces and digits
    // are one mutation away; a byte from 0x80 on is followed by the code unit itself in two bytes
    // (little-endian), which reaches every unit, lone surrogates included.
    std::u16string text()
    {
        std::u16string units;
        units.reserve(left());
        while (at_ < end_) {
            const std::uint8_t lead = byte();
            units += lead < 0x80 ? static_cast<char16_t>(lead) : static_cast<char16_t>(int16());
        }
        return units;
    }

private:
    const std::uint8_t *at_;
    const std::uint8_t *end_;
};

} // namespace fuzz
