// tavrinel-cli: the paragraph generation and the article counts for batch work and scripts.

#include "article.h"
#include "checks/checks.h"
#include "exitcodes.h"
#include "generate/run.h"
#include "generate/sizetext.h"
#include "options.h"
#include "outputfile.h"
#include "paragraphwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <new>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

int fail(int code, const QString &message)
{
    const QByteArray text =
        (QCoreApplication::applicationName() + u": "_s + message + u'\n').toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
    return code;
}

std::u16string_view view(const QString &text)
{
    return {reinterpret_cast<const char16_t *>(text.utf16()),
            static_cast<std::size_t>(text.size())};
}

// The decoded article, or the exit code after its message.
std::variant<Utf16Text, int> readArticle(const QString &path)
{
    auto article = loadArticle(path);
    if (const auto *error = std::get_if<InputError>(&article))
        return fail(error->exitCode, error->message);
    return std::move(std::get<Utf16Text>(article));
}

int printStats(std::u16string_view article)
{
    const QByteArray text = u"characters: %1\nsentences: %2\n"_s.arg(characterCount(article))
                                .arg(sentenceCount(article))
                                .toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    return std::fflush(stdout) == 0 ? exitOk
                                    : fail(exitIoError, u"cannot write to standard output"_s);
}

std::variant<GenerationSettings, int> settingsFrom(const Options &options)
{
    if (const auto settings =
            deriveSettings(view(options.sizeText), options.byCharacters, options.wordComplete))
        return *settings;
    const QString reason = isSizeNumber(view(options.sizeText))
                               ? u"is out of range (-32768 to 32767 after rounding)"_s
                               : u"is not a number"_s;
    return fail(exitBadInput, u"size '%1' %2"_s.arg(options.sizeText, reason));
}

bool writeParagraphs(QIODevice &device, std::u16string_view article,
                     const GenerationSettings &settings)
{
    ParagraphWriter writer(device);
    forEachParagraph(trimSpaces(article), settings,
                     [&writer](std::u16string_view paragraph) { writer.add(paragraph); });
    return writer.finish();
}

int generateToStdout(std::u16string_view article, const GenerationSettings &settings)
{
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !writeParagraphs(out, article, settings))
        return fail(exitIoError, u"cannot write to standard output: "_s + out.errorString());
    return exitOk;
}

// All or nothing: a failed write leaves no partial file and an existing file untouched.
int generateToFile(const QString &path, std::u16string_view article,
                   const GenerationSettings &settings)
{
    OutputFile out(path);
    if (!out.open() || !writeParagraphs(out.device(), article, settings) || !out.commit())
        return fail(exitIoError, u"cannot write %1: %2"_s.arg(QDir::toNativeSeparators(path),
                                                              out.errorString()));
    return exitOk;
}

int run(const Options &options)
{
    std::variant<GenerationSettings, int> settings = GenerationSettings{};
    if (!options.stats) {
        settings = settingsFrom(options);
        if (const int *code = std::get_if<int>(&settings))
            return *code;
    }
    const auto article = readArticle(options.input);
    if (const int *code = std::get_if<int>(&article))
        return *code;
    const std::u16string_view text = std::get<Utf16Text>(article).view();
    if (options.stats)
        return printStats(text);
    const auto &chosen = std::get<GenerationSettings>(settings);
    return options.output.isEmpty() ? generateToStdout(text, chosen)
                                    : generateToFile(options.output, text, chosen);
}

} // namespace

} // namespace tavrinel::cli

int main(int argc, char *argv[])
{
    using namespace tavrinel::cli;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"tavrinel-cli"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVRINEL_VERSION_TEXT));
    try {
        auto parsed = parseOptions(QCoreApplication::arguments());
        if (const auto *exit = std::get_if<Exit>(&parsed))
            return exit->message.isEmpty() ? exit->code : fail(exit->code, exit->message);
        return run(std::get<Options>(parsed));
    } catch (const std::bad_alloc &) {
        return fail(exitIoError, u"not enough memory"_s);
    } catch (const std::length_error &) {
        return fail(exitBadInput, u"the article is too long"_s);
    }
}
