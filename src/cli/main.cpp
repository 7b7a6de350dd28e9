// tavrinel-cli: the paragraph generation and the article counts for batch work and scripts.

#include "cli/batch.h"
#include "cli/convert.h"
#include "cli/exitcodes.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/stats.h"
#include "cli/stdstreams.h"
#include "generate/settings.h"
#include "generate/sizetext.h"
#include "output/fdwriter.h"
#include "output/writesignals.h"

#include <QCoreApplication>
#include <new>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

constexpr int standardOutput = 1;

std::u16string_view view(const QString &text)
{
    return {reinterpret_cast<const char16_t *>(text.utf16()),
            static_cast<std::size_t>(text.size())};
}

std::variant<GenerationSettings, int> settingsFrom(const Options &options)
{
    if (auto settings =
            deriveSettings(view(options.sizeText), options.split, options.completeness)) {
        settings->breaks = options.breaks;
        return *settings;
    }
    const QString reason = isSizeNumber(view(options.sizeText))
                               ? u"is out of range (-32768 to 32767 after rounding)"_s
                               : u"is not a number"_s;
    return fail(exitBadInput, u"size '%1' %2"_s.arg(options.sizeText, reason));
}

// One article to standard output or to the file given with -o.
int convertOne(const Options &options, const GenerationSettings &settings, const Reading &reading,
               FdWriter &out)
{
    const QString &input = options.inputs.first();
    const auto failure = options.output.isEmpty()
                             ? convertToStdout(input, out, settings, reading)
                             : convertToFile(input, options.output, settings, reading);
    return failure ? fail(failure->exitCode, failure->message) : exitOk;
}

int run(const Options &options, FdWriter &out)
{
    Reading reading;
    reading.encoding = options.encoding;
    reading.judgeNuls = !options.encodingGiven || options.encoding == input::Encoding::Auto;
    reading.engine.escapeHtml = options.escapeHtml;
    if (options.stats)
        return printStats(options.inputs, reading, options.breaks, out);
    const auto settings = settingsFrom(options);
    if (const int *code = std::get_if<int>(&settings))
        return *code;
    const auto &chosen = std::get<GenerationSettings>(settings);
    return options.outDir.isEmpty() ? convertOne(options, chosen, reading, out)
                                    : convertBatch(options.inputs, options.outDir, chosen, reading);
}

int runCommandLine(const QStringList &arguments)
{
    FdWriter out(standardOutput);
    auto parsed = parseOptions(arguments);
    if (const auto *exit = std::get_if<Exit>(&parsed)) {
        if (!exit->output.isEmpty() && !printOut(out, exit->output))
            return exitIoError;
        return exit->message.isEmpty() ? exit->code : fail(exit->code, exit->message);
    }
    return run(std::get<Options>(parsed), out);
}

} // namespace

} // namespace tavrinel::cli

int main(int argc, char *argv[])
{
    using namespace tavrinel::cli;
    reserveStandardDescriptors();
    useBinaryStandardStreams();
    tavrinel::reportWriteLimitsAsErrors();
    tavrinel::removeTemporaryFileOnSignals();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"tavrinel-cli"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVRINEL_VERSION_TEXT));
    try {
        return runCommandLine(commandLineArguments(argc, argv));
    } catch (const std::bad_alloc &) {
        return fail(exitIoError, u"not enough memory"_s);
    } catch (const std::length_error &) {
        return fail(exitBadInput, u"the article is too long"_s);
    }
}
