#pragma once

namespace tavrinel
{

// A write past the file size limit, or into a pipe nobody reads any more, raises a signal that
// ends the process by default: mid-save, with the user's work in it. Ignored, the write fails
// with EFBIG or EPIPE instead and is reported like any other failure.
void reportWriteLimitsAsErrors();

// Ctrl-C, SIGTERM or SIGHUP in the middle of a save would leave its temporary file next to the
// target. With this, the temporary file is removed first and the program then dies of the same
// signal, as it would have (the caller sees the same exit status). A signal that the caller
// ignores, as nohup does SIGHUP, stays ignored.
void removeTemporaryFileOnSignals();

// The temporary file that such a signal removes, by its folder's descriptor and its name; one
// at a time. Registered while those signals are held back, so that none can come between the
// file's creation and its registration.
void rememberTemporaryFile(int folder, const char *name);
void forgetTemporaryFile();

// Holds those signals back while it lives, for steps that must not be cut in two (one at a time):
// one that comes meanwhile, on any thread, is acted on when it ends.
class TerminationSignalsHeld
{
public:
    TerminationSignalsHeld();
    ~TerminationSignalsHeld();
    TerminationSignalsHeld(const TerminationSignalsHeld &) = delete;
    TerminationSignalsHeld &operator=(const TerminationSignalsHeld &) = delete;
};

} // namespace tavrinel
