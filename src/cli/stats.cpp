#include "stats.h"

#include "article.h"
#include "checks/checks.h"
#include "exitcodes.h"
#include "output/fdwriter.h"
#include "output/filename.h"
#include "report.h"

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
    return u"==> %1 <==\n"_s.arg(path.isEmpty() ? u"standard input"_s : displayFileName(path));
}

} // namespace

int printStats(const QStringList &inputs, FdWriter &out)
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
        if (!printOut(out, block))
            return exitIoError;
        firstBlock = false;
    }
    return code;
}

} // namespace tavrinel::cli
