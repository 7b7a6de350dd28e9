#include "article.h"

#include "exitcodes.h"
#include "segment/breakcopy.h"

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

Failure unreadable(const InputFile &input, const QString &reason)
{
    return {exitIoError, u"cannot read %1: %2"_s.arg(input.displayName(), reason)};
}

} // namespace

std::optional<std::size_t> ArticleSource::read(char *buffer, std::size_t capacity)
{
    const qint64 got = input_.read(buffer, static_cast<qint64>(capacity));
    return got < 0 ? std::nullopt : std::optional<std::size_t>(static_cast<std::size_t>(got));
}

std::optional<Failure> openingFailure(InputFile &input)
{
    if (input.open())
        return std::nullopt;
    return unreadable(input, input.errorString());
}

std::optional<Failure> readingFailure(const utf8::Result &result, InputFile &input)
{
    switch (result.outcome) {
    case utf8::Outcome::Ok:
        if (input.unchangedSinceOpen())
            return std::nullopt;
        return unreadable(input, input.errorString());
    case utf8::Outcome::ReadFailed:
        return unreadable(input, input.errorString());
    case utf8::Outcome::InvalidUtf8:
        return Failure{exitBadInput, u"%1: invalid UTF-8 at byte offset %2"_s.arg(
                                         input.displayName(), QString::number(result.offset))};
    case utf8::Outcome::TooLong:
        return Failure{exitBadInput,
                       u"%1: the article is too long (more than %2 characters)"_s.arg(
                           input.displayName(), QString::number(BreakCopy::maxArticleLength))};
    case utf8::Outcome::WriteFailed:
        break;
    }
    return std::nullopt;
}

} // namespace tavrinel::cli
