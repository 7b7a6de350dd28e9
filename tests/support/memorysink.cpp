#include "memorysink.h"

namespace testsupport
{

bool MemorySink::write(const char *bytes, std::size_t size)
{
    if (failed_)
        ++writesAfterFailure;
    if (failed_ || size > room_ - written) {
        failed_ = true;
        return false;
    }
    written += size;
    if (keep_ == Keep::Bytes)
        text.append(bytes, static_cast<qsizetype>(size));
    return true;
}

} // namespace testsupport
