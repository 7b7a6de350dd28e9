#pragma once

#include <QString>

namespace tavrinel
{
class FdWriter;
}

namespace tavrinel::cli
{

// Prints "tavrinel-cli: message" on standard error.
void report(const QString &message);

// Reports the message and hands back the exit code, for `return fail(...)`.
int fail(int code, const QString &message);

// Writes the text to standard output; on failure says why and returns false.
bool printOut(FdWriter &out, const QString &text);

} // namespace tavrinel::cli
