#include "options.h"

#include "exitcodes.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <optional>

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

// The value of an option that takes one of two words.
std::optional<bool> chooseBetween(const QString &value, QLatin1StringView first,
                                  QLatin1StringView second)
{
    if (value == first)
        return true;
    if (value == second)
        return false;
    return std::nullopt;
}

Exit usageError(const QString &message)
{
    return {exitBadInput,
            message + u"\nTry '"_s + QCoreApplication::applicationName() + u" --help'."_s};
}

} // namespace

std::variant<Options, Exit> parseOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Cuts an article into paragraphs and wraps each in <p> and </p>.\n"
        "Reads UTF-8 from FILE (or standard input when FILE is omitted or -) and writes\n"
        "the paragraph text as UTF-8 to standard output or to the file given with -o."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption size(
        u"size"_s, u"Paragraph size N: characters or sentences per paragraph (default 10)."_s,
        u"TEXT"_s, u"10"_s);
    const QCommandLineOption by(u"by"_s, u"Cut by 'chars' (default) or by 'sentences'."_s,
                                u"MODE"_s, u"chars"_s);
    const QCommandLineOption complete(
        u"complete"_s,
        u"In chars mode, end paragraphs at a whole 'sentence' (default) or 'word'."_s, u"UNIT"_s,
        u"sentence"_s);
    const QCommandLineOption output(QStringList{u"o"_s, u"output"_s},
                                    u"Write to FILE (atomically) instead of standard output."_s,
                                    u"FILE"_s);
    const QCommandLineOption stats(u"stats"_s,
                                   u"Print the character and sentence counts instead."_s);
    parser.addOptions({size, by, complete, output, stats});
    parser.addPositionalArgument(u"FILE"_s, u"The article, UTF-8 (default: standard input)."_s,
                                 u"[FILE]"_s);

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(exitOk);
    if (parser.isSet(version))
        parser.showVersion();

    Options options;
    options.sizeText = parser.value(size);
    options.stats = parser.isSet(stats);
    options.output = parser.value(output);
    const auto byCharacters = chooseBetween(parser.value(by), "chars"_L1, "sentences"_L1);
    if (!byCharacters)
        return usageError(u"--by takes 'chars' or 'sentences', not '"_s + parser.value(by) +
                          u"'."_s);
    options.byCharacters = *byCharacters;
    const auto sentenceComplete = chooseBetween(parser.value(complete), "sentence"_L1, "word"_L1);
    if (!sentenceComplete)
        return usageError(u"--complete takes 'sentence' or 'word', not '"_s +
                          parser.value(complete) + u"'."_s);
    options.wordComplete = !*sentenceComplete;

    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return usageError(u"Give at most one input FILE."_s);
    if (!files.isEmpty() && files.first() != u"-"_s)
        options.input = files.first();
    return options;
}

} // namespace tavrinel::cli
