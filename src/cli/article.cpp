#include "cli/article.h"

#include "cli/exitcodes.h"
#include "cli/report.h"
#include "input/decode.h"
#include "segment/breakcopy.h"

#include <cstring>

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

using input::DecodeError;
using input::Encoding;

Failure unreadable(const InputFile &input, const QString &reason)
{
    return {exitIoError, u"cannot read %1: %2"_s.arg(input.displayName(), reason)};
}

Failure refused(const InputFile &input, const QString &why)
{
    return {exitBadInput, input.displayName() + u": "_s + why};
}

// What the NUL bytes of the input's start say, where they are judged.
std::optional<Failure> nulFailureInHead(const InputFile &input, const ArticleSource &source,
                                        const Reading &reading)
{
    if (!reading.judgeNuls)
        return std::nullopt;
    input::NulCounts counts;
    counts.add(source.head());
    if (const auto refusal = input::nulRefusal(counts, source.head(), source.headIsWhole()))
        return refused(input, input::describeError(*refusal));
    return std::nullopt;
}

// Invalid UTF-8, with a hint when the bytes are something else that can be read: UTF-16 without
// a mark, or GB18030 (judged on the first bytes, when the invalid one is among them). A sequence
// cut off because the file was cut short while it was read is that change, not invalid text.
Failure invalidUtf8(InputFile &input, const ArticleSource &source, const Reading &reading,
                    std::uint64_t offset)
{
    if (input.changedSinceOpen())
        return unreadable(input, input.errorString());
    if (auto failure = nulFailureInHead(input, source, reading))
        return *failure;
    DecodeError error{DecodeError::Kind::Invalid, Encoding::Utf8, static_cast<qsizetype>(offset)};
    error.readsAsGb18030 = offset < static_cast<std::uint64_t>(source.head().size()) &&
                           input::readsAsGb18030(source.head(), source.headIsWhole());
    return refused(input, input::describeError(error));
}

// What the engine's reading of the input came to, in words; nothing when it read all of it. A
// failed write is left to the caller.
std::optional<Failure> engineFailure(const utf8::Result &result, InputFile &input,
                                     const ArticleSource &source, const Reading &reading)
{
    switch (result.outcome) {
    case utf8::Outcome::Ok:
        if (!input.unchangedSinceOpen())
            return unreadable(input, input.errorString());
        if (const auto refusal = reading.judgeNuls ? source.nulRefusal() : std::nullopt)
            return refused(input, input::describeError(*refusal));
        return std::nullopt;
    case utf8::Outcome::ReadFailed:
        return unreadable(input, input.errorString());
    case utf8::Outcome::InvalidUtf8:
        return invalidUtf8(input, source, reading, result.offset);
    case utf8::Outcome::TooLong:
        return refused(input, u"the article is too long (more than %1 characters)"_s.arg(
                                  QString::number(BreakCopy::maxArticleLength)));
    case utf8::Outcome::WriteFailed:
        break;
    }
    return std::nullopt;
}

// Back to the start of a regular file for a second reading.
std::optional<Failure> startOver(InputFile &input, ArticleSource &source)
{
    source.restart();
    if (!input.rewind() || !source.readHead())
        return unreadable(input, input.errorString());
    return std::nullopt;
}

ArticleOutcome runEngine(InputFile &input, ArticleSource &source, const Reading &reading,
                         const ArticleWork &work, bool validated)
{
    // What a pipe hands over cannot be read twice: its first bytes must do.
    if (!input.isRegularFile()) {
        if (auto failure = nulFailureInHead(input, source, reading))
            return {failure};
    } else if (work.validateFirst && !validated) {
        if (auto failure =
                engineFailure(utf8::validate(source, reading.engine), input, source, reading))
            return {failure};
        if (auto failure = startOver(input, source))
            return {failure};
    }
    const utf8::Result result = work.onBytes(source);
    if (result.outcome == utf8::Outcome::WriteFailed)
        return {std::nullopt, true};
    return {engineFailure(result, input, source, reading)};
}

void announce(const InputFile &input, Encoding encoding)
{
    report(u"%1: reading as %2"_s.arg(input.displayName(), input::displayName(encoding)));
}

ArticleOutcome runDecoded(InputFile &input, ArticleSource &source, Encoding encoding,
                          const ArticleWork &work)
{
    const std::optional<QByteArray> bytes = source.readRest();
    if (!bytes || !input.unchangedSinceOpen())
        return {unreadable(input, input.errorString())};
    auto decoded = input::decodeText(*bytes, encoding);
    if (const auto *error = std::get_if<DecodeError>(&decoded))
        return {refused(input, input::describeError(*error))};
    const auto &text = std::get<input::DecodedText>(decoded);
    if (encoding == Encoding::Auto)
        announce(input, text.encoding);
    const std::u16string_view units(reinterpret_cast<const char16_t *>(text.text.utf16()),
                                    static_cast<std::size_t>(text.text.size()));
    if (!work.onText(units))
        return {std::nullopt, true};
    return {};
}

