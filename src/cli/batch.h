#pragma once

#include "cli/article.h"
#include "generate/settings.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace tavrinel::cli
{

// Converts every input with the same settings into outDir, atomically each, going on after a
// failed file. Each file's failure, and a folder that cannot be synced, is reported as it
// happens; the failure returned has the exit code and, when files failed, their count. The exit
// code is 1 when any file could not be read or written or a folder not synced, and 2 otherwise (a
// file could not be read as text or was refused); nothing is returned when all went well.
std::optional<Failure> convertBatch(const QStringList &inputs, const QString &outDir,
                                    const GenerationSettings &settings, const Reading &reading);

} // namespace tavrinel::cli
