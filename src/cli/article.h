#pragma once

#include "inputfile.h"
#include "utf8/engine.h"

#include <QString>
#include <optional>

namespace tavrinel::cli
{

// Why a file was not converted or counted: the exit code and the message for standard error.
struct Failure {
    int exitCode = 0;
    QString message;
};

// An input file as the UTF-8 engine reads it.
class ArticleSource final : public utf8::ByteSource
{
public:
    explicit ArticleSource(InputFile &input) : input_(input) {}
    std::optional<std::size_t> read(char *buffer, std::size_t capacity) override;

private:
    InputFile &input_;
};

// What the engine's reading of the input came to, in words: nothing when it read all of it
// (and a regular file did not change meanwhile), otherwise what went wrong with the input. A
// failed write is left to the caller, who knows where the output went.
std::optional<Failure> readingFailure(const utf8::Result &result, InputFile &input);

// The failure of opening the input, when it cannot be opened.
std::optional<Failure> openingFailure(InputFile &input);

} // namespace tavrinel::cli
