#include "cli/report.h"

#include "cli/console.h"
#include "cli/exitcodes.h"
#include "output/fdwriter.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

constexpr int standardError = 2;

} // namespace

void report(const QString &message)
{
    const QString line = QCoreApplication::applicationName() + u": "_s + message + u'\n';
    if (writeToConsole(standardError, line) != ConsoleWrite::NotAConsole)
        return; // nothing else to tell when even the console fails
    const QByteArray text = line.toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
}

int fail(const Failure &failure)
{
    if (!failure.message.isEmpty())
        report(failure.message);
    return failure.exitCode;
}

std::optional<Failure> printOut(FdWriter &out, const QString &text)
{
    const ConsoleWrite shown = writeToConsole(out.fd(), text);
    if (shown == ConsoleWrite::Written)
        return std::nullopt;
    if (shown == ConsoleWrite::Failed) {
        out.setError(EIO);
    } else {
        const QByteArray bytes = text.toUtf8();
        if (out.write(bytes.constData(), static_cast<std::size_t>(bytes.size())))
            return std::nullopt;
    }
    return Failure{exitIoError, u"cannot write to standard output: "_s + out.errorString()};
}

} // namespace tavrinel::cli
