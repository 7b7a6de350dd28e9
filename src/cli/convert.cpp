#include "convert.h"

#include "generate/run.h"
#include "generate/sizetext.h"
#include "output/outputfile.h"
#include "paragraphwriter.h"

#include <QDir>
#include <QFile>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

bool writeParagraphs(QIODevice &device, std::u16string_view article,
                     const GenerationSettings &settings)
{
    ParagraphWriter writer(device);
    forEachParagraph(trimSpaces(article), settings,
                     [&writer](std::u16string_view paragraph) { writer.add(paragraph); });
    return writer.finish();
}

} // namespace

std::optional<QString> convertToStdout(std::u16string_view article,
                                       const GenerationSettings &settings)
{
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !writeParagraphs(out, article, settings))
        return u"cannot write to standard output: "_s + out.errorString();
    return std::nullopt;
}

std::optional<QString> convertToFile(const QString &path, std::u16string_view article,
                                     const GenerationSettings &settings)
{
    OutputFile out(path);
    if (!out.open() || !writeParagraphs(out.device(), article, settings) || !out.commit())
        return u"cannot write %1: %2"_s.arg(QDir::toNativeSeparators(path), out.errorString());
    return std::nullopt;
}

} // namespace tavrinel::cli
