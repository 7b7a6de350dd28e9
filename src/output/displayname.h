#pragma once

#include <QString>

namespace tavrinel
{

// A file name for a message: native separators, and every byte that is not valid UTF-8 (kept as
// fileNameFromBytes() keeps it), and every control character (C0, DEL and C1, the latter as its
// two UTF-8 bytes), written as \xHH so that it can neither garble nor drive the terminal.
QString displayFileName(const QString &name);

} // namespace tavrinel
