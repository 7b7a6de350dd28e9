#pragma once

#include "input/decodeerror.h"
#include "output/writeproblem.h"

#include <QString>

namespace tavrinel
{

// The window's words for why a file was not read or not saved: the same reasons that the
// command line gives in English (input::describeError(), describeProblem()), in Chinese. The
// system's own reasons come in the user's language where the system has them.
QString reasonText(const input::DecodeError &error);
QString reasonText(const WriteProblem &problem);

} // namespace tavrinel
