#pragma once

#include <QtGlobal>

namespace tavrinel
{

// Whether `size` bytes can be written to the file without the disk, a quota or the file size
// limit stopping the write half-way: the space is allocated beforehand where the file system
// can, and otherwise the free space is looked at.
bool reserveSpace(int fd, qint64 size);

} // namespace tavrinel
