#include "utf8check.h"

namespace tavrinel
{

namespace
{

// Length of the well-formed sequence starting with `lead`, and the range its second byte must
// lie in; zero length for a byte that cannot start a sequence.
struct SequenceShape {
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
};

SequenceShape shapeOf(unsigned char lead)
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

bool wellFormedAt(const unsigned char *s, std::size_t available, const SequenceShape &shape)
{
    const auto length = static_cast<std::size_t>(shape.length);
    if (length == 0 || available < length)
        return false;
    if (length > 1 && (s[1] < shape.low || s[1] > shape.high))
        return false;
    for (std::size_t k = 2; k < length; ++k) {
        if ((s[k] & 0xC0) != 0x80)
            return false;
    }
    return true;
}

} // namespace

std::optional<std::size_t> firstInvalidUtf8(std::string_view bytes)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t size = bytes.size();
    for (std::size_t i = 0; i < size;) {
        const SequenceShape shape = shapeOf(s[i]);
        if (!wellFormedAt(s + i, size - i, shape))
            return i;
        i += static_cast<std::size_t>(shape.length);
    }
    return std::nullopt;
}

} // namespace tavrinel
