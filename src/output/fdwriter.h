#pragma once

#include "generate/bytesink.h"

#include <QString>

namespace tavrinel
{

// Writes to an open file descriptor without any buffer of its own, so that every failure is
// seen by the write that meets it, with the system's reason. Writes that the system takes in
// part, or that a signal interrupts, are carried on until all bytes are written. The descriptor
// is not closed.
class FdWriter final : public ByteSink
{
public:
    FdWriter() = default;
    explicit FdWriter(int fd) : fd_(fd) {}

    bool write(const char *bytes, std::size_t size) override;

    int fd() const { return fd_; }
    bool failed() const { return error_ != 0; }
    // The first failure's error number; later writes are refused with it.
    int error() const { return error_; }
    void setError(int errorNumber)
    {
        if (error_ == 0)
            error_ = errorNumber;
    }
    QString errorString() const;

private:
    int fd_ = -1;
    int error_ = 0;
};

} // namespace tavrinel
