#include "output.h"

#include "generate/escape.h"

#include <algorithm>
#include <cstring>

namespace tavrinel::utf8
{

Output::Output(ByteSink &sink, bool escapeHtml, std::size_t capacity)
    : sink_(sink), escapeHtml_(escapeHtml), capacity_(std::max<std::size_t>(capacity, 16)),
      buffer_(std::make_unique_for_overwrite<char[]>(capacity_))
{
}

void Output::putPastBuffer(const char *bytes, std::size_t size)
{
    flush();
    if (size >= capacity_)
        return write(bytes, size);
    std::memcpy(buffer_.get() + used_, bytes, size);
    used_ += size;
}

void Output::putEscaped(const char *bytes, std::size_t size)
{
    appendEscaped(std::string_view(bytes, size),
                  [this](std::string_view piece) { put(piece.data(), piece.size()); });
}

bool Output::flush()
{
    write(buffer_.get(), used_);
    used_ = 0;
    return !failed_;
}

void Output::write(const char *bytes, std::size_t size)
{
    if (size > 0 && !failed_)
        failed_ = !sink_.write(bytes, size);
}

} // namespace tavrinel::utf8
