#pragma once

#include <QString>

namespace tavrinel
{

// The text of the system's error number, in the user's language where the system has it.
QString systemErrorText(int errorNumber);

} // namespace tavrinel
