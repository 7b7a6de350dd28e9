#pragma once

// Small helpers the test programs share: files, folders, encoded text and programs run to
// their end.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringEncoder>
#include <QTest>
#include <functional>
#include <string_view>
#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace testfiles
{

// The file's bytes; "<missing>" when it cannot be read, so a comparison shows what went wrong.
inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Every entry of the folder, hidden ones too.
inline QStringList entriesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// The text's UTF-16 units, as the core takes them.
inline std::u16string_view u16(const QString &text)
{
    return {QStringView(text).utf16(), static_cast<std::size_t>(text.size())};
}

inline QByteArray encoded(const char *encoding, const QString &text)
{
    QStringEncoder encoder(encoding, QStringEncoder::Flag::Stateless);
    return encoder.encode(text);
}

// What a program's run came to; the exit code is -1 when it crashed.
struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the program to its end with `input` on standard input; `setUp` may set the process up
// further first (its environment, its folder, what the child does before the program starts).
inline Outcome runProgram(const QString &program, const QStringList &arguments,
                          const QByteArray &input = {},
                          const std::function<void(QProcess &)> &setUp = {})
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (setUp)
        setUp(process);
    process.start();
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000))
        qFatal("%s did not finish", qPrintable(process.program()));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

#ifndef Q_OS_WIN
// Linux-only fault helpers: device nodes, file-size limits and a full file system.

// Runs a command as the user nobody (65534) through setpriv: a real second user, for what
// another user of the machine would do. The exit code; -1 when it could not run or crashed.
inline int runAsNobody(const QStringList &command)
{
    return runProgram(QStringLiteral("setpriv"),
                      QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                  QStringLiteral("--clear-groups"), QStringLiteral("--")} +
                          command)
        .exitCode;
}

// A folder that anyone may write to, with the sticky bit, as /tmp: where another user can plant
// names for the caller to write through. Empty when it cannot be made.
inline QString makeSharedFolder(const QDir &in)
{
    const QString path = in.filePath(QStringLiteral("shared"));
    if (!in.mkdir(QStringLiteral("shared")) ||
        chmod(QFile::encodeName(path).constData(), 01777) != 0)
        return {};
    return path;
}

// Whether the path is (still) a device node and not a file put in its place.
inline bool isCharacterDevice(const char *path)
{
    struct stat info;
    return lstat(path, &info) == 0 && S_ISCHR(info.st_mode);
}

// Files larger than `bytes` cannot be written while it lives. SIGXFSZ is left as the program
// set it: the programs ignore it themselves, so that the write fails with EFBIG.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit saved_{};
};

// A real full file system: a small tmpfs, mounted for the test's lifetime, that holds `old.txt`
// with `oldContent()` and is then filled up to the last page. Mounting needs root; where it
// cannot be done, error() says why and the test skips.
class FullDisk
{
public:
    FullDisk()
    {
        QByteArray folder = QDir::tempPath().toLocal8Bit() + "/tavrinel-full-XXXXXX";
        if (!mkdtemp(folder.data())) {
            error_ = QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        path_ = QString::fromLocal8Bit(folder);
        if (mount("tmpfs", folder.constData(), "tmpfs", 0, "size=64k") != 0) {
            error_ = QStringLiteral("cannot mount a tmpfs: ") +
                     QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        mounted_ = true;
        writeFile(filePath(QStringLiteral("old.txt")), oldContent());
        fill(filePath(QStringLiteral("filler")).toLocal8Bit());
    }
    ~FullDisk()
    {
        if (mounted_)
            umount2(path_.toLocal8Bit().constData(), MNT_DETACH);
        if (!path_.isEmpty())
            QDir().rmdir(path_);
    }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    static QByteArray oldContent() { return "the file as it was"; }
    QString error() const { return mounted_ ? QString() : error_; }
    QString path() const { return path_; }
    QString filePath(const QString &name) const { return path_ + u'/' + name; }
    // Everything on it but the filler.
    QStringList entries() const
    {
        QStringList names = entriesIn(path_);
        names.removeAll(QStringLiteral("filler"));
        return names;
    }

private:
    static void fill(const QByteArray &path)
    {
        const int fd = open(path.constData(), O_WRONLY | O_CREAT, 0600);
        const QByteArray block(4096, 'x');
        while (write(fd, block.constData(), block.size()) > 0) {
        }
        ::write(fd, "x", 1); // down to the last byte
        close(fd);
    }

    QString path_;
    QString error_;
    bool mounted_ = false;
};
#endif // Linux-only fault helpers

} // namespace testfiles
