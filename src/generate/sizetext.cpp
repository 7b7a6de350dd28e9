#include "sizetext.h"

#include <algorithm>

namespace tavrinel
{

namespace
{

struct DecimalText {
    bool negative = false;
    std::u16string_view whole;    // digits before the point, may be empty
    std::u16string_view fraction; // digits after the point, may be empty
};

constexpr bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

std::u16string_view takeDigits(std::u16string_view &text)
{
    const auto end = std::find_if_not(text.begin(), text.end(), isDigit);
    const auto count = static_cast<std::size_t>(end - text.begin());
    const std::u16string_view digits = text.substr(0, count);
    text.remove_prefix(count);
    return digits;
}

std::optional<DecimalText> parseDecimal(std::u16string_view text)
{
    text = trimSpaces(text);
    DecimalText number;
    if (!text.empty() && (text.front() == u'+' || text.front() == u'-')) {
        number.negative = text.front() == u'-';
        text.remove_prefix(1);
    }
    number.whole = takeDigits(text);
    if (!text.empty() && text.front() == u'.') {
        text.remove_prefix(1);
        number.fraction = takeDigits(text);
    }
    if (!text.empty() || (number.whole.empty() && number.fraction.empty()))
        return std::nullopt;
    return number;
}

// Half to even, decided on the exact decimal digits rather than on a binary approximation.
bool roundsUp(std::u16string_view fraction, bool wholeIsOdd)
{
    if (fraction.empty() || fraction.front() < u'5')
        return false;
    if (fraction.front() > u'5')
        return true;
    const bool moreThanHalf =
        std::any_of(fraction.begin() + 1, fraction.end(), [](char16_t c) { return c != u'0'; });
    return moreThanHalf || wholeIsOdd;
}

} // namespace

std::u16string_view trimSpaces(std::u16string_view text)
{
    const auto first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos)
        return text.substr(text.size());
    return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

bool isSizeNumber(std::u16string_view text)
{
    return parseDecimal(text).has_value();
}

std::optional<std::int16_t> convertSize(std::u16string_view text)
{
    const auto number = parseDecimal(text);
    if (!number)
        return std::nullopt;
    std::u16string_view whole = number->whole;
    whole.remove_prefix(std::min(whole.find_first_not_of(u'0'), whole.size()));
    if (whole.size() > 5) // at least 100000, out of range whatever the fraction
        return std::nullopt;
    std::int32_t magnitude = 0;
    for (const char16_t digit : whole)
        magnitude = magnitude * 10 + (digit - u'0');
    if (roundsUp(number->fraction, magnitude % 2 != 0))
        ++magnitude;
    const std::int32_t value = number->negative ? -magnitude : magnitude;
    if (value < INT16_MIN || value > INT16_MAX)
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

} // namespace tavrinel
