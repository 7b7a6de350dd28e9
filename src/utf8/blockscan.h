#pragma once

// Questions about a classified block of text, answered from its masks with integer code. A block
// holds whole characters: it starts and ends on character boundaries.

#include "simd.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace tavrinel::utf8
{

struct Block {
    const char *bytes = nullptr;
    std::size_t size = 0;
    const Window *windows = nullptr;

    std::size_t windowCount() const { return (size + windowBytes - 1) / windowBytes; }
};

namespace detail
{

constexpr std::uint64_t fromBit(std::size_t position)
{
    return ~std::uint64_t{0} << (position % windowBytes);
}

constexpr std::size_t at(std::size_t window, std::uint64_t mask)
{
    return window * windowBytes + static_cast<std::size_t>(std::countr_zero(mask));
}

} // namespace detail

// The first byte at or after `from` whose bit is set in the mask chosen by `Member`; the block's
// size when there is none.
template<std::uint64_t Window::*Member> std::size_t nextSet(const Block &block, std::size_t from)
{
    if (from >= block.size)
        return block.size;
    std::size_t w = from / windowBytes;
    std::uint64_t mask = block.windows[w].*Member & detail::fromBit(from);
    while (mask == 0) {
        if (++w == block.windowCount())
            return block.size;
        mask = block.windows[w].*Member;
    }
    return detail::at(w, mask);
}

inline std::size_t findBreak(const Block &block, std::size_t from)
{
    return nextSet<&Window::brk>(block, from);
}

struct Skipped {
    std::size_t position = 0; // where the next character starts
    std::uint64_t units = 0;  // units of the characters passed over
};

// Passes over whole characters from `from` until they make at least `units` UTF-16 units (one
// more when a surrogate pair straddles the count) or the block ends. `units` is at least 1.
inline Skipped skipUnits(const Block &block, std::size_t from, std::uint64_t units)
{
    std::uint64_t passed = 0;
    std::size_t w = from / windowBytes;
    std::uint64_t lead = block.windows[w].lead & detail::fromBit(from);
    const std::size_t count = block.windowCount();
    for (;;) {
        // Character by character within a window: paragraphs are mostly short.
        while (lead != 0) {
            const int bit = std::countr_zero(lead);
            passed += 1 + ((block.windows[w].four >> bit) & 1);
            lead &= lead - 1;
            if (passed >= units) {
                if (lead != 0)
                    return {detail::at(w, lead), passed};
                return {nextSet<&Window::lead>(block, (w + 1) * windowBytes), passed};
            }
        }
        // Whole windows by their counts.
        for (;;) {
            if (++w == count)
                return {block.size, passed};
            if (passed + block.windows[w].units >= units)
                break;
            passed += block.windows[w].units;
        }
        lead = block.windows[w].lead;
    }
}

// Where the `count`-th break from `from` on is; when the block has fewer, the block's size, with
// `count` lowered by those it has.
inline std::size_t nthBreak(const Block &block, std::size_t from, std::uint64_t &count)
{
    std::size_t w = from / windowBytes;
    std::uint64_t brk = block.windows[w].brk & detail::fromBit(from);
    const std::size_t windows = block.windowCount();
    for (;;) {
        for (; brk != 0; brk &= brk - 1) {
            if (--count == 0)
                return detail::at(w, brk);
        }
        for (;;) {
            if (++w == windows)
                return block.size;
            if (block.windows[w].breaks >= count)
                break;
            count -= block.windows[w].breaks;
        }
        brk = block.windows[w].brk;
    }
}

// UTF-16 units of the whole characters in from..to, counted only up to `cap`: four bytes of whole
// characters always make at least two units.
inline std::uint64_t unitsUpTo(const Block &block, std::size_t from, std::size_t to,
                               std::uint64_t cap)
{
    std::uint64_t units = 0;
    for (std::size_t i = from; i < to && units < cap; ++i) {
        const auto c = static_cast<unsigned char>(block.bytes[i]);
        units += ((c & 0xC0) != 0x80 ? 1U : 0U) + (c >= 0xF0 ? 1U : 0U);
    }
    return std::min(units, cap);
}

} // namespace tavrinel::utf8
