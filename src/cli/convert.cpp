#include "cli/convert.h"

#include "cli/exitcodes.h"
#include "cli/paragraphwriter.h"
#include "generate/sizetext.h"
#include "output/fdwriter.h"
#include "output/filename.h"
#include "output/outputfile.h"

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

// Cutting into `sink`: the engine's run on UTF-8, the UTF-16 run on decoded text.
ArticleWork cutInto(ByteSink &sink, const GenerationSettings &settings, const Reading &reading)
{
    ArticleWork work;
    work.onBytes = [&sink, &settings, &reading](utf8::ByteSource &source) {
        return utf8::cut(source, settings, sink, reading.engine);
    };
    work.onText = [&sink, &settings, &reading](std::u16string_view text) {
        ParagraphWriter writer(sink, reading.engine.escapeHtml);
        forEachParagraph(trimSpaces(text), settings,
                         [&writer](std::u16string_view paragraph) { writer.add(paragraph); });
        return writer.finish();
    };
    return work;
}

// Appending the paragraphs to the article while it is read (`tavrinel-cli f >> f`) would read
// them back in; like cat, the tool refuses.
std::optional<Failure> refuseOutputIntoInput(const InputFile &input, int output)
{
    struct stat info;
    if (::fstat(output, &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    const FileIdentity written{static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino),
                               true};
    if (!written.sameAs(input.identity()))
        return std::nullopt;
    return Failure{exitBadInput, u"cannot write to standard output: it is the input file %1"_s.arg(
                                     input.displayName())};
}

} // namespace

std::optional<Failure> convertToStdout(const QString &path, FdWriter &out,
                                       const GenerationSettings &settings, const Reading &reading)
{
    ArticleWork work = cutInto(out, settings, reading);
    work.validateFirst = true;
    work.whenOpened = [&out](const InputFile &input) {
        return refuseOutputIntoInput(input, out.fd());
    };
    const ArticleOutcome outcome = processArticle(path, reading, work);
    if (outcome.writeFailed)
        return Failure{exitIoError, u"cannot write to standard output: "_s + out.errorString()};
    return outcome.failure;
}

std::optional<Failure> convertToFile(const QString &path, const QString &outputPath,
                                     const GenerationSettings &settings, const Reading &reading,
                                     const OutputFile::Options &options)
{
    OutputFile out(outputPath, options);
    // The output is opened only once the input has been opened and its encoding told, so that
    // an input that cannot be read is reported as such, and a pipe as output is not waited on.
    ArticleWork work = cutInto(out, settings, reading);
    work.onBytes = [&out, cut = work.onBytes](utf8::ByteSource &source) {
        return out.open() ? cut(source) : utf8::Result{utf8::Outcome::WriteFailed};
    };
    work.onText = [&out, cut = work.onText](std::u16string_view text) {
        return out.open() && cut(text);
    };
    work.whenOpened = [&out](const InputFile &input) -> std::optional<Failure> {
        out.refuseFile(input.identity());
        return std::nullopt;
    };
    const ArticleOutcome outcome = processArticle(path, reading, work);
    // Nothing is committed after a failure: the output file is dropped with its temporary file.
    if (outcome.failure)
        return outcome.failure;
    if (outcome.writeFailed || !out.commit()) {
        const bool intoInput = out.problem().kind == WriteProblem::Kind::IsInput;
        return Failure{
            intoInput ? exitBadInput : exitIoError,
            u"cannot write %1: %2"_s.arg(displayFileName(outputPath), out.errorString())};
    }
    return std::nullopt;
}

} // namespace tavrinel::cli
