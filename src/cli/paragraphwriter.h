#pragma once

#include "generate/bytesink.h"
#include "generate/run.h"

#include <QByteArray>
#include <QStringEncoder>
#include <cstring>
#include <memory>
#include <string_view>

namespace tavrinel::cli
{

// Streams the paragraph text of UTF-16 text to a sink as UTF-8: the path of articles that are
// decoded into UTF-16 first (UTF-8 articles go through the UTF-8 engine instead). Wrapped
// paragraphs are copied into a block of UTF-16 that stays in cache; each full block is encoded in
// one go into a reused byte buffer and written. Nothing is allocated per paragraph and the whole
// result is never held in memory. The encoder keeps state between blocks; that never loses a
// trailing high surrogate, because the stream always ends with the "</p>" of its last paragraph.
class ParagraphWriter
{
public:
    // With escapeHtml, & < > " inside paragraphs are written as entities.
    explicit ParagraphWriter(ByteSink &sink, bool escapeHtml = false);

    void add(std::u16string_view paragraph)
    {
        if (escapeHtml_)
            return addEscaped(paragraph);
        if (paragraph.size() + tagUnits > blockUnits - used_)
            return addOverflowing(paragraph);
        char16_t *out = block_.get() + used_;
        out = put(out, paragraphOpen);
        out = put(out, paragraph);
        out = put(out, paragraphClose);
        used_ = static_cast<std::size_t>(out - block_.get());
    }

    // Writes what is left; false when any write failed (the sink knows why).
    bool finish();

private:
    static char16_t *put(char16_t *out, std::u16string_view text)
    {
        std::memcpy(out, text.data(), text.size() * sizeof(char16_t));
        return out + text.size();
    }

    void addOverflowing(std::u16string_view paragraph);
    void addEscaped(std::u16string_view paragraph);
    void addPiece(std::u16string_view units);
    void flush();
    void encodeAndWrite(std::u16string_view units);

    static constexpr std::size_t blockUnits = 64 * 1024;
    static constexpr std::size_t tagUnits = paragraphOpen.size() + paragraphClose.size();

    ByteSink &sink_;
    bool escapeHtml_;
    QStringEncoder encoder_;
    std::unique_ptr<char16_t[]> block_;
    std::size_t used_ = 0;
    QByteArray bytes_;
    bool failed_ = false;
};

} // namespace tavrinel::cli
