#pragma once

#include <QStringList>

namespace tavrinel::cli
{

// Standard input, output or error may have been closed by the caller (`>&-`). The first file
// the program opens would then take that number and receive what is meant for standard output.
// Each closed one gets a stand-in that fails every use the way a closed descriptor does: reads
// from a write-only /dev/null and writes to a read-only one fail with EBADF. Call it first in
// main, before anything opens a descriptor.
void reserveStandardDescriptors();

// The arguments exactly as given. On Linux they are bytes: file names that are not UTF-8 keep
// every byte (output/filename.h).
QStringList commandLineArguments(int argc, char *argv[]);

} // namespace tavrinel::cli
