#pragma once

#include <QString>

namespace tavrinel::cli
{

// Prints "tavrinel-cli: message" on standard error.
void report(const QString &message);

// Reports the message and hands back the exit code, for `return fail(...)`.
int fail(int code, const QString &message);

} // namespace tavrinel::cli
