#pragma once

#include <cstddef>

namespace tavrinel
{

// Where encoded output goes: a file, standard output, a buffer in tests.
class ByteSink
{
public:
    virtual ~ByteSink() = default;

    // Takes all the bytes or fails; after a failure every later write fails too, so a writer
    // may check only the last result.
    virtual bool write(const char *bytes, std::size_t size) = 0;
};

} // namespace tavrinel
