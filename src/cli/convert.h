#pragma once

#include "cli/article.h"
#include "generate/settings.h"
#include "output/outputfile.h"

#include <QString>
#include <optional>

namespace tavrinel
{
class FdWriter;
}

namespace tavrinel::cli
{

// The paragraph text of an input (an empty path is standard input) on standard output, written
// as it is made. A regular file is read twice: first to validate it, so that a file that cannot
// be read as text leaves nothing on standard output, then to cut it; a change in between is
// reported. A pipe or terminal can be read only once: what comes before an invalid byte may
// already have been written when it is met.
std::optional<Failure> convertToStdout(const QString &input, FdWriter &out,
                                       const GenerationSettings &settings, const Reading &reading);

// The same into a file, all or nothing: a failure of any kind, invalid input included, leaves
// no partial file and an existing file untouched.
std::optional<Failure> convertToFile(const QString &input, const QString &output,
                                     const GenerationSettings &settings, const Reading &reading,
                                     const OutputFile::Options &options = {});

// Both refuse, before writing anything, an output that is the input file itself (exit code 2).

} // namespace tavrinel::cli
