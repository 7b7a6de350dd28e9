#pragma once

#include "cli/article.h"
#include "generate/settings.h"

#include <QString>
#include <QStringList>

namespace tavrinel::cli
{

// Converts every input with the same settings into outDir, atomically each, going on after a
// failed file. Each failure is reported with its file name. The exit code is 0 when every file
// was converted, 1 when any file could not be read or written, and 2 otherwise (a file could not
// be read as text or was refused).
int convertBatch(const QStringList &inputs, const QString &outDir,
                 const GenerationSettings &settings, const Reading &reading);

} // namespace tavrinel::cli
