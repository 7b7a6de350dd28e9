// The size conversion and the size check over any text: they agree on what a number is, the
// conversion never takes a text the check refuses, and its rounding matches an exact decimal
// computation made another way. Input: the text.

#include "checks/checks.h"
#include "fuzzinput.h"
#include "generate/settings.h"
#include "generate/sizetext.h"
#include "reference.h"

#include <optional>
#include <string>
#include <string_view>

using namespace tavrinel;
using fuzz::check;

namespace
{

// The number grammar as a state machine over character classes: spaces, an optional sign,
// digits with an optional point and fraction (or a point and digits), spaces.
bool matchesGrammar(std::u16string_view text)
{
    enum State { lead, sign, whole, barePoint, point, fraction, trail, reject };
    State state = lead;
    for (const char16_t c : text) {
        const bool digit = c >= u'0' && c <= u'9';
        const bool space = c == u' ';
        const bool signChar = c == u'+' || c == u'-';
        const bool dot = c == u'.';
        switch (state) {
        case lead:
            state = space ? lead : signChar ? sign : digit ? whole : dot ? barePoint : reject;
            break;
        case sign:
            state = digit ? whole : dot ? barePoint : reject;
            break;
        case whole:
            state = digit ? whole : dot ? point : space ? trail : reject;
            break;
        case barePoint:
            state = digit ? fraction : reject;
            break;
        case point:
        case fraction:
            state = digit ? fraction : space ? trail : reject;
            break;
        case trail:
            state = space ? trail : reject;
            break;
        case reject:
            return false;
        }
    }
    return state == whole || state == point || state == fraction || state == trail;
}

// The value of a text the grammar accepts, rounded half to even, or nothing when it lies
// outside 16 bits. The fraction f is doubled digit by digit: 2f >= 1 shows as a carry out of the
// first digit, and 2f == 1 exactly when the doubled digits are all zero.
std::optional<std::int16_t> roundExactly(std::u16string_view text)
{
    text = text.substr(text.find_first_not_of(u' '));
    text = text.substr(0, text.find_last_not_of(u' ') + 1);
    const bool negative = text.front() == u'-';
    if (text.front() == u'+' || text.front() == u'-')
        text.remove_prefix(1);
    const std::size_t pointAt = std::min(text.find(u'.'), text.size());
    std::u16string_view whole = text.substr(0, pointAt);
    const std::u16string_view fraction = text.substr(std::min(pointAt + 1, text.size()));

    whole.remove_prefix(std::min(whole.find_first_not_of(u'0'), whole.size()));
    if (whole.size() > 6)
        return std::nullopt;
    long long magnitude = 0;
    for (const char16_t c : whole)
        magnitude = magnitude * 10 + (c - u'0');

    int carry = 0;
    bool doubledIsZero = true;
    for (auto it = fraction.rbegin(); it != fraction.rend(); ++it) {
        const int doubled = 2 * (*it - u'0') + carry;
        doubledIsZero = doubledIsZero && doubled % 10 == 0;
        carry = doubled / 10;
    }
    const bool atLeastHalf = carry == 1;
    const bool exactlyHalf = atLeastHalf && doubledIsZero;
    if (atLeastHalf && (!exactlyHalf || magnitude % 2 == 1))
        ++magnitude;

    const long long value = negative ? -magnitude : magnitude;
    if (value < INT16_MIN || value > INT16_MAX)
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

// Short texts go through long double as well; longer ones could round in binary first.
constexpr std::size_t floatingPointLimit = 12;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::u16string text = input.text();

    const bool number = isSizeNumber(text);
    check(number == matchesGrammar(text), "size check disagrees with the grammar");
    check(number == sizeTextAcceptable(text), "window's size check differs");

    const std::optional<std::int16_t> converted = convertSize(text);
    check(!converted || number, "conversion took a text the check refuses");
    if (number)
        check(converted == roundExactly(text), "rounding differs from the exact decimal");

    const auto settings = deriveSettings(text, SplitMode::ByCharacters, Completeness::Sentence);
    check(settings.has_value() == converted.has_value() &&
              (!settings || settings->size == *converted),
          "settings take a different size");

    if (text.size() <= floatingPointLimit) {
        check(number == reference::isNumber(text), "differs from the regular expression");
        check(converted == reference::convertSize(text), "differs from long double rounding");
    }
    return 0;
}
