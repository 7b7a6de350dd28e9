#include "output.h"

#include "generate/escape.h"

#include <cstring>

namespace tavrinel::utf8
{

Output::Output(ByteSink &sink, bool escapeHtml)
    : sink_(sink), escapeHtml_(escapeHtml),
      buffer_(std::make_unique_for_overwrite<char[]>(capacity))
{
}

void Output::put(const char *bytes, std::size_t size)
{
    if (size > capacity - used_) {
        flush();
        if (size >= capacity)
            return write(bytes, size);
    }
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
