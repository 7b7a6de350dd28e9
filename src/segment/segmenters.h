#pragma once

#include "breakcopy.h"

#include <cstdint>
#include <string_view>

namespace tavrinel {

// One paragraph cut off an article and the 1-based position where the next one begins. The text
// is a view into the article it was cut from, so the article must outlive the result.
struct SegmentResult {
    std::u16string_view text;
    std::int32_t next = 0;

    friend bool operator==(const SegmentResult &, const SegmentResult &) = default;
};

// A paragraph of at least `cnum` characters from `cstart` on, ending at the first break character
// at or after its cnum-th character. ctype 2 means word-complete; any other value sentence-complete.
SegmentResult getNumberOfWords(std::u16string_view csrc, std::int16_t cnum, std::int32_t cstart,
                               std::int16_t ctype);

// A paragraph of `cnum` sentences from `cstart` on; a size of zero or less takes the rest.
SegmentResult getNumberOfClauses(std::u16string_view csrc, std::int16_t cnum, std::int32_t cstart);

// The same two cuts against a break copy made once for a whole run.
SegmentResult getNumberOfWords(const BreakCopy &copy, std::int16_t cnum, std::int32_t cstart);
SegmentResult getNumberOfClauses(const BreakCopy &copy, std::int16_t cnum, std::int32_t cstart);

} // namespace tavrinel
