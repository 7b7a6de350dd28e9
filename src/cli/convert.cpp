#include "convert.h"

#include "exitcodes.h"
#include "output/fdwriter.h"
#include "output/filename.h"
#include "output/outputfile.h"

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

// Reads a regular file once through to see that all of it is UTF-8, and goes back to its start.
std::optional<Failure> validateFirst(InputFile &input, const utf8::EngineOptions &options)
{
    ArticleSource source(input);
    if (auto failure = readingFailure(utf8::validate(source, options), input))
        return failure;
    if (!input.rewind())
        return Failure{exitIoError,
                       u"cannot read %1: %2"_s.arg(input.displayName(), input.errorString())};
    return std::nullopt;
}

} // namespace

std::optional<Failure> convertToStdout(const QString &path, FdWriter &out,
                                       const GenerationSettings &settings,
                                       const utf8::EngineOptions &options)
{
    InputFile input(path);
    if (auto failure = openingFailure(input))
        return failure;
    if (input.isRegularFile()) {
        if (auto failure = validateFirst(input, options))
            return failure;
    }
    ArticleSource source(input);
    const utf8::Result result = utf8::cut(source, settings, out, options);
    if (result.outcome == utf8::Outcome::WriteFailed)
        return Failure{exitIoError, u"cannot write to standard output: "_s + out.errorString()};
    return readingFailure(result, input);
}

std::optional<Failure> convertToFile(const QString &path, const QString &outputPath,
                                     const GenerationSettings &settings,
                                     const utf8::EngineOptions &options)
{
    InputFile input(path);
    if (auto failure = openingFailure(input))
        return failure;
    OutputFile out(outputPath);
    const auto unwritable = [&] {
        return Failure{exitIoError, u"cannot write %1: %2"_s.arg(displayFileName(outputPath),
                                                                 out.errorString())};
    };
    if (!out.open())
        return unwritable();
    ArticleSource source(input);
    const utf8::Result result = utf8::cut(source, settings, out, options);
    if (result.outcome == utf8::Outcome::WriteFailed)
        return unwritable();
    // Nothing is committed after a failure: the output file is dropped with its temporary file.
    if (auto failure = readingFailure(result, input))
        return failure;
    if (!out.commit())
        return unwritable();
    return std::nullopt;
}

} // namespace tavrinel::cli
