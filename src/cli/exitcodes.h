#pragma once

namespace tavrinel::cli
{

inline constexpr int exitOk = 0;
inline constexpr int exitIoError = 1;  // unreadable input, unwritable output
inline constexpr int exitBadInput = 2; // usage, size or encoding errors; refused batch files

// The exit code of a run with several files: an I/O failure outweighs bad input, which outweighs
// success.
constexpr int worseExit(int a, int b)
{
    if (a == exitIoError || b == exitIoError)
        return exitIoError;
    return a > b ? a : b;
}

} // namespace tavrinel::cli
