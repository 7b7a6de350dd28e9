#include "cli/stats.h"

#include "checks/checks.h"
#include "cli/exitcodes.h"
#include "cli/inputfile.h"
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

// The counts of an input's untrimmed text, whichever way it is read.
class CountWork final : public ArticleWork
{
public:
    CountWork(const Reading &reading, Breaks rule) : engine_(reading.engine), rule_(rule) {}

    utf8::Result onBytes(utf8::ByteSource &source) override
    {
        const utf8::CountResult counted = utf8::count(source, engine_, rule_);
        counts_ = counted.counts;
        return counted.result;
    }

    bool onText(std::u16string_view text) override
    {
        counts_ = {characterCount(text), sentenceCount(text, rule_)};
        return true;
    }

    const utf8::Counts &counts() const { return counts_; }

private:
    const utf8::EngineOptions &engine_;
    Breaks rule_;
    utf8::Counts counts_;
};

// The counts of one input, or why it could not be counted.
std::variant<utf8::Counts, Failure> countInput(const QString &path, const Reading &reading,
                                               Breaks rule)
{
    CountWork work(reading, rule);
    const ArticleOutcome outcome = processArticle(path, reading, work);
    if (outcome.failure)
        return *outcome.failure;
    return work.counts();
}

QString headerFor(const QString &path)
{
    return u"==> %1 <==\n"_s.arg(inputDisplayName(path));
}

} // namespace

std::optional<Failure> printStats(const QStringList &inputs, const Reading &reading, Breaks rule,
                                  FdWriter &out)
{
    const bool withHeaders = inputs.size() > 1;
    bool firstBlock = true;
    int code = exitOk;
    for (const QString &path : inputs) {
        const auto counted = countInput(path, reading, rule);
        if (const auto *failure = std::get_if<Failure>(&counted)) {
            code = worseExit(code, fail(*failure));
            continue;
        }
        QString block = countsText(std::get<utf8::Counts>(counted));
        if (withHeaders)
            block.prepend((firstBlock ? QString() : u"\n"_s) + headerFor(path));
        if (auto failure = printOut(out, block))
            return failure;
        firstBlock = false;
    }
    if (code != exitOk)
        return Failure{code, {}};
    return std::nullopt;
}

} // namespace tavrinel::cli
