#include "cli/progress.h"

#include "cli/console.h"

#include <QCoreApplication>
#include <QLocale>
#include <QString>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

// Carriage return and "erase to the end of the line": the next text starts on a blank line.
constexpr char eraseLine[] = "\r\x1b[K";

void printErr(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

Progress::Progress(qsizetype files, qint64 bytes)
    : onTerminal_(isConsole(2)), files_(files), bytes_(bytes)
{
    show();
}

void Progress::advance(qint64 bytes)
{
    ++filesDone_;
    bytesDone_ += bytes;
    show();
}

void Progress::clear()
{
    if (shown_)
        printErr(eraseLine);
    shown_ = false;
}

void Progress::finish()
{
    if (!onTerminal_)
        return;
    if (!shown_)
        show();
    printErr("\n");
    shown_ = false;
}

void Progress::show()
{
    if (!onTerminal_)
        return;
    const QLocale c = QLocale::c();
    const QString line = u"%1: %2 of %3 files, %4 of %5"_s.arg(
        QCoreApplication::applicationName(), QString::number(filesDone_), QString::number(files_),
        c.formattedDataSize(bytesDone_), c.formattedDataSize(bytes_));
    printErr(eraseLine + line.toUtf8());
    shown_ = true;
}

} // namespace tavrinel::cli
