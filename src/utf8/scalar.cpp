// The portable kernel: always correct, and the one the vector kernels are checked against.

#include "runmasks.h"
#include "simd.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tavrinel::utf8
{

namespace
{

// Length of the well-formed sequence a byte leads and the range its second byte must lie in;
// zero length for a byte that cannot lead one.
struct Shape {
    unsigned length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
};

constexpr Shape shapeOf(unsigned char lead)
{
    if (lead < 0x80)
        return {1};
    if (lead >= 0xC2 && lead <= 0xDF)
        return {2};
    if (lead == 0xE0) // no overlong forms
        return {3, 0xA0};
    if (lead == 0xED) // no surrogates
        return {3, 0x80, 0x9F};
    if (lead >= 0xE1 && lead <= 0xEF)
        return {3};
    if (lead == 0xF0)
        return {4, 0x90};
    if (lead >= 0xF1 && lead <= 0xF3)
        return {4};
    if (lead == 0xF4) // nothing beyond U+10FFFF
        return {4, 0x80, 0x8F};
    return {};
}

bool wellFormedAt(const unsigned char *s, std::size_t available, const Shape &shape)
{
    if (shape.length == 0 || available < shape.length)
        return false;
    if (shape.length > 1 && (s[1] < shape.low || s[1] > shape.high))
        return false;
    for (unsigned k = 2; k < shape.length; ++k) {
        if ((s[k] & 0xC0) != 0x80)
            return false;
    }
    return true;
}

// Eight ASCII bytes at a time: articles are mostly ASCII or mostly not, in long stretches.
bool asciiWord(const unsigned char *s)
{
    std::uint64_t word;
    std::memcpy(&word, s, sizeof word);
    return (word & 0x8080808080808080U) == 0;
}

template<Completeness Mode> bool isBreakByte(unsigned char c)
{
    return c < 0x80 && (classTable<Breaks::Ascii, Mode>.of(c) & charclass::end) != 0;
}

template<Completeness Mode>
Tally classifyEach(const unsigned char *bytes, std::size_t size, Window *windows)
{
    Tally tally;
    for (std::size_t start = 0; start < size; start += windowBytes) {
        Window window;
        const std::size_t end = std::min(size, start + windowBytes);
        for (std::size_t i = start; i < end; ++i) {
            const unsigned char c = bytes[i];
            const std::uint64_t bit = std::uint64_t{1} << (i - start);
            window.lead |= (c & 0xC0) != 0x80 ? bit : 0;
            window.four |= c >= 0xF0 ? bit : 0;
            window.brk |= isBreakByte<Mode>(c) ? bit : 0;
        }
        tally.add(window);
        windows[start / windowBytes] = window;
    }
    return tally;
}

// A window's bytes one by one; a three-byte character is looked up in the rule's table when its
// last byte comes, the two before it carried over from the window before.
template<Breaks Rule, Completeness Mode> class ScalarRunScan
{
public:
    RunBytes operator()(const unsigned char *window)
    {
        constexpr auto &classes = byteClasses<Rule, Mode>;
        RunBytes b;
        for (std::size_t i = 0; i < windowBytes; ++i) {
            const unsigned char c = window[i];
            const std::uint64_t bit = std::uint64_t{1} << i;
            const unsigned k = classes[c];
            b.lead |= (c & 0xC0) != 0x80 ? bit : 0;
            b.four |= c >= 0xF0 ? bit : 0;
            b.starts |= (k & bytebits::starts) != 0 ? bit : 0;
            b.ascii |= (k & bytebits::ascii) != 0 ? bit : 0;
            b.closing |= (k & bytebits::closing) != 0 ? bit : 0;
            b.boundary |= (k & bytebits::boundary) != 0 ? bit : 0;
            if ((c & 0xC0) == 0x80 && (before1_ & 0xC0) == 0x80 && (before2_ & 0xF0) == 0xE0) {
                const unsigned char sequence[3] = {before2_, before1_, c};
                const unsigned wide = wideClasses<Rule, Mode>(sequence);
                b.starts |= (wide & charclass::end) != 0 ? bit : 0;
                b.closing |= (wide & charclass::closing) != 0 ? bit : 0;
                b.wide |= (wide & (charclass::end | charclass::closing)) != 0 ? bit : 0;
            }
            before2_ = before1_;
            before1_ = c;
        }
        return b;
    }

private:
    unsigned char before1_ = 0;
    unsigned char before2_ = 0;
};

} // namespace

std::size_t firstInvalid(const unsigned char *bytes, std::size_t size)
{
    std::size_t i = 0;
    while (i < size) {
        if (i + 8 <= size && asciiWord(bytes + i)) {
            i += 8;
            continue;
        }
        const Shape shape = shapeOf(bytes[i]);
        if (!wellFormedAt(bytes + i, size - i, shape))
            return i;
        i += shape.length;
    }
    return size;
}

bool validScalar(const unsigned char *bytes, std::size_t size)
{
    return firstInvalid(bytes, size) == size;
}

std::size_t completePrefix(const unsigned char *bytes, std::size_t size)
{
    const std::size_t stop = size > 3 ? size - 3 : 0;
    for (std::size_t i = size; i > stop; --i) {
        const unsigned char c = bytes[i - 1];
        if ((c & 0xC0) == 0x80)
            continue;
        // The last lead byte: keep its sequence back when it needs more bytes than there are.
        const unsigned length = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        return i - 1 + length > size ? i - 1 : size;
    }
    return size;
}

Tally classifyScalar(const unsigned char *bytes, std::size_t size, BreakSet set,
                     Surroundings &around, Window *windows)
{
    const bool word = set.mode == Completeness::Word;
    if (set.rule == Breaks::Ascii)
        return word ? classifyEach<Completeness::Word>(bytes, size, windows)
                    : classifyEach<Completeness::Sentence>(bytes, size, windows);
    if (word)
        return classifyRuns(bytes, size, around, windows,
                            ScalarRunScan<Breaks::Cjk, Completeness::Word>{});
    return classifyRuns(bytes, size, around, windows,
                        ScalarRunScan<Breaks::Cjk, Completeness::Sentence>{});
}

} // namespace tavrinel::utf8
