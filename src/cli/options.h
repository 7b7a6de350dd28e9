#pragma once

#include "generate/settings.h"
#include "input/encoding.h"
#include "segment/breakrules.h"

#include <QString>
#include <QStringList>
#include <variant>

namespace tavrinel::cli
{

// What one invocation of the command line asks for.
struct Options {
    QString sizeText = QStringLiteral("10");
    SplitMode split = SplitMode::ByCharacters;
    Completeness completeness = Completeness::Sentence;
    Breaks breaks = Breaks::Ascii;                    // also what --stats counts sentences by
    bool escapeHtml = false;                          // & < > " inside paragraphs as entities
    input::Encoding encoding = input::Encoding::Utf8; // a byte order mark still decides
    bool encodingGiven = false;                       // by name, with --encoding
    bool stats = false;
    QStringList inputs{QString()}; // at least one; an empty path stands for standard input
    QString output;                // empty: standard output
    QString outDir;                // not empty: convert each input into a file of this folder
};

// An invocation that ends before any work: help, version or a usage error.
struct Exit {
    int code = 0;
    QString message; // for standard error
    QString output;  // for standard output: the help or the version
};

std::variant<Options, Exit> parseOptions(const QStringList &arguments);

} // namespace tavrinel::cli
