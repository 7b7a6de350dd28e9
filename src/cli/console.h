#pragma once

#include <QStringView>

// Text for the user's console. A Windows console shows bytes in its own code page (936 on a
// Chinese system), so UTF-8 would come out garbled there; it is given UTF-16 instead.
namespace tavrinel::cli
{

// Whether the descriptor is a console window or terminal the user reads (not a file, pipe or
// the null device).
bool isConsole(int descriptor);

enum class ConsoleWrite { NotAConsole, Written, Failed };

// On Windows, writes the text to the console behind the descriptor as UTF-16, so that Chinese
// file names show whatever the console's code page; elsewhere, and for anything but a console,
// NotAConsole: the caller writes UTF-8 bytes.
ConsoleWrite writeToConsole(int descriptor, QStringView text);

} // namespace tavrinel::cli
