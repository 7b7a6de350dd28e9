#include "writesignals.h"

#include <csignal>
#include <cstring>

#if !defined(_WIN32)
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#endif

namespace tavrinel
{

void reportWriteLimitsAsErrors()
{
#if defined(SIGXFSZ)
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#if defined(SIGPIPE)
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

#if defined(_WIN32)

// On Windows QSaveFile keeps the temporary file, and the console's Ctrl-C ends the process
// without a POSIX signal handler to run.
void removeTemporaryFileOnSignals() {}
void rememberTemporaryFile(int, const char *) {}
void forgetTemporaryFile() {}
TerminationSignalsHeld::TerminationSignalsHeld() = default;
TerminationSignalsHeld::~TerminationSignalsHeld() = default;

#else

namespace
{

constexpr int terminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A signal handler can reach nothing but static storage: this is the one place the program
// keeps state outside its objects. The name is written before the folder, and the handler reads
// the folder first.
volatile sig_atomic_t pendingFolder = -1;
char pendingName[256];

extern "C" void removeTemporaryAndDie(int signal)
{
    const int folder = pendingFolder;
    if (folder >= 0)
        ::unlinkat(folder, pendingName, 0);
    // The handler was reset to the default on entry: once this returns, the raised signal
    // ends the program as it would have ended without us.
    ::raise(signal);
}

sigset_t terminationSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : terminationSignals)
        sigaddset(&set, signal);
    return set;
}

} // namespace

void removeTemporaryFileOnSignals()
{
    for (const int signal : terminationSignals) {
        struct sigaction current {
        };
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {
        };
        action.sa_handler = removeTemporaryAndDie;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

void rememberTemporaryFile(int folder, const char *name)
{
    if (std::strlen(name) >= sizeof pendingName)
        return;
    std::strcpy(pendingName, name);
    pendingFolder = folder;
}

void forgetTemporaryFile()
{
    pendingFolder = -1;
}

TerminationSignalsHeld::TerminationSignalsHeld()
{
    const sigset_t held = terminationSet();
    ::pthread_sigmask(SIG_BLOCK, &held, &saved_);
}

TerminationSignalsHeld::~TerminationSignalsHeld()
{
    ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

#endif

} // namespace tavrinel
