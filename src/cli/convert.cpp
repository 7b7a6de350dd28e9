#include "convert.h"

#include "generate/run.h"
#include "generate/sizetext.h"
#include "output/filename.h"
#include "output/outputfile.h"
#include "paragraphwriter.h"

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

bool writeParagraphs(ByteSink &sink, std::u16string_view article,
                     const GenerationSettings &settings)
{
    ParagraphWriter writer(sink);
    forEachParagraph(trimSpaces(article), settings,
                     [&writer](std::u16string_view paragraph) { writer.add(paragraph); });
    return writer.finish();
}

} // namespace

std::optional<QString> convertToStdout(FdWriter &out, std::u16string_view article,
                                       const GenerationSettings &settings)
{
    if (!writeParagraphs(out, article, settings))
        return u"cannot write to standard output: "_s + out.errorString();
    return std::nullopt;
}

std::optional<QString> convertToFile(const QString &path, std::u16string_view article,
                                     const GenerationSettings &settings)
{
    OutputFile out(path);
    if (!out.open() || !writeParagraphs(out, article, settings) || !out.commit())
        return u"cannot write %1: %2"_s.arg(displayFileName(path), out.errorString());
    return std::nullopt;
}

} // namespace tavrinel::cli
