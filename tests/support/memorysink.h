#pragma once

#include "generate/bytesink.h"

#include <QByteArray>
#include <cstdint>

namespace testsupport
{

// Where the writers under test put their bytes: kept in memory (or, for timing, only counted).
// Given room for so many bytes, the write that would pass it fails, and every write after it,
// as on a full disk.
class MemorySink final : public tavrinel::ByteSink
{
public:
    enum class Keep { Bytes, CountOnly };

    explicit MemorySink(std::size_t room = SIZE_MAX, Keep keep = Keep::Bytes)
        : room_(room), keep_(keep)
    {
    }

    bool write(const char *bytes, std::size_t size) override;

    QByteArray text;            // what was taken, with Keep::Bytes
    std::size_t written = 0;    // how many bytes were taken
    int writesAfterFailure = 0; // written on regardless, against the sink's promise

private:
    std::size_t room_;
    Keep keep_;
    bool failed_ = false;
};

} // namespace testsupport
