#pragma once

namespace tavrinel::cli
{

inline constexpr int exitOk = 0;
inline constexpr int exitIoError = 1;  // unreadable input, unwritable output
inline constexpr int exitBadInput = 2; // usage, size or encoding errors

} // namespace tavrinel::cli
