#include "cli/stdstreams.h"

#include "output/filename.h"

#include <QCoreApplication>

#if defined(Q_OS_WIN)
#include <fcntl.h>
#include <io.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tavrinel::cli
{

void reserveStandardDescriptors()
{
#if !defined(Q_OS_WIN)
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is taken, and every lower one is open by now: it is fd.
        ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
    }
#endif
}

void useBinaryStandardStreams()
{
#if defined(Q_OS_WIN)
    for (const int fd : {0, 1, 2})
        ::_setmode(fd, _O_BINARY);
#endif
}

QStringList commandLineArguments([[maybe_unused]] int argc, [[maybe_unused]] char *argv[])
{
#if defined(Q_OS_WIN)
    return QCoreApplication::arguments(); // Unicode from the system
#else
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << fileNameFromBytes(argv[i]);
    return arguments;
#endif
}

} // namespace tavrinel::cli
