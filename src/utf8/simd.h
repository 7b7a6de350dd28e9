#pragma once

// The byte-level work of the engine, in one version per instruction set: validating UTF-8 and
// classifying bytes as bit masks over 64-byte windows. The cutting itself works on the masks
// with plain integer code, so only these few functions need each instruction set.

#include "segment/breakrules.h"

#include <bit>
#include <cstddef>
#include <cstdint>

namespace tavrinel::utf8
{

enum class Kernel { Best, Scalar, Sse2, Avx2 };

inline constexpr std::size_t windowBytes = 64;

// One 64-byte window: bit i stands for byte i of the window.
struct Window {
    std::uint64_t lead = 0;  // starts a character: not a continuation byte 10xxxxxx
    std::uint64_t four = 0;  // leads a four-byte sequence, whose character is two UTF-16 units
    std::uint64_t brk = 0;   // a stop of the rule and mode, on the last byte of its character
    std::uint32_t units = 0; // UTF-16 units of the characters that start in the window
    std::uint32_t breaks = 0;

    friend bool operator==(const Window &, const Window &) = default;
};

// What a classified stretch holds in total.
struct Tally {
    std::uint64_t units = 0;  // UTF-16 code units
    std::uint64_t breaks = 0; // break characters of the mode

    // Fills in the window's counts from its masks and adds them up. Inline, so that a kernel
    // built for a processor with a population count instruction uses it.
    void add(Window &window)
    {
        window.units =
            static_cast<std::uint32_t>(std::popcount(window.lead) + std::popcount(window.four));
        window.breaks = static_cast<std::uint32_t>(std::popcount(window.brk));
        units += window.units;
        breaks += window.breaks;
    }
};

// The break characters of a rule and mode.
struct BreakSet {
    Breaks rule = Breaks::Ascii;
    Completeness mode = Completeness::Sentence;
};

// What the classification of a block needs to know of the text around it under a rule with runs
// (the window's rule needs none of it). The defaults are those of a block that is the whole text.
struct Surroundings {
    bool inRun = false;       // in: the character before the block is in a run; out: its last one
    bool nextMember = false;  // the character after the block goes on a run
    bool nextBoundary = true; // an ASCII end character right before it counts
};

struct Kernels {
    // Whether the bytes are complete, strict UTF-8 (nothing cut off at the end).
    bool (*valid)(const unsigned char *bytes, std::size_t size);
    // Fills one Window per started 64 bytes (bits past `size` clear) and totals them. The bytes
    // are whole characters.
    Tally (*classify)(const unsigned char *bytes, std::size_t size, BreakSet set,
                      Surroundings &around, Window *windows);
};

// Whether this processor can run the kernel (Best and Scalar always can).
bool kernelAvailable(Kernel kernel);

// The kernel's functions; Best is the fastest the processor runs. An unavailable kernel falls
// back to the scalar one.
const Kernels &kernelsFor(Kernel kernel);

// The portable versions, which the others are checked against.
bool validScalar(const unsigned char *bytes, std::size_t size);
Tally classifyScalar(const unsigned char *bytes, std::size_t size, BreakSet set,
                     Surroundings &around, Window *windows);

// Offset of the first byte of the first ill-formed sequence (a stray continuation byte, a lead
// whose sequence is not well-formed or is cut off by the end); `size` when there is none.
std::size_t firstInvalid(const unsigned char *bytes, std::size_t size);

// The longest prefix that does not end inside a sequence: the bytes after it (at most three)
// may still be completed by what is read next.
std::size_t completePrefix(const unsigned char *bytes, std::size_t size);

} // namespace tavrinel::utf8
