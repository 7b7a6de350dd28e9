#pragma once

namespace tavrinel
{

// A write past the file size limit, or into a pipe nobody reads any more, raises a signal that
// ends the process by default: mid-save, with the user's work in it. Ignored, the write fails
// with EFBIG or EPIPE instead and is reported like any other failure.
void reportWriteLimitsAsErrors();

} // namespace tavrinel
