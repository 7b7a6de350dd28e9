#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

namespace tavrinel::utf8
{

// Where the engine's bytes come from. The caller knows why a read failed and says so; the
// engine only stops.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    // Up to `capacity` bytes into `buffer`: how many were read, 0 at the end, nothing on failure.
    virtual std::optional<std::size_t> read(char *buffer, std::size_t capacity) = 0;
};

// Bytes already in memory, handed out at most `piece` at a time (as a pipe may), for tests and
// benchmarks. The bytes must outlive the source.
class MemorySource final : public ByteSource
{
public:
    explicit MemorySource(std::string_view bytes, std::size_t piece = SIZE_MAX)
        : bytes_(bytes), piece_(piece)
    {
    }

    std::optional<std::size_t> read(char *buffer, std::size_t capacity) override
    {
        const std::size_t n = std::min({capacity, piece_, bytes_.size() - at_});
        std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    std::string_view bytes_;
    std::size_t piece_;
    std::size_t at_ = 0;
};

} // namespace tavrinel::utf8
