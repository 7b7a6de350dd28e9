#pragma once

// A rule with runs on UTF-8 bytes, shared by the kernels. A kernel describes each 64-byte window
// in a few bit masks (RunBytes); the runs through them and so the stops follow with integer
// arithmetic, one window behind, as a stop depends on the two characters after it. The classes
// come from the rule's table: ASCII bytes by a table of 256 entries, the three-byte characters by
// their encodings.

#include "segment/breakrules.h"
#include "simd.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tavrinel::utf8
{

// One bit per byte of a window. The ends and closing marks outside ASCII have their bit on their
// last byte.
struct RunBytes {
    std::uint64_t lead = 0;
    std::uint64_t four = 0;
    std::uint64_t starts = 0;   // ends that count whatever follows: white space, all outside ASCII
    std::uint64_t ascii = 0;    // ASCII ends that count only before a boundary
    std::uint64_t closing = 0;  // closing marks
    std::uint64_t wide = 0;     // last bytes of three-byte ends and closing marks
    std::uint64_t boundary = 0; // lets an ASCII end right before it count
};

// What an ASCII byte is, for the scalar kernel and the look-ahead; bytes from 0x80 on are
// boundaries and nothing else.
namespace bytebits
{
inline constexpr unsigned starts = 1;
inline constexpr unsigned ascii = 2;
inline constexpr unsigned closing = 4;
inline constexpr unsigned boundary = 8;
} // namespace bytebits

template<Breaks Rule, Completeness Mode>
inline constexpr std::array<std::uint8_t, 256> byteClasses = [] {
    std::array<std::uint8_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned k = b < 0x80 ? classOf(static_cast<char16_t>(b), Rule, Mode) : 0;
        const bool end = (k & charclass::end) != 0;
        const bool white = (k & charclass::white) != 0;
        table[b] = static_cast<std::uint8_t>(
            (end && white ? bytebits::starts : 0) | (end && !white ? bytebits::ascii : 0) |
            ((k & charclass::closing) != 0 ? bytebits::closing : 0) |
            (b >= 0x80 || k != 0 ? bytebits::boundary : 0));
    }
    return table;
}();

// A character outside ASCII that is an end or a closing mark, as UTF-8.
struct WideChar {
    unsigned char bytes[3] = {};
    bool end = false;
};

