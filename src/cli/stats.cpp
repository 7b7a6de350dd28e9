#include "cli/stats.h"

#include "checks/checks.h"
#include "cli/article.h"
#include "cli/exitcodes.h"
#include "cli/report.h"
#include "output/fdwriter.h"

#include <variant>

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

QString countsText(const utf8::Counts &counts)
{
    return u"characters: %1\nsentences: %2\n"_s.arg(counts.characters).arg(counts.sentences);
}

// The counts of one input's untrimmed text, or why it could not be counted.
std::variant<utf8::Counts, Failure> countInput(const QString &path, const Reading &reading,
                                               Breaks rule)
{
    utf8::Counts counts;
    ArticleWork work;
    work.onBytes = [&counts, &reading, rule](utf8::ByteSource &source) {
        const utf8::CountResult counted = utf8::count(source, reading.engine, rule);
        counts = counted.counts;
        return counted.result;
    };
    work.onText = [&counts, rule](std::u16string_view text) {
        counts = {characterCount(text), sentenceCount(text, rule)};
        return true;
    };
    const ArticleOutcome outcome = processArticle(path, reading, work);
    if (outcome.failure)
        return *outcome.failure;
    return counts;
}

QString headerFor(const QString &path)
{
    return u"==> %1 <==\n"_s.arg(inputDisplayName(path));
}

} // namespace

int printStats(const QStringList &inputs, const Reading &reading, Breaks rule, FdWriter &out)
{
    const bool withHeaders = inputs.size() > 1;
    bool firstBlock = true;
    int code = exitOk;
    for (const QString &path : inputs) {
        const auto counted = countInput(path, reading, rule);
        if (const auto *failure = std::get_if<Failure>(&counted)) {
            code = worseExit(code, fail(failure->exitCode, failure->message));
            continue;
        }
        QString block = countsText(std::get<utf8::Counts>(counted));
        if (withHeaders)
            block.prepend((firstBlock ? QString() : u"\n"_s) + headerFor(path));
        if (!printOut(out, block))
            return exitIoError;
        firstBlock = false;
    }
    return code;
}

} // namespace tavrinel::cli
