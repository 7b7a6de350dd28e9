#include "cli/report.h"

#include "cli/console.h"
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

int fail(int code, const QString &message)
{
    report(message);
    return code;
}

bool printOut(FdWriter &out, const QString &text)
{
    const ConsoleWrite shown = writeToConsole(out.fd(), text);
    if (shown == ConsoleWrite::Written)
        return true;
    if (shown == ConsoleWrite::Failed) {
        out.setError(EIO);
    } else {
        const QByteArray bytes = text.toUtf8();
        if (out.write(bytes.constData(), static_cast<std::size_t>(bytes.size())))
            return true;
    }
    report(u"cannot write to standard output: "_s + out.errorString());
    return false;
}

} // namespace tavrinel::cli
