// The UTF-16 path of the command line over any bytes taken as an article file: the validator's
// offset of the first bad byte agrees with Qt's decoder, and the streaming writer's UTF-8 is
// exactly the paragraph text (escaped or not), whatever UTF-16 it is given. (UTF-8 articles are
// cut by the UTF-8 engine; fuzz_utf8 checks that against the same core.) Input: the file's bytes.

#include "checks/utf8check.h"
#include "cli/paragraphwriter.h"
#include "fuzzinput.h"
#include "generate/escape.h"
#include "generate/run.h"
#include "generate/sizetext.h"
#include "memorysink.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <string>

using namespace tavrinel;
using namespace tavrinel::cli;
using namespace Qt::StringLiterals;
using fuzz::check;

namespace
{

// Long enough for paragraphs that span several of the writer's blocks.
constexpr std::size_t longArticle = 140000;

std::optional<qsizetype> invalidAt(QByteArrayView bytes)
{
    const auto offset = firstInvalidUtf8({bytes.data(), static_cast<std::size_t>(bytes.size())});
    return offset ? std::optional<qsizetype>(static_cast<qsizetype>(*offset)) : std::nullopt;
}

bool qtDecodes(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

// The reported offset is where validity ends: everything before it decodes, and the sequence
// that starts there does not, even on its own.
void checkRefusal(QByteArrayView bytes)
{
    const auto offset = invalidAt(bytes);
    check(offset.has_value(), "Qt refused what the validator accepts");
    check(*offset < bytes.size(), "offset past the end");
    check(qtDecodes(bytes.first(*offset)), "bytes before the offset are invalid");
    check(!qtDecodes(bytes.sliced(*offset, std::min<qsizetype>(4, bytes.size() - *offset))),
          "the sequence at the offset is valid");
}

// The whole text through one encoder call. (QString::toUtf8 is no oracle here: it turns a lone
// surrogate into '?', where the encoder writes U+FFFD.)
QByteArray encodeAtOnce(std::u16string_view text)
{
    QStringEncoder encoder(QStringEncoder::Utf8);
    return encoder.encode(QStringView(text.data(), qsizetype(text.size())));
}

// What the streaming writer produces is the paragraph text encoded in one go, and is valid
// UTF-8 whatever the text holds (a lone surrogate becomes U+FFFD). One writer takes the runs of
// all three modes one after another: its two large buffers are the costly part of an input.
void checkWriter(std::u16string_view text, std::int16_t size, bool escapeHtml)
{
    const std::u16string_view article = trimSpaces(text);
    testsupport::MemorySink buffer;
    ParagraphWriter writer(buffer, escapeHtml);
    std::u16string wrapped;
    const auto append = [&wrapped](std::u16string_view piece) {
        wrapped += piece;
    };
    for (const auto &[split, completeness] :
         {std::pair{SplitMode::BySentences, Completeness::Sentence},
          std::pair{SplitMode::ByCharacters, Completeness::Sentence},
          std::pair{SplitMode::ByCharacters, Completeness::Word}}) {
        const GenerationSettings settings{split, completeness, size};
        forEachParagraph(article, settings, [&](std::u16string_view p) {
            writer.add(p);
            wrapped += paragraphOpen;
            if (escapeHtml)
                appendEscaped(p, append);
            else
                wrapped += p;
            wrapped += paragraphClose;
        });
    }
    check(writer.finish(), "writing to memory failed");
    check(buffer.text == encodeAtOnce(wrapped), "streamed UTF-8 differs from the paragraph text");
    check(!invalidAt(buffer.text), "the writer produced invalid UTF-8");
}

std::u16string repeatedUpTo(std::u16string_view text, std::size_t length)
{
    std::u16string longText;
    longText.reserve(length + text.size());
    while (longText.size() < length)
        longText += text;
    return longText;
}

std::u16string rawUnits(QByteArrayView bytes)
{
    std::u16string units(static_cast<std::size_t>(bytes.size() / 2), u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return units;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    // A size from -1 to 11 taken from the input, so that it varies with it.
    const auto paragraphSize = static_cast<std::int16_t>(static_cast<int>(size % 13) - 1);

    const bool escapeHtml = size % 3 == 0;

    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    if (decoder.hasError()) {
        checkRefusal(bytes);
        // Bad UTF-8 never reaches the writer from a file; its bytes as UTF-16 units, lone
        // surrogates and all, are what another decoder may hand it.
        checkWriter(rawUnits(bytes), paragraphSize, escapeHtml);
        return 0;
    }
    check(!invalidAt(bytes), "the validator refused what Qt accepts");

    // Verbatim: encoding the text again gives the file back, less a leading byte order mark.
    const std::u16string_view text(reinterpret_cast<const char16_t *>(decoded.utf16()),
                                   static_cast<std::size_t>(decoded.size()));
    const QByteArrayView withoutBom = bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
    check(QStringView(text.data(), qsizetype(text.size())).toUtf8() == withoutBom,
          "decoding changed the text");

    checkWriter(text, paragraphSize, escapeHtml);
    if (!text.empty() && size % 32 == 31)
        checkWriter(repeatedUpTo(text, longArticle), paragraphSize, escapeHtml);
    return 0;
}
