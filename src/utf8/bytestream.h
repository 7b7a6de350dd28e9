#pragma once

#include <cstddef>
#include <optional>

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

// Where the engine's output goes; the engine stops at the first failed write.
class ByteSink
{
public:
    virtual ~ByteSink() = default;
    virtual bool write(const char *bytes, std::size_t size) = 0;
};

} // namespace tavrinel::utf8
