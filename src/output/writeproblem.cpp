#include "writeproblem.h"

#include "systemerror.h"

using namespace Qt::StringLiterals;

namespace tavrinel
{

QString systemReason(const WriteProblem &problem)
{
    return problem.systemText.isEmpty() ? systemErrorText(problem.error) : problem.systemText;
}

QString describeProblem(const WriteProblem &problem)
{
    switch (problem.kind) {
    case WriteProblem::Kind::None:
        break;
    case WriteProblem::Kind::System:
        return systemReason(problem);
    case WriteProblem::Kind::CannotCreateIn:
        return u"cannot create a file in %1: %2"_s.arg(problem.subject, systemReason(problem));
    case WriteProblem::Kind::ForeignLink:
        return u"not following a symbolic link that another user owns in the shared folder %1"_s
            .arg(problem.subject);
    case WriteProblem::Kind::ForeignFile:
        return u"not writing to a file that another user owns in the shared folder %1"_s.arg(
            problem.subject);
    case WriteProblem::Kind::NotRegularFile:
        return u"not a regular file"_s;
    case WriteProblem::Kind::IsInput:
        return u"it is the input file"_s;
    }
    return {};
}

} // namespace tavrinel
