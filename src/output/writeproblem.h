#pragma once

#include <QString>

namespace tavrinel
{

// Why a result was not written. Each language words it in a `WriteProblemWords` of its own:
// English below for the command line, Chinese in the window.
struct WriteProblem {
    enum class Kind {
        None,
        System,         // the system's error number says it all
        CannotCreateIn, // no new file can be made in the folder `subject`
        ForeignLink,    // a link that another user owns in the shared folder `subject`
        ForeignFile,    // a file that another user owns in the shared folder `subject`
        NotRegularFile, // where only a regular file may be written
        IsInput,        // the name leads to the file being read
    };
    Kind kind = Kind::None;
    int error = 0;        // the system's error number, where there is one
    QString subject;      // a folder, ready for a message
    QString systemText{}; // the system's own words where it gives no error number (Windows)
};

inline WriteProblem systemProblem(int error)
{
    return {WriteProblem::Kind::System, error, {}, {}};
}

// What the system said: its own words, or the text of its error number, in the user's language
// where the system has it.
QString systemReason(const WriteProblem &problem);

// One language's words for each kind that the system does not word itself. %1 is the folder
// (`subject`), and in `cannotCreateIn` %2 the system's reason.
struct WriteProblemWords {
    QStringView cannotCreateIn;
    QStringView foreignLink;
    QStringView foreignFile;
    QStringView notRegularFile;
    QStringView isInput;
};

// The reason of a problem in the given words.
QString describeProblem(const WriteProblem &problem, const WriteProblemWords &words);

// The reason of a problem in English, e.g. "cannot create a file in /srv/out: Permission denied".
QString describeProblem(const WriteProblem &problem);

} // namespace tavrinel
