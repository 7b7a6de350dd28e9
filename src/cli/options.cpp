#include "cli/options.h"

#include "cli/exitcodes.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

Exit usageError(const QString &message)
{
    return {exitBadInput,
            message + u"\nTry '"_s + QCoreApplication::applicationName() + u" --help'."_s,
            {}};
}

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption size{
        u"size"_s, u"Paragraph size N: characters or sentences per paragraph (default 10)."_s,
        u"TEXT"_s, u"10"_s};
    QCommandLineOption by{u"by"_s, u"Cut by 'chars' (default) or by 'sentences'."_s, u"MODE"_s,
                          u"chars"_s};
    QCommandLineOption complete{
        u"complete"_s,
        u"In chars mode, end paragraphs at a whole 'sentence' (default) or 'word'."_s, u"UNIT"_s,
        u"sentence"_s};
    QCommandLineOption breaks{
        u"breaks"_s,
        u"Which characters end sentences and words: 'ascii' (default, as the window: . ? ! ; "
        "and for words also space , :) or 'cjk' for Chinese text (also 。！？；．｡… and for words "
        "，：、 and the ideographic space; an ASCII one only before white space, Chinese, "
        "punctuation or the end, so 3.14 and example.com stay whole; closing quotes and "
        "brackets stay with their sentence)."_s,
        u"RULE"_s, u"ascii"_s};
    QCommandLineOption output{QStringList{u"o"_s, u"output"_s},
                              u"Write to FILE (atomically) instead of standard output."_s,
                              u"FILE"_s};
    QCommandLineOption outDir{
        u"out-dir"_s,
        u"Convert every FILE into DIR/NAME.txt, NAME being the FILE's name without its last "
        "extension. DIR must exist; inputs are never overwritten."_s,
        u"DIR"_s};
    QCommandLineOption encoding{
        u"encoding"_s,
        u"Read the input as 'utf-8' (default), 'utf-16le', 'utf-16be', 'gb18030' or 'auto' (a "
        "byte order mark, else UTF-8 when valid, else GB18030). A byte order mark always "
        "decides. The output is UTF-8."_s,
        u"NAME"_s, u"utf-8"_s};
    QCommandLineOption escapeHtml{
        u"escape-html"_s,
        u"Write & < > \" inside paragraphs as &amp; &lt; &gt; &quot; (for plain-text articles); "
        "the tags and the cutting stay the same."_s};
    QCommandLineOption stats{
        u"stats"_s, u"Print the character and sentence counts instead, for every FILE given."_s};

    Parser()
    {
        parser.setApplicationDescription(QStringLiteral(
            "Cuts an article into paragraphs and wraps each in <p> and </p>.\n"
            "Reads UTF-8 (or the encoding given with --encoding) from FILE, or from standard\n"
            "input when FILE is omitted or -, and writes the paragraph text as UTF-8 to\n"
            "standard output or to the file given with -o.\n"
            "With --out-dir, converts several files in one go."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions(
            {size, by, complete, breaks, encoding, escapeHtml, output, outDir, stats});
        parser.addPositionalArgument(
            u"FILE"_s,
            u"The article (default: standard input); several with --out-dir or --stats."_s,
            u"[FILE...]"_s);
    }
};

// Sets `value` from an option that takes one of two words; a usage error for any other word.
template<class Value>
std::optional<Exit> chooseBetween(const Parser &p, const QCommandLineOption &option,
                                  std::pair<QLatin1StringView, Value> first,
                                  std::pair<QLatin1StringView, Value> second, Value &value)
{
    const QString word = p.parser.value(option);
    if (word == first.first)
        value = first.second;
    else if (word == second.first)
        value = second.second;
    else
        return usageError(u"--%1 takes '%2' or '%3', not '%4'."_s.arg(
            option.names().constFirst(), first.first, second.first, word));
    return std::nullopt;
}

// The cutting modes, the break rule and the encoding; a usage error for a word that names none of
// them.
std::optional<Exit> readModes(const Parser &p, Options &options)
{
    if (auto exit = chooseBetween(p, p.by, std::pair{"chars"_L1, SplitMode::ByCharacters},
                                  std::pair{"sentences"_L1, SplitMode::BySentences}, options.split))
        return exit;
    if (auto exit = chooseBetween(p, p.complete, std::pair{"sentence"_L1, Completeness::Sentence},
                                  std::pair{"word"_L1, Completeness::Word}, options.completeness))
        return exit;
    if (auto exit = chooseBetween(p, p.breaks, std::pair{"ascii"_L1, Breaks::Ascii},
                                  std::pair{"cjk"_L1, Breaks::Cjk}, options.breaks))
        return exit;
    const auto encoding = input::encodingFromName(p.parser.value(p.encoding));
    if (!encoding)
        return usageError(
            u"--encoding takes 'utf-8', 'utf-16le', 'utf-16be', 'gb18030' or 'auto', not '"_s +
            p.parser.value(p.encoding) + u"'."_s);
    options.encoding = *encoding;
    options.encodingGiven = p.parser.isSet(p.encoding);
    return std::nullopt;
}

// The input files and where the results go, as far as they fit together.
std::optional<Exit> readFiles(const Parser &p, Options &options)
{
    options.output = p.parser.value(p.output);
    options.outDir = p.parser.value(p.outDir);
    const QStringList files = p.parser.positionalArguments();
    // An empty name, as an unset variable gives, must not mean standard output.
    if (p.parser.isSet(p.output) && options.output.isEmpty())
        return usageError(u"-o needs a file name."_s);
    if (p.parser.isSet(p.outDir)) {
        if (options.stats || !options.output.isEmpty())
            return usageError(u"--out-dir does not go with --stats or -o."_s);
        if (options.outDir.isEmpty())
            return usageError(u"--out-dir needs a folder."_s);
        if (files.isEmpty() || files.contains(u"-"_s))
            return usageError(u"--out-dir needs input FILEs (not standard input)."_s);
    } else if (files.size() > 1 && !options.stats) {
        return usageError(u"Give at most one input FILE, or several with --out-dir."_s);
    }
    if (!files.isEmpty())
        options.inputs = files;
    for (QString &input : options.inputs) {
        if (input == u"-"_s)
            input.clear();
    }
    return std::nullopt;
}

} // namespace

std::variant<Options, Exit> parseOptions(const QStringList &arguments)
{
    Parser p;
    if (!p.parser.parse(arguments))
        return usageError(p.parser.errorText());
    // Printed here rather than by the parser, which would exit without checking the write.
    if (p.parser.isSet(u"help"_s) || p.parser.isSet(u"help-all"_s))
        return Exit{exitOk, {}, p.parser.helpText()};
    if (p.parser.isSet(u"version"_s))
        return Exit{exitOk,
                    {},
                    QCoreApplication::applicationName() + u' ' +
                        QCoreApplication::applicationVersion() + u'\n'};

    Options options;
    options.sizeText = p.parser.value(p.size);
    options.stats = p.parser.isSet(p.stats);
    options.escapeHtml = p.parser.isSet(p.escapeHtml);
    if (auto exit = readModes(p, options))
        return *exit;
    if (auto exit = readFiles(p, options))
        return *exit;
    return options;
}

} // namespace tavrinel::cli
