#include "utf8check.h"

#include "utf8/simd.h"

namespace tavrinel
{

std::optional<std::size_t> firstInvalidUtf8(std::string_view bytes)
{
    const std::size_t at =
        utf8::firstInvalid(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
    return at < bytes.size() ? std::optional<std::size_t>(at) : std::nullopt;
}

} // namespace tavrinel