// Valid UTF-8 that does not look like UTF-16 streams through the engine; anything else is
// decoded whole. A regular file is read through once to tell; a pipe is decoded whole.
ArticleOutcome runAuto(InputFile &input, ArticleSource &source, const Reading &reading,
                       const ArticleWork &work)
{
    if (!input.isRegularFile())
        return runDecoded(input, source, Encoding::Auto, work);
    const utf8::Result result = utf8::validate(source, reading.engine);
    if (result.outcome == utf8::Outcome::ReadFailed)
        return {unreadable(input, input.errorString())};
    const bool utf8Text = result.ok() && !source.nulRefusal();
    if (auto failure = startOver(input, source))
        return {failure};
    if (!utf8Text)
        return runDecoded(input, source, Encoding::Auto, work);
    announce(input, Encoding::Utf8);
    return runEngine(input, source, reading, work, true);
}

} // namespace

std::optional<std::size_t> ArticleSource::read(char *buffer, std::size_t capacity)
{
    std::size_t got = 0;
    if (aheadUsed_ < ahead_.size()) {
        got = std::min(capacity, static_cast<std::size_t>(ahead_.size() - aheadUsed_));
        std::memcpy(buffer, ahead_.constData() + aheadUsed_, got);
        aheadUsed_ += static_cast<qsizetype>(got);
    } else if (!atEnd_) {
        const qint64 read = input_.read(buffer, static_cast<qint64>(capacity));
        if (read < 0)
            return std::nullopt;
        atEnd_ = read == 0;
        got = static_cast<std::size_t>(read);
    }
    count(buffer, got);
    return got;
}

bool ArticleSource::readHead()
{
    ahead_.resize(headLength);
    qsizetype filled = 0;
    while (filled < headLength && !atEnd_) {
        const qint64 read = input_.read(ahead_.data() + filled, headLength - filled);
        if (read < 0)
            return false;
        atEnd_ = read == 0;
        filled += read;
    }
    ahead_.resize(filled);
    headHitEnd_ = atEnd_;
    return true;
}

std::optional<input::DecodeError> ArticleSource::nulRefusal() const
{
    return input::nulRefusal(nuls_, ahead_, headHitEnd_);
}

std::optional<QByteArray> ArticleSource::readRest()
{
    QByteArray bytes = ahead_.mid(aheadUsed_);
    aheadUsed_ = ahead_.size();
    constexpr qsizetype block = qsizetype{1} << 20;
    for (;;) {
        const qsizetype used = bytes.size();
        bytes.resize(used + block);
        const std::optional<std::size_t> got = read(bytes.data() + used, block);
        bytes.resize(used + static_cast<qsizetype>(got.value_or(0)));
        if (!got)
            return std::nullopt;
        if (*got == 0)
            return bytes;
    }
}

void ArticleSource::restart()
{
    ahead_.clear();
    aheadUsed_ = 0;
    atEnd_ = false;
    headHitEnd_ = false;
    nuls_ = {};
}

void ArticleSource::count(const char *bytes, std::size_t size)
{
    nuls_.add(QByteArrayView(bytes, static_cast<qsizetype>(size)));
}

ArticleOutcome processArticle(const QString &path, const Reading &reading, const ArticleWork &work)
{
    InputFile input(path);
    ArticleSource source(input);
    if (!input.open())
        return {unreadable(input, input.errorString())};
    if (auto failure = work.whenOpened ? work.whenOpened(input) : std::nullopt)
        return {failure};
    if (!source.readHead())
        return {unreadable(input, input.errorString())};
    const auto mark = input::byteOrderMark(source.head());
    if (mark && !mark->encoding)
        return {refused(input, input::describeError({DecodeError::Kind::Utf32Mark}))};
    const Encoding encoding = mark ? *mark->encoding : reading.encoding;
    if (mark && reading.encoding == Encoding::Auto)
        report(u"%1: reading as %2 (byte order mark)"_s.arg(input.displayName(),
                                                            input::displayName(encoding)));
    if (encoding == Encoding::Utf8)
        return runEngine(input, source, reading, work, false);
    if (encoding == Encoding::Auto)
        return runAuto(input, source, reading, work);
    return runDecoded(input, source, encoding, work);
}

} // namespace tavrinel::cli
