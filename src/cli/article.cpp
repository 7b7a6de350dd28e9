#include "cli/article.h"

#include "cli/articlesource.h"
#include "cli/exitcodes.h"
#include "cli/inputfile.h"
#include "cli/report.h"
#include "input/decode.h"
#include "input/gb18030.h"
#include "segment/breakcopy.h"

#include <variant>

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

using input::DecodeError;
using input::Encoding;
using Counted = ArticleSource::Counted;

// How an input's text reaches the work.
struct Route {
    enum class Way { Stream, Decode };
    Way way = Way::Stream;
    Encoding encoding = Encoding::Utf8; // Decode: what the bytes are read as
    bool validated = false;             // Stream: a first reading found the bytes valid
};

// One input on its way to the work: the route is chosen once, and every failure of reading the
// input or of its content is put into words here.
class ArticleReader
{
public:
    ArticleReader(const QString &path, const Reading &reading)
        : input_(path), source_(input_), reading_(reading)
    {
    }

    ArticleOutcome run(ArticleWork &work);

private:
    std::optional<Failure> open(ArticleWork &work);
    std::variant<Route, Failure> chooseRoute();
    std::variant<Route, Failure> chooseAuto();
    ArticleOutcome stream(ArticleWork &work, bool validated);
    ArticleOutcome decode(ArticleWork &work, Encoding encoding);

    std::optional<Failure> nulFailure(Counted counted) const;
    std::optional<Failure> engineFailure(const utf8::Result &result);
    Failure invalidUtf8(std::uint64_t offset);
    std::optional<Failure> startOver();

    Failure unreadable() const;
    Failure refused(const QString &why) const;
    Failure refused(const DecodeError &error) const { return refused(input::describeError(error)); }
    void announce(Encoding encoding, QStringView how = {}) const;

    InputFile input_;
    ArticleSource source_;
    const Reading &reading_;
};

ArticleOutcome ArticleReader::run(ArticleWork &work)
{
    if (auto failure = open(work))
        return {failure};
    const auto route = chooseRoute();
    if (const auto *failure = std::get_if<Failure>(&route))
        return {*failure};
    const Route &chosen = std::get<Route>(route);
    if (chosen.way == Route::Way::Stream)
        return stream(work, chosen.validated);
    return decode(work, chosen.encoding);
}

std::optional<Failure> ArticleReader::open(ArticleWork &work)
{
    if (!input_.open())
        return unreadable();
    if (auto failure = work.start(input_))
        return failure;
    if (!source_.readHead())
        return unreadable();
    return std::nullopt;
}

// A byte order mark decides, else the encoding asked for.
std::variant<Route, Failure> ArticleReader::chooseRoute()
{
    const auto mark = input::byteOrderMark(source_.head());
    if (mark && !mark->encoding)
        return refused(DecodeError{DecodeError::Kind::Utf32Mark});
    const Encoding encoding = mark ? *mark->encoding : reading_.encoding;
    if (mark && reading_.encoding == Encoding::Auto)
        announce(encoding, u" (byte order mark)");
    if (encoding == Encoding::Utf8)
        return Route{};
    if (encoding == Encoding::Auto)
        return chooseAuto();
    return Route{Route::Way::Decode, encoding};
}

// Valid UTF-8 that does not look like UTF-16 streams through the engine; anything else is
// decoded whole. A regular file is read through once to tell; a pipe is decoded whole.
std::variant<Route, Failure> ArticleReader::chooseAuto()
{
    const Route decoded{Route::Way::Decode, Encoding::Auto};
    if (!input_.isRegularFile())
        return decoded;
    const utf8::Result result = utf8::validate(source_, reading_.engine);
    if (result.outcome == utf8::Outcome::ReadFailed)
        return unreadable();
    const bool utf8Text = result.ok() && !nulFailure(Counted::HandedOut);
    if (auto failure = startOver())
        return *failure;
    if (!utf8Text)
        return decoded;
    announce(Encoding::Utf8);
    return Route{Route::Way::Stream, Encoding::Utf8, true};
}

