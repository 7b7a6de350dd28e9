#pragma once

#include <QString>

namespace tavrinel::cli
{

// Why a step of the command line did not succeed: the exit code, and the message for standard
// error. A run over several files tells each file's failure as it happens; the failure it
// returns then has no message of its own, or only the closing count.
struct Failure {
    int exitCode = 0;
    QString message;
};

} // namespace tavrinel::cli
