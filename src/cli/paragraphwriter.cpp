#include "cli/paragraphwriter.h"

#include "generate/escape.h"

namespace tavrinel::cli
{

ParagraphWriter::ParagraphWriter(ByteSink &sink, bool escapeHtml)
    : sink_(sink), escapeHtml_(escapeHtml), encoder_(QStringEncoder::Utf8),
      block_(std::make_unique_for_overwrite<char16_t[]>(blockUnits))
{
    bytes_.resize(encoder_.requiredSpace(blockUnits));
}

void ParagraphWriter::addOverflowing(std::u16string_view paragraph)
{
    flush();
    if (paragraph.size() + tagUnits <= blockUnits)
        return add(paragraph);
    // Longer than a block: encoded straight from the article, a block's worth at a time. The
    // encoder keeps state between calls, so a surrogate pair may straddle two of them.
    encodeAndWrite(paragraphOpen);
    for (; !paragraph.empty(); paragraph.remove_prefix(std::min(blockUnits, paragraph.size())))
        encodeAndWrite(paragraph.substr(0, blockUnits));
    encodeAndWrite(paragraphClose);
}

void ParagraphWriter::addEscaped(std::u16string_view paragraph)
{
    addPiece(paragraphOpen);
    appendEscaped(paragraph, [this](std::u16string_view piece) { addPiece(piece); });
    addPiece(paragraphClose);
}

// Into the block; what does not fit goes out a block at a time (the encoder keeps a surrogate
// pair that straddles two of them).
void ParagraphWriter::addPiece(std::u16string_view units)
{
    if (units.size() > blockUnits - used_) {
        flush();
        for (; units.size() > blockUnits; units.remove_prefix(blockUnits))
            encodeAndWrite(units.substr(0, blockUnits));
    }
    used_ = static_cast<std::size_t>(put(block_.get() + used_, units) - block_.get());
}

void ParagraphWriter::flush()
{
    encodeAndWrite({block_.get(), used_});
    used_ = 0;
}

void ParagraphWriter::encodeAndWrite(std::u16string_view units)
{
    if (units.empty() || failed_)
        return;
    const QStringView text(units.data(), static_cast<qsizetype>(units.size()));
    const char *end = encoder_.appendToBuffer(bytes_.data(), text);
    failed_ = !sink_.write(bytes_.constData(), static_cast<std::size_t>(end - bytes_.constData()));
}

bool ParagraphWriter::finish()
{
    flush();
    return !failed_;
}

} // namespace tavrinel::cli
