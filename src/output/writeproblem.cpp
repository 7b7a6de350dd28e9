#include "writeproblem.h"

#include "systemerror.h"

using namespace Qt::StringLiterals;

namespace tavrinel
{

QString systemReason(const WriteProblem &problem)
{
    return problem.systemText.isEmpty() ? systemErrorText(problem.error) : problem.systemText;
}

QString describeProblem(const WriteProblem &problem, const WriteProblemWords &words)
{
    switch (problem.kind) {
    case WriteProblem::Kind::None:
        break;
    case WriteProblem::Kind::System:
        return systemReason(problem);
    case WriteProblem::Kind::CannotCreateIn:
        return words.cannotCreateIn.arg(problem.subject, systemReason(problem));
    case WriteProblem::Kind::ForeignLink:
        return words.foreignLink.arg(problem.subject);
    case WriteProblem::Kind::ForeignFile:
        return words.foreignFile.arg(problem.subject);
    case WriteProblem::Kind::NotRegularFile:
        return words.notRegularFile.toString();
    case WriteProblem::Kind::IsInput:
        return words.isInput.toString();
    }
    return {};
}

QString describeProblem(const WriteProblem &problem)
{
    static constexpr WriteProblemWords english{
        u"cannot create a file in %1: %2",
        u"not following a symbolic link that another user owns in the shared folder %1",
        u"not writing to a file that another user owns in the shared folder %1",
        u"not a regular file",
        u"it is the input file",
    };
    return describeProblem(problem, english);
}

} // namespace tavrinel
