#pragma once

#include "generate/settings.h"

#include <QString>
#include <optional>
#include <string_view>

namespace tavrinel
{
class FdWriter;
}

namespace tavrinel::cli
{

// The paragraph text of the (untrimmed) article, streamed to standard output. Nothing on
// success, the reason for standard error otherwise.
std::optional<QString> convertToStdout(FdWriter &out, std::u16string_view article,
                                       const GenerationSettings &settings);

// The same written to a file, all or nothing: a failed write leaves no partial file and an
// existing file untouched.
std::optional<QString> convertToFile(const QString &path, std::u16string_view article,
                                     const GenerationSettings &settings);

} // namespace tavrinel::cli
