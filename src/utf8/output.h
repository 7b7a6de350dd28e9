#pragma once

#include "generate/bytesink.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace tavrinel::utf8
{

// The engine's output: small pieces gather in a buffer that is written when full; a piece as
// large as the buffer goes to the sink directly. After the first failed write nothing more is
// written.
class Output
{
public:
    // Buffers up to `capacity` bytes (at least enough for the tags).
    Output(ByteSink &sink, bool escapeHtml, std::size_t capacity);

    // Markup: the paragraph tags.
    void tag(std::string_view markup) { put(markup.data(), markup.size()); }
    // Article text, escaped when asked to.
    void text(const char *bytes, std::size_t size)
    {
        if (escapeHtml_)
            putEscaped(bytes, size);
        else
            put(bytes, size);
    }
    // Writes what is buffered; false when any write failed.
    bool flush();
    bool failed() const { return failed_; }

private:
    void put(const char *bytes, std::size_t size)
    {
        if (size > capacity_ - used_)
            return putPastBuffer(bytes, size);
        std::memcpy(buffer_.get() + used_, bytes, size);
        used_ += size;
    }
    void putPastBuffer(const char *bytes, std::size_t size);
    void putEscaped(const char *bytes, std::size_t size);
    void write(const char *bytes, std::size_t size);

    ByteSink &sink_;
    bool escapeHtml_;
    std::size_t capacity_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

} // namespace tavrinel::utf8
