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

std::variant<GenerationSettings, Failure> settingsFrom(const Options &options)
{
    if (auto settings =
            deriveSettings(view(options.sizeText), options.split, options.completeness)) {
        settings->breaks = options.breaks;
        return *settings;
    }
    const QString reason = isSizeNumber(view(options.sizeText))
                               ? u"is out of range (-32768 to 32767 after rounding)"_s
                               : u"is not a number"_s;
    return Failure{exitBadInput, u"size '%1' %2"_s.arg(options.sizeText, reason)};
}

Reading readingFrom(const Options &options)
{
    Reading reading;
    reading.encoding = options.encoding;
    reading.encodingGiven = options.encodingGiven;
    reading.engine.escapeHtml = options.escapeHtml;
    return reading;
}

// One article to standard output or to the file given with -o.
std::optional<Failure> convertOne(const Options &options, const GenerationSettings &settings,
                                  const Reading &reading, FdWriter &out)
{
    const QString &input = options.inputs.first();
    if (options.output.isEmpty())
        return convertToStdout(input, out, settings, reading);
    return convertToFile(input, options.output, settings, reading);
}

// The work the options ask for; what went wrong, for runCommandLine to tell.
std::optional<Failure> run(const Options &options, FdWriter &out)
{
    const Reading reading = readingFrom(options);
    if (options.stats)
        return printStats(options.inputs, reading, options.breaks, out);
    const auto settings = settingsFrom(options);
    if (const auto *failure = std::get_if<Failure>(&settings))
        return *failure;
    const auto &chosen = std::get<GenerationSettings>(settings);
    if (options.outDir.isEmpty())
        return convertOne(options, chosen, reading, out);
    return convertBatch(options.inputs, options.outDir, chosen, reading);
}

int runCommandLine(const QStringList &arguments)
{
    FdWriter out(standardOutput);
    auto parsed = parseOptions(arguments);
    if (const auto *exit = std::get_if<Exit>(&parsed)) {
        if (const auto failure =
                exit->output.isEmpty() ? std::nullopt : printOut(out, exit->output))
            return fail(*failure);
        return fail({exit->code, exit->message});
    }
    const auto failure = run(std::get<Options>(parsed), out);
    return failure ? fail(*failure) : exitOk;
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
        return fail({exitIoError, u"not enough memory"_s});
    } catch (const std::length_error &) {
        return fail({exitBadInput, u"the article is too long"_s});
    } catch (const std::exception &error) {
        // Never a crash, whatever goes wrong: a message and a failure's exit code.
        return fail({exitIoError, u"internal error: %1"_s.arg(QString::fromUtf8(error.what()))});
    }
}
