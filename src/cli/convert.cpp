#include "cli/convert.h"

#include "cli/exitcodes.h"
#include "cli/inputfile.h"
#include "cli/paragraphwriter.h"
#include "generate/sizetext.h"
#include "output/displayname.h"
#include "output/fdwriter.h"
#include "output/outputfile.h"

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

// Cutting into a sink: the engine's run on UTF-8, the UTF-16 run on decoded text.
class CutInto : public ArticleWork
{
public:
    CutInto(ByteSink &sink, const GenerationSettings &settings, const Reading &reading)
        : sink_(sink), settings_(settings), engine_(reading.engine)
    {
    }

    utf8::Result onBytes(utf8::ByteSource &source) override
    {
        return utf8::cut(source, settings_, sink_, engine_);
    }

    bool onText(std::u16string_view text) override
    {
        ParagraphWriter writer(sink_, engine_.escapeHtml);
        forEachParagraph(trimSpaces(text), settings_,
                         [&writer](std::u16string_view paragraph) { writer.add(paragraph); });
        return writer.finish();
    }

private:
    ByteSink &sink_;
    const GenerationSettings &settings_;
    const utf8::EngineOptions &engine_;
};

// Appending the paragraphs to the article while it is read (`tavrinel-cli f >> f`) would read
// them back in; like cat, the tool refuses.
std::optional<Failure> refuseOutputIntoInput(const InputFile &input, int output)
{
    if (!fileIdentityOf(output).sameAs(input.identity()))
        return std::nullopt;
    return Failure{exitBadInput, u"cannot write to standard output: it is the input file %1"_s.arg(
                                     input.displayName())};
}

// Standard output cannot take back what it has written.
class CutToStdout final : public CutInto
{
public:
    CutToStdout(FdWriter &out, const GenerationSettings &settings, const Reading &reading)
        : CutInto(out, settings, reading), out_(out)
    {
    }

    std::optional<Failure> start(const InputFile &input) override
    {
        return refuseOutputIntoInput(input, out_.fd());
    }
    bool validatesFirst() const override { return true; }

private:
    FdWriter &out_;
};

// The output is opened only once the input has been opened and its encoding told, so that an
// input that cannot be read is reported as such, and a pipe as output is not waited on.
class CutToFile final : public CutInto
{
public:
    CutToFile(OutputFile &out, const GenerationSettings &settings, const Reading &reading)
        : CutInto(out, settings, reading), out_(out)
    {
    }

    std::optional<Failure> start(const InputFile &input) override
    {
        out_.refuseFile(input.identity());
        return std::nullopt;
    }

    utf8::Result onBytes(utf8::ByteSource &source) override
    {
        return out_.open() ? CutInto::onBytes(source) : utf8::Result{utf8::Outcome::WriteFailed};
    }

    bool onText(std::u16string_view text) override { return out_.open() && CutInto::onText(text); }

private:
    OutputFile &out_;
};

} // namespace

std::optional<Failure> convertToStdout(const QString &path, FdWriter &out,
                                       const GenerationSettings &settings, const Reading &reading)
{
    CutToStdout work(out, settings, reading);
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
    CutToFile work(out, settings, reading);
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
