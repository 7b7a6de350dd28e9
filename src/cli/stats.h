#pragma once

#include "cli/article.h"

#include <QStringList>
#include <optional>

namespace tavrinel
{
class FdWriter;
}

namespace tavrinel::cli
{

// Prints the character and sentence counts of each input (an empty path is standard input),
// sentences by the rule's stops. One input gives exactly "characters: N\nsentences: M\n"; several
// give one such block each, headed "==> NAME <==" and separated by a blank line. An input that
// cannot be read or decoded is reported on standard error as it is met and the others are still
// counted: the failure returned then has the worst exit code and no message. A failed write to
// standard output ends the counting with that failure.
std::optional<Failure> printStats(const QStringList &inputs, const Reading &reading, Breaks rule,
                                  FdWriter &out);

} // namespace tavrinel::cli
