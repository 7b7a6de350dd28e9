#pragma once

#include <QtGlobal>

namespace tavrinel::cli
{

// How far a batch has got, on one line of standard error that is rewritten in place: files done
// of the total and bytes read of the total. Shown only when standard error is a terminal; a log
// or a pipe gets nothing of it.
class Progress
{
public:
    Progress(qsizetype files, qint64 bytes);

    // One more file done, whatever its outcome.
    void advance(qint64 bytes);
    // Takes the line away so that a message can stand on a line of its own; the next advance()
    // or finish() brings it back.
    void clear();
    // Leaves the final state on its own line.
    void finish();

private:
    void show();

    bool onTerminal_;
    bool shown_ = false;
    qsizetype files_;
    qsizetype filesDone_ = 0;
    qint64 bytes_;
    qint64 bytesDone_ = 0;
};

} // namespace tavrinel::cli