ArticleOutcome ArticleReader::stream(ArticleWork &work, bool validated)
{
    // What a pipe hands over cannot be read twice: its first bytes must do.
    if (!input_.isRegularFile()) {
        if (auto failure = nulFailure(Counted::Head))
            return {failure};
    } else if (work.validatesFirst() && !validated) {
        if (auto failure = engineFailure(utf8::validate(source_, reading_.engine)))
            return {failure};
        if (auto failure = startOver())
            return {failure};
    }
    const utf8::Result result = work.onBytes(source_);
    if (result.outcome == utf8::Outcome::WriteFailed)
        return {std::nullopt, true};
    return {engineFailure(result)};
}

ArticleOutcome ArticleReader::decode(ArticleWork &work, Encoding encoding)
{
    const std::optional<QByteArray> bytes = source_.readRest();
    if (!bytes || !input_.unchangedSinceOpen())
        return {unreadable()};
    auto decoded = input::decodeText(*bytes, encoding);
    if (const auto *error = std::get_if<DecodeError>(&decoded))
        return {refused(*error)};
    const auto &text = std::get<input::DecodedText>(decoded);
    if (encoding == Encoding::Auto)
        announce(text.encoding);
    const std::u16string_view units(reinterpret_cast<const char16_t *>(text.text.utf16()),
                                    static_cast<std::size_t>(text.text.size()));
    if (!work.onText(units))
        return {std::nullopt, true};
    return {};
}

// UTF-16 without a mark is valid UTF-8 more often than not, and so can binary data be: their NUL
// bytes give them away. The one place they are judged, on the input's first bytes (what a pipe
// offers before it streams, or what explains an invalid byte) or on all that was read.
std::optional<Failure> ArticleReader::nulFailure(Counted counted) const
{
    if (!reading_.judgesNuls())
        return std::nullopt;
    if (const auto refusal = source_.nulRefusal(counted))
        return refused(*refusal);
    return std::nullopt;
}

// What the engine's reading of the input came to, in words; nothing when it read all of it. A
// failed write is left to the caller.
std::optional<Failure> ArticleReader::engineFailure(const utf8::Result &result)
{
    switch (result.outcome) {
    case utf8::Outcome::Ok:
        if (!input_.unchangedSinceOpen())
            return unreadable();
        return nulFailure(Counted::HandedOut);
    case utf8::Outcome::ReadFailed:
        return unreadable();
    case utf8::Outcome::InvalidUtf8:
        return invalidUtf8(result.offset);
    case utf8::Outcome::TooLong:
        return refused(u"the article is too long (more than %1 characters)"_s.arg(
            QString::number(BreakCopy::maxArticleLength)));
    case utf8::Outcome::WriteFailed:
        break;
    }
    return std::nullopt;
}

// Invalid UTF-8, with a hint when the bytes are something else that can be read: UTF-16 without
// a mark, or GB18030 (judged on the first bytes, when the invalid one is among them). A sequence
// cut off because the file was cut short while it was read is that change, not invalid text.
Failure ArticleReader::invalidUtf8(std::uint64_t offset)
{
    if (input_.changedSinceOpen())
        return unreadable();
    if (auto failure = nulFailure(Counted::Head))
        return *failure;
    DecodeError error{DecodeError::Kind::Invalid, Encoding::Utf8, static_cast<qsizetype>(offset)};
    error.readsAsGb18030 = offset < static_cast<std::uint64_t>(source_.head().size()) &&
                           input::readsAsGb18030(source_.head(), source_.headIsWhole());
    return refused(error);
}

// Back to the start of a regular file for a second reading.
std::optional<Failure> ArticleReader::startOver()
{
    source_.restart();
    if (!input_.rewind() || !source_.readHead())
        return unreadable();
    return std::nullopt;
}

Failure ArticleReader::unreadable() const
{
    return {exitIoError, u"cannot read %1: %2"_s.arg(input_.displayName(), input_.errorString())};
}

Failure ArticleReader::refused(const QString &why) const
{
    return {exitBadInput, input_.displayName() + u": "_s + why};
}

void ArticleReader::announce(Encoding encoding, QStringView how) const
{
    report(u"%1: reading as %2"_s.arg(input_.displayName(), input::displayName(encoding)) + how);
}

} // namespace

ArticleOutcome processArticle(const QString &path, const Reading &reading, ArticleWork &work)
{
    return ArticleReader(path, reading).run(work);
}

} // namespace tavrinel::cli
