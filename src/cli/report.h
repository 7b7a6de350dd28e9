#pragma once

#include "cli/failure.h"

#include <QString>
#include <optional>

namespace tavrinel
{
class FdWriter;
}

namespace tavrinel::cli
{

// Prints "tavrinel-cli: message" on standard error.
void report(const QString &message);

// Reports the failure's message, when it has one, and hands back its exit code.
int fail(const Failure &failure);

// Writes the text to standard output; on failure, why.
std::optional<Failure> printOut(FdWriter &out, const QString &text);

} // namespace tavrinel::cli