template<Breaks Rule, Completeness Mode>
inline constexpr auto wideChars = [] {
    constexpr CharList wide = wideMembers<Rule, Mode>;
    std::array<WideChar, wide.size> chars{};
    for (std::size_t i = 0; i < wide.size; ++i) {
        const char16_t c = wide.chars[i];
        if (c < 0x800)
            throw "the kernels find only three-byte characters outside ASCII";
        chars[i].bytes[0] = static_cast<unsigned char>(0xE0 | c >> 12);
        chars[i].bytes[1] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
        chars[i].bytes[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        chars[i].end = (classOf(c, Rule, Mode) & charclass::end) != 0;
    }
    return chars;
}();

// Classes of the character starting at `c`, outside ASCII (at least its lead byte is there).
template<Breaks Rule, Completeness Mode> unsigned wideClasses(const unsigned char *c)
{
    if (c[0] >= 0xF0) // beyond the BMP: none of the rule's characters
        return 0;
    const bool three = c[0] >= 0xE0;
    const unsigned unit = three ? (c[0] & 0x0Fu) << 12 | (c[1] & 0x3Fu) << 6 | (c[2] & 0x3Fu)
                                : (c[0] & 0x1Fu) << 6 | (c[1] & 0x3Fu);
    if (unit < (three ? 0x800U : 0x80U)) // overlong forms, which only damaged bytes hold
        return 0;
    return classTable<Rule, Mode>.of(static_cast<char16_t>(unit));
}

// Sets what `around` says of the text after a block: `next` holds the `size` bytes known to
// follow it, at least two whole characters unless the text ends sooner.
template<Breaks Rule, Completeness Mode>
void describeNext(const unsigned char *next, std::size_t size, Surroundings &around)
{
    constexpr auto &classes = byteClasses<Rule, Mode>;
    if (size == 0) {
        around.nextMember = false;
        around.nextBoundary = true;
        return;
    }
    if (next[0] >= 0x80) {
        around.nextBoundary = true;
        around.nextMember =
            (wideClasses<Rule, Mode>(next) & (charclass::end | charclass::closing)) != 0;
        return;
    }
    const unsigned k = classes[next[0]];
    around.nextBoundary = (k & bytebits::boundary) != 0;
    const bool beforeBoundary = size == 1 || (classes[next[1]] & bytebits::boundary) != 0;
    around.nextMember = (k & (bytebits::starts | bytebits::closing)) != 0 ||
                        ((k & bytebits::ascii) != 0 && beforeBoundary);
}

namespace detail
{

// Bytes on an end that counts or a closing mark. `boundaryAfter` has bit i for the boundary at
// byte i + 1; `wideAfter` is the next window's `wide`, whose characters may begin in this one.
constexpr std::uint64_t members(const RunBytes &b, std::uint64_t boundaryAfter,
                                std::uint64_t wideAfter)
{
    const std::uint64_t wholeWide =
        b.wide | (b.wide >> 1 | wideAfter << 63) | (b.wide >> 2 | wideAfter << 62);
    return b.starts | b.closing | (b.ascii & boundaryAfter) | wholeWide;
}

} // namespace detail

// The window with its stops, from its bytes and the next window's; `real` of its bytes are text
// (the rest of a last window, if any, holds the character after the block at bit `real`).
// `inRun` carries whether a run goes on from one window into the next.
inline Window finishRuns(const RunBytes &b, const RunBytes &next, unsigned real, bool &inRun)
{
    const std::uint64_t boundaryAfter = b.boundary >> 1 | next.boundary << 63;
    const std::uint64_t m = detail::members(b, boundaryAfter, next.wide);
    const std::uint64_t nextMember = detail::members(next, next.boundary >> 1, 0) & 1;
    const std::uint64_t s = b.starts | (b.ascii & boundaryAfter) | (inRun ? m & 1 : 0);
    // Adding the starts carries through each stretch of members up to its end: the bits a carry
    // reaches, and the starts, are in a run.
    const std::uint64_t run = (((m + s) ^ m ^ s) | s) & m;
    const std::uint64_t text =
        real == windowBytes ? ~std::uint64_t{0} : (std::uint64_t{1} << real) - 1;
    Window window;
    window.lead = b.lead;
    window.four = b.four;
    window.brk = run & ~(m >> 1 | nextMember << 63) & text;
    inRun = ((run >> (real - 1)) & 1) != 0;
    return window;
}

// The windows of a block under a rule with runs; scan(window, previousWindows) gives a window's
// RunBytes, called for each window in order, the last one zero-padded.
template<class Scan>
__attribute__((always_inline)) inline Tally classifyRuns(const unsigned char *bytes,
                                                         std::size_t size, Surroundings &around,
                                                         Window *windows, Scan &&scan)
{
    Tally tally;
    const std::size_t count = (size + windowBytes - 1) / windowBytes;
    // Window w, up to one past the last. The character after the block goes in right after the
    // text, in the last window or the one past it, as soon as that window is scanned: whether
    // the window before it ends a run can hang on it (an ASCII end at bit 0 before it at bit 1).
    const auto scanWindow = [&](std::size_t w) {
        const std::size_t at = w * windowBytes;
        RunBytes b;
        if (at + windowBytes <= size) {
            b = scan(bytes + at);
        } else if (at < size) {
            unsigned char tail[windowBytes] = {};
            std::memcpy(tail, bytes + at, size - at);
            b = scan(tail);
            b.lead &= (std::uint64_t{1} << (size - at)) - 1;
        }
        if (at <= size && size < at + windowBytes) {
            const auto bit = static_cast<unsigned>(size - at);
            b.closing |= std::uint64_t{around.nextMember} << bit;
            b.boundary |= std::uint64_t{around.nextBoundary} << bit;
        }
        return b;
    };
    RunBytes current = count > 0 ? scanWindow(0) : RunBytes{};
    for (std::size_t w = 0; w < count; ++w) {
        const RunBytes next = scanWindow(w + 1);
        const auto real =
            w + 1 < count ? unsigned{windowBytes} : static_cast<unsigned>(size - w * windowBytes);
        windows[w] = finishRuns(current, next, real, around.inRun);
        tally.add(windows[w]);
        current = next;
    }
    return tally;
}

} // namespace tavrinel::utf8
