#include "report.h"

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

} // namespace tavrinel::cli
