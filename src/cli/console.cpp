#include "cli/console.h"

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tavrinel::cli
{

#ifdef Q_OS_WIN

namespace
{

HANDLE consoleHandle(int descriptor)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return nullptr;
    // Lets the progress line erase itself with the same escape sequence as on a terminal; an
    // old console without it shows the line unerased.
    SetConsoleMode(handle, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    return handle;
}

} // namespace

bool isConsole(int descriptor)
{
    return consoleHandle(descriptor) != nullptr;
}

ConsoleWrite writeToConsole(int descriptor, QStringView text)
{
    const HANDLE console = consoleHandle(descriptor);
    if (!console)
        return ConsoleWrite::NotAConsole;
    // WriteConsoleW takes a limited amount at a time; split only between UTF-16 units that are
    // not a surrogate pair's halves.
    constexpr qsizetype chunk = 8192;
    while (!text.isEmpty()) {
        qsizetype size = std::min(text.size(), chunk);
        if (size < text.size() && text.at(size - 1).isHighSurrogate())
            --size;
        DWORD written = 0;
        if (!WriteConsoleW(console, text.utf16(), static_cast<DWORD>(size), &written, nullptr) ||
            written == 0)
            return ConsoleWrite::Failed;
        text = text.sliced(written);
    }
    return ConsoleWrite::Written;
}

#else

bool isConsole(int descriptor)
{
    return ::isatty(descriptor) == 1;
}

ConsoleWrite writeToConsole(int, QStringView)
{
    return ConsoleWrite::NotAConsole;
}

#endif

} // namespace tavrinel::cli
