#include "report.h"

#include "output/fdwriter.h"

#include <QCoreApplication>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

void report(const QString &message)
{
    const QByteArray text =
        (QCoreApplication::applicationName() + u": "_s + message + u'\n').toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
}

int fail(int code, const QString &message)
{
    report(message);
    return code;
}

bool printOut(FdWriter &out, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    if (out.write(bytes.constData(), static_cast<std::size_t>(bytes.size())))
        return true;
    report(u"cannot write to standard output: "_s + out.errorString());
    return false;
}

} // namespace tavrinel::cli
