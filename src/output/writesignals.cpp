#include "writesignals.h"

#include <csignal>
#include <cstring>

#if !defined(_WIN32)
#include <fcntl.h>
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
// While a step that must not be cut in two runs, a signal is only noted, on whatever thread it
// comes; the step acts on it when it ends.
volatile sig_atomic_t holding = 0;
volatile sig_atomic_t heldSignal = 0;

void removeTemporaryAndDie(int signal)
{
    const int folder = pendingFolder;
    if (folder >= 0)
        ::unlinkat(folder, pendingName, 0);
    // With the default action back, the raised signal ends the program as it would have ended
    // without us (in a handler, as soon as the handler returns).
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

extern "C" void onTerminationSignal(int signal)
{
    if (holding)
        heldSignal = signal;
    else
        removeTemporaryAndDie(signal);
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
        action.sa_handler = onTerminationSignal;
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
    holding = 1;
}

TerminationSignalsHeld::~TerminationSignalsHeld()
{
    holding = 0;
    if (const int signal = heldSignal) {
        heldSignal = 0;
        removeTemporaryAndDie(signal);
    }
}

#endif

} // namespace tavrinel
