#include "stats.h"

#include "article.h"
#include "checks/checks.h"
#include "exitcodes.h"
#include "report.h"

#include <QDir>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

QString countsOf(std::u16string_view article)
{
    return u"characters: %1\nsentences: %2\n"_s.arg(characterCount(article))
        .arg(sentenceCount(article));
}

QString headerFor(const QString &path)
{
    return u"==> %1 <==\n"_s.arg(path.isEmpty() ? u"standard input"_s
                                                : QDir::toNativeSeparators(path));
}

bool printOut(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    return std::fflush(stdout) == 0;
}

} // namespace

int printStats(const QStringList &inputs)
{
    const bool withHeaders = inputs.size() > 1;
    bool firstBlock = true;
    int code = exitOk;
    for (const QString &path : inputs) {
        const auto article = loadArticle(path);
        if (const auto *error = std::get_if<InputError>(&article)) {
            code = worseExit(code, fail(error->exitCode, error->message));
            continue;
        }
        QString block = countsOf(std::get<Utf16Text>(article).view());
        if (withHeaders)
            block.prepend((firstBlock ? QString() : u"\n"_s) + headerFor(path));
        if (!printOut(block))
            return fail(exitIoError, u"cannot write to standard output"_s);
        firstBlock = false;
    }
    return code;
}

} // namespace tavrinel::cli
