#pragma once

#include <QString>
#include <variant>

namespace tavrinel::cli
{

// What one invocation of the command line asks for.
struct Options {
    QString sizeText = QStringLiteral("10");
    bool byCharacters = true;
    bool wordComplete = false;
    bool stats = false;
    QString input;  // empty or "-": standard input
    QString output; // empty: standard output
};

// An invocation that ends before any work: help, version or a usage error.
struct Exit {
    int code = 0;
    QString message; // for standard error; help and version print themselves
};

std::variant<Options, Exit> parseOptions(const QStringList &arguments);

} // namespace tavrinel::cli
