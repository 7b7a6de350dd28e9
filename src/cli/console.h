#pragma once

#include <QStringView>

// Standard streams the same way on every system: Windows translates line ends on standard
// streams and writes bytes to a console in its own code page unless told otherwise.
namespace tavrinel::cli
{

// Standard input and output carry bytes unchanged: no CR LF translation on Windows.
void useBinaryStandardStreams();

// Whether the descriptor is a console window or terminal the user reads (not a file, pipe or
// the null device).
bool isConsole(int descriptor);

enum class ConsoleWrite { NotAConsole, Written, Failed };

// On Windows, writes the text to the console behind the descriptor as UTF-16, so that Chinese
// file names show whatever the console's code page; elsewhere, and for anything but a console,
// NotAConsole: the caller writes UTF-8 bytes.
ConsoleWrite writeToConsole(int descriptor, QStringView text);

} // namespace tavrinel::cli
