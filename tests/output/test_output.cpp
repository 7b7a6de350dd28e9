#include "output/displayname.h"
#include "output/filename.h"
#include "output/outputfile.h"
#include "output/systemerror.h"
#include "output/writesignals.h"
#include "testfiles.h"
#include "ui/savefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <grp.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <sys/xattr.h>

using namespace Qt::StringLiterals;
using namespace testfiles;

namespace
{

// Saves as another user, in a child process that takes that user's ids: the message, or nothing
// on success.
std::optional<QString> saveAs(uid_t uid, gid_t gid, const std::vector<gid_t> &groups,
                              const QString &path, const QString &text)
{
    if (uid == ::geteuid())
        return tavrinel::saveTextFile(path, text);
    int channel[2];
    if (::pipe(channel) != 0)
        return u"no pipe"_s;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(gid) != 0 ||
            ::setuid(uid) != 0)
            ::_exit(99);
        const QByteArray message = tavrinel::saveTextFile(path, text).value_or(QString()).toUtf8();
        const bool sent =
            ::write(channel[1], message.constData(), message.size()) == message.size();
        ::_exit(sent ? 0 : 98);
    }
    ::close(channel[1]);
    QByteArray message;
    char buffer[4096];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, got);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return u"the saving child failed"_s;
    return message.isEmpty() ? std::nullopt : std::optional(QString::fromUtf8(message));
}

QByteArray attribute(const QString &path, const char *name)
{
    char value[4096];
    const ssize_t size = ::getxattr(QFile::encodeName(path).constData(), name, value, sizeof value);
    return size < 0 ? QByteArray("<none>") : QByteArray(value, size);
}

QString run(const QString &program, const QStringList &arguments)
{
    const Outcome outcome = runProgram(program, arguments);
    return outcome.exitCode == 0 ? QString()
                                 : QString::fromLocal8Bit(outcome.err) + program + u" failed"_s;
}

} // namespace

class TestOutput : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void roundTrip_data();
    void roundTrip();
    void replacesExistingFileWhole();
    void failure_data();
    void failure();
    void failedWriteKeepsExistingFile_data();
    void failedWriteKeepsExistingFile();
    void writesDeviceInPlace();
    void writesThroughOpenDescriptor_data();
    void writesThroughOpenDescriptor();
    void keepsPermissionsOfReplacedFile();
    void fileNamesKeepTheirBytes_data();
    void fileNamesKeepTheirBytes();
    void sharedFolder_data();
    void sharedFolder();
    void keepsWhatTheFileHad_data();
    void keepsWhatTheFileHad();

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestOutput::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestOutput::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    const auto same = [](const QString &text) {
        return std::pair(text, text.toUtf8());
    };
    for (const auto &[name, text] : {std::pair("empty", QString()),
                                     {"Chinese", u"<p>文章分割后内容。</p><p>第二段！</p>"_s},
                                     {"CR LF, tab, no-break space", u"<p>a\r\nb\tc\u00A0d</p>"_s},
                                     {"outside the BMP", u"<p>\U0001F600\U00020000</p>"_s},
                                     {"markup unescaped", u"<p>a < b & c</p>"_s}}) {
        const auto [input, utf8] = same(text);
        QTest::newRow(name) << input << utf8;
    }
    // No encoding holds a lone surrogate: each becomes U+FFFD, even one at the very end.
    const char16_t lone[] = {u'<', u'p', u'>', 0xDC00, u'a',  0xD800,
                             u'<', u'/', u'p', u'>',   0xD83D};
    QTest::newRow("lone surrogates") << QString::fromUtf16(lone, std::size(lone))
                                     << QByteArray("<p>\xEF\xBF\xBD"
                                                   "a\xEF\xBF\xBD</p>\xEF\xBF\xBD");
}

// The file holds exactly the text in UTF-8, with no byte order mark and nothing added.
void TestOutput::roundTrip()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const QString path = dir_->filePath(u"文章分割后内容.txt"_s);
    QCOMPARE(tavrinel::saveTextFile(path, text), std::nullopt);
    QCOMPARE(fileBytes(path), bytes);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files).size(), 1); // no temporary file left
}

void TestOutput::replacesExistingFileWhole()
{
    const QString path = dir_->filePath(u"out.txt"_s);
    writeFile(path, QByteArray(1000, 'x'));
    QCOMPARE(tavrinel::saveTextFile(path, u"<p>短</p>"), std::nullopt);
    QCOMPARE(fileBytes(path), u"<p>短</p>"_s.toUtf8());
}

void TestOutput::failure_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("reason");
    QTest::newRow("missing folder") << u"missing/out.txt"_s << ENOENT;
    QTest::newRow("name of a folder") << u"folder"_s << EISDIR;
    QTest::newRow("empty name") << QString() << ENOENT;
    QTest::newRow("full device") << u"/dev/full"_s << ENOSPC;
}

void TestOutput::failure()
{
    QFETCH(QString, name);
    QFETCH(int, reason);
    QVERIFY(QDir(dir_->path()).mkdir(u"folder"_s));
    const QString path = name.isEmpty() || QDir::isAbsolutePath(name) ? name : dir_->filePath(name);
    const std::optional<QString> message = tavrinel::saveTextFile(path, u"text");
    QVERIFY(message);
    QVERIFY2(message->startsWith(u"文件保存失败"_s), qPrintable(*message));
    QVERIFY2(message->contains(QDir::toNativeSeparators(path)), qPrintable(*message));
    // The system's reason follows on its own line.
    QCOMPARE(message->section(u'\n', 1), tavrinel::systemErrorText(reason));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files).size(), 0);
    QVERIFY(isCharacterDevice("/dev/full")); // written in place, never replaced by a file
}

// A device cannot be replaced atomically; it is written in place and stays a device.
void TestOutput::writesDeviceInPlace()
{
    QCOMPARE(tavrinel::saveTextFile(u"/dev/null"_s, u"<p>x</p>"), std::nullopt);
    QVERIFY(isCharacterDevice("/dev/null"));
}

void TestOutput::failedWriteKeepsExistingFile_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("length"); // of the text saved
    QTest::addColumn<int>("reason"); // the error number the message gives

    // A small result fits any write buffer: its failure shows only if every write is checked.
    QTest::newRow("full disk, small result") << u"full disk"_s << 10 << ENOSPC;
    QTest::newRow("full disk, large result") << u"full disk"_s << 100000 << ENOSPC;
    QTest::newRow("file size limit, small result") << u"size limit"_s << 10 << EFBIG;
    QTest::newRow("file size limit, large result") << u"size limit"_s << 100000 << EFBIG;
}

// A save that fails, however small, reports the system's reason and leaves the old file as it
// was and nothing else behind.
void TestOutput::failedWriteKeepsExistingFile()
{
    QFETCH(QString, fault);
    QFETCH(int, length);
    QFETCH(int, reason);
    const testfiles::FullDisk disk;
    QString folder = dir_->path();
    if (fault == u"full disk") {
        if (!disk.error().isEmpty())
            QSKIP(qPrintable(disk.error()));
        folder = disk.path();
    } else {
        writeFile(dir_->filePath(u"old.txt"_s), testfiles::FullDisk::oldContent());
    }
    const QString path = folder + u"/old.txt"_s;
    std::optional<QString> message;
    {
        const FileSizeLimit limit(fault == u"size limit" ? 0 : RLIM_INFINITY);
        message = tavrinel::saveTextFile(path, QString(length, u'段'));
    }
    QVERIFY(message);
    QVERIFY2(message->startsWith(u"文件保存失败"_s), qPrintable(*message));
    QVERIFY2(message->endsWith(u'\n' + tavrinel::systemErrorText(reason)), qPrintable(*message));
    QCOMPARE(fileBytes(path), testfiles::FullDisk::oldContent());
    const QStringList left =
        fault == u"full disk" ? disk.entries() : QDir(folder).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, QStringList{u"old.txt"_s});
}

void TestOutput::writesThroughOpenDescriptor_data()
{
    QTest::addColumn<QString>("name");   // %1: the descriptor's number, %2: the other process's
    QTest::addColumn<QString>("behind"); // the descriptor
    QTest::newRow("/dev/fd/N") << u"/dev/fd/%1"_s << u"file"_s;
    QTest::newRow("/proc/self/fd/N") << u"/proc/self/fd/%1"_s << u"file"_s;
    QTest::newRow("a link to /proc/self/fd/N") << u"link"_s << u"file"_s;
    QTest::newRow("another process's /proc/PID/fd/N: the file that one has open")
        << u"/proc/%2/fd/%1"_s << u"another's file"_s;
    QTest::newRow("a full pipe, the write interrupted by signals") << u"/dev/fd/%1"_s << u"pipe"_s;
}

// A name of an open descriptor is written through it, at its position: the file behind it is
// added to, never replaced by a new one. Signals without SA_RESTART keep interrupting the write.
void TestOutput::writesThroughOpenDescriptor()
{
    QFETCH(QString, name);
    QFETCH(QString, behind);
    const QString path = dir_->filePath(u"caller.txt"_s);
    const QByteArray otherFile = QFile::encodeName(dir_->filePath(u"other.txt"_s));
    int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT, 0644);
    QVERIFY(fd >= 0);
    QProcess holder; // has other.txt open as its descriptor `fd`, or reads the pipe into the file
    if (behind == u"pipe") {
        int ends[2];
        QCOMPARE(::pipe(ends), 0);
        ::close(fd);
        fd = ends[1];
        holder.setStandardOutputFile(path);
        holder.setChildProcessModifier([ends] { ::dup2(ends[0], STDIN_FILENO), ::close(ends[1]); });
        holder.start(u"sh"_s, {u"-c"_s, u"sleep 0.2; exec cat"_s}); // late: the write waits
        ::close(ends[0]);
    } else {
        holder.setChildProcessModifier(
            [&] { ::dup2(::open(otherFile.constData(), O_WRONLY | O_CREAT, 0644), fd); });
        holder.start(u"sleep"_s, {u"60"_s});
    }
    QByteArray header = "header\n";
    QCOMPARE(::write(fd, header.constData(), header.size()), header.size());
    const QByteArray block(4096, 'x');
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    while (behind == u"pipe" && ::write(fd, block.constData(), block.size()) == block.size())
        header += block; // until the pipe is full
    ::fcntl(fd, F_SETFL, 0);
    QString target = dir_->filePath(u"link"_s);
    if (name == u"link")
        QVERIFY(QFile::link(u"/proc/self/fd/%1"_s.arg(fd), target));
    else
        target = name.arg(fd).replace(u"%2"_s, QString::number(holder.processId()));
    struct sigaction interrupt = {}, before = {};
    interrupt.sa_handler = [](int) {
    };
    ::sigaction(SIGALRM, &interrupt, &before);
    const itimerval every10ms{{0, 10000}, {0, 10000}}, off{};
    ::setitimer(ITIMER_REAL, &every10ms, nullptr);
    const auto saved = tavrinel::saveTextFile(target, u"<p>段</p>");
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::sigaction(SIGALRM, &before, nullptr);
    QCOMPARE(::write(fd, "footer", 6), 6);
    ::close(fd);
    if (behind != u"pipe")
        holder.kill();
    holder.waitForFinished();
    QCOMPARE(saved, std::nullopt);
    const QByteArray text = u"<p>段</p>"_s.toUtf8();
    const bool elsewhere = behind == u"another's file";
    QCOMPARE(fileBytes(path), header + (elsewhere ? QByteArray() : text) + "footer");
    if (elsewhere)
        QCOMPARE(fileBytes(QFile::decodeName(otherFile)), text);
}

// The replacement keeps the permissions the old file had.
void TestOutput::keepsPermissionsOfReplacedFile()
{
    const QString path = dir_->filePath(u"out.txt"_s);
    writeFile(path, "old");
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(path, mode));
    QCOMPARE(tavrinel::saveTextFile(path, u"new"), std::nullopt);
    QCOMPARE(fileBytes(path), QByteArray("new"));
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), mode);
}

void TestOutput::fileNamesKeepTheirBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("UTF-8") << QByteArray("文章.txt") << u"文章.txt"_s;
    QTest::newRow("Latin-1") << QByteArray("caf\xE9.txt") << u"caf\\xE9.txt"_s;
    QTest::newRow("GBK") << QByteArray("\xCE\xC4\xD5\xC2.txt") << u"\\xCE\\xC4\\xD5\\xC2.txt"_s;
    QTest::newRow("a lone continuation byte after a character")
        << QByteArray("\xE6\x96\x87\x80") << u"文\\x80"_s;
    QTest::newRow("a control character") << QByteArray("a\x1B[2Jb") << u"a\\x1B[2Jb"_s;
    QTest::newRow("a C1 control character, a terminal's CSI") << QByteArray("a\xC2\x9B"
                                                                            "2Jb")
                                                              << u"a\\xC2\\x9B2Jb"_s;
    QTest::newRow("an encoded surrogate") << QByteArray("\xED\xB2\x80") << u"\\xED\\xB2\\x80"_s;
    QTest::newRow("a character whose low surrogate looks like an escaped byte")
        << QByteArray("\xF0\x9F\x92\x80.txt") << u"\U0001F480.txt"_s;
    QTest::newRow("DEL") << QByteArray("a\x7F.txt") << u"a\\x7F.txt"_s;
    QTest::newRow("a tab, two digits") << QByteArray("a\t.txt") << u"a\\x09.txt"_s;
}

// Any name the system has can be written and is shown readably; the bytes come back exactly.
void TestOutput::fileNamesKeepTheirBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    const QString name = tavrinel::fileNameFromBytes(bytes);
    QCOMPARE(tavrinel::fileNameBytes(name), bytes);
    QCOMPARE(tavrinel::displayFileName(name), shown);
    const QByteArray native = QFile::encodeName(dir_->path()) + '/' + bytes;
    QCOMPARE(tavrinel::saveTextFile(tavrinel::fileNameFromBytes(native), u"x"), std::nullopt);
    QCOMPARE(::unlink(native.constData()), 0); // QTemporaryDir cannot remove such a name
}

void TestOutput::sharedFolder_data()
{
    QTest::addColumn<QString>("planted"); // at the name saved to, in a sticky folder for all
    QTest::addColumn<bool>("refused");
    QTest::newRow("another user's link to the caller's file") << u"link"_s << true;
    QTest::newRow("another user's file, writable by all") << u"file"_s << true;
    QTest::newRow("another user's pipe") << u"pipe"_s << true;
    QTest::newRow("the caller's own link") << u"own link"_s << false;
    QTest::newRow("the caller's own relative link") << u"own relative link"_s << false;
    QTest::newRow("nothing: a new file") << QString() << false;
}

// In a folder like /tmp, what another user put in the way is neither followed nor written; what
// is written stays unreadable to others until it replaces the file.
void TestOutput::sharedFolder()
{
    QFETCH(QString, planted);
    QFETCH(bool, refused);
    if (::geteuid() != 0)
        QSKIP("needs root, to plant names as another user (nobody)");
    QVERIFY(QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner | QFile::ExeOther));
    const QString shared = makeSharedFolder(QDir(dir_->path()));
    QVERIFY(!shared.isEmpty());
    const QString victim = dir_->filePath(u"victim.txt"_s);
    writeFile(victim, "the caller's secret");
    const QString target = shared + u"/out.txt"_s;
    if (planted == u"link")
        QCOMPARE(runAsNobody({u"ln"_s, u"-s"_s, victim, target}), 0);
    else if (planted == u"file")
        QCOMPARE(runAsNobody({u"sh"_s, u"-c"_s, u"umask 0; printf planted > \"$0\""_s, target}), 0);
    else if (planted == u"pipe")
        QCOMPARE(runAsNobody({u"mkfifo"_s, u"-m"_s, u"666"_s, target}), 0);
    else if (planted == u"own link")
        QVERIFY(QFile::link(victim, target));
    else if (planted == u"own relative link") // to victim.txt beside the shared folder
        QCOMPARE(::symlink("../victim.txt", QFile::encodeName(target).constData()), 0);

    tavrinel::OutputFile file(target);
    QCOMPARE(file.open(), !refused);
    if (refused) {
        QVERIFY2(file.errorString().contains(u"another user owns in the shared folder"_s),
                 qPrintable(file.errorString()));
        QCOMPARE(fileBytes(victim), QByteArray("the caller's secret"));
        QCOMPARE(entriesIn(shared), QStringList{u"out.txt"_s});
        return;
    }
    QVERIFY(file.write("the result"));
    const QString written = planted.isEmpty() ? shared : dir_->path(); // the link's target's
    const QStringList temporary =
        QDir(written).entryList({u".tavrinel-*"_s}, QDir::Files | QDir::Hidden);
    QCOMPARE(temporary.size(), 1);
    QVERIFY2(runAsNobody({u"cat"_s, written + u'/' + temporary[0]}) != 0,
             "another user read the result while it was written");
    QVERIFY(file.commit());
    QCOMPARE(fileBytes(target), QByteArray("the result"));
    QCOMPARE(QFileInfo(target).isSymLink(), !planted.isEmpty()); // a link stays one
}

void TestOutput::keepsWhatTheFileHad_data()
{
    QTest::addColumn<QString>("file"); // what the file has, and who saves it
    QTest::addColumn<int>("reason");   // of the failure; 0: saved
    QTest::newRow("group-shared, saved by another member") << u"group-shared"_s << 0;
    QTest::newRow("an ACL and an extended attribute") << u"attributes"_s << 0;
    QTest::newRow("a second hard link") << u"two links"_s << 0;
    QTest::newRow("in a folder that takes no new files") << u"closed folder"_s << 0;
    QTest::newRow("in place, on a full disk") << u"full disk"_s << ENOSPC;
}

// A save keeps the file's owner, group, permissions, ACL, attributes and links, by replacing it
// where that keeps them and writing it in place where it would not; a save in place that cannot
// finish leaves the old text.
void TestOutput::keepsWhatTheFileHad()
{
    QFETCH(QString, file);
    QFETCH(int, reason);
    if (::geteuid() != 0)
        QSKIP("needs root, to give files to other users and save as them");
    const FullDisk disk;
    if (file == u"full disk" && !disk.error().isEmpty())
        QSKIP(qPrintable(disk.error()));
    QVERIFY(QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner | QFile::ExeOther));
    const QString folder = file == u"full disk" ? disk.path() : dir_->filePath(u"folder"_s);
    QDir().mkpath(folder);
    const QString path = folder + u"/old.txt"_s;
    const QString other = folder + u"/other.txt"_s;
    const QByteArray old = FullDisk::oldContent();
    const QString text = file == u"full disk" ? QString(10000, u'x') : u"the new text"_s;
    writeFile(path, old);
    const auto name = [](const QString &of) {
        return QFile::encodeName(of);
    };
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    if (file == u"group-shared") { // uid 2001 and uid 2002 share group 3000
        QCOMPARE(::chown(name(folder).constData(), 0, 3000), 0);
        QCOMPARE(::chmod(name(folder).constData(), 02775), 0);
        QCOMPARE(::chown(name(path).constData(), 2002, 3000), 0);
        QCOMPARE(::chmod(name(path).constData(), 0664), 0);
        uid = gid = 2001;
        groups = {3000};
    } else if (file == u"attributes") {
        QCOMPARE(::chmod(name(path).constData(), 0640), 0);
        if (const QString failed = run(u"setfacl"_s, {u"-m"_s, u"u:nobody:rw"_s, path});
            !failed.isEmpty())
            QSKIP(qPrintable(u"no ACL here: "_s + failed));
        if (const QString failed =
                run(u"setfattr"_s, {u"-n"_s, u"user.origin"_s, u"-v"_s, u"scanner"_s, path});
            !failed.isEmpty())
            QSKIP(qPrintable(u"no extended attributes here: "_s + failed));
    } else if (file == u"two links" || file == u"full disk") {
        QCOMPARE(::link(name(path).constData(), name(other).constData()), 0);
    } else if (file == u"closed folder") {
        QCOMPARE(::chown(name(path).constData(), 65534, 65534), 0);
        QCOMPARE(::chmod(name(folder).constData(), 0555), 0);
        uid = gid = 65534;
    }
    struct stat before;
    QCOMPARE(::stat(name(path).constData(), &before), 0);
    const QByteArray acl = attribute(path, "system.posix_acl_access");
    const QByteArray origin = attribute(path, "user.origin");

    const std::optional<QString> message = saveAs(uid, gid, groups, path, text);
    ::chmod(name(folder).constData(), 0755);

    if (reason != 0) {
        QVERIFY(message);
        QVERIFY2(message->endsWith(tavrinel::systemErrorText(reason)), qPrintable(*message));
        QCOMPARE(fileBytes(path), old);
        QCOMPARE(fileBytes(other), old);
        QCOMPARE(disk.entries(), (QStringList{u"old.txt"_s, u"other.txt"_s}));
        return;
    }
    QCOMPARE(message, std::nullopt);
    QCOMPARE(fileBytes(path), text.toUtf8());
    struct stat after;
    QCOMPARE(::stat(name(path).constData(), &after), 0);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(attribute(path, "system.posix_acl_access"), acl);
    QCOMPARE(attribute(path, "user.origin"), origin);
    if (file == u"two links")
        QCOMPARE(fileBytes(other), text.toUtf8());
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(u".tavrinel"_s),
             QStringList());
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    tavrinel::reportWriteLimitsAsErrors(); // as both programs do first
    TestOutput test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_output.moc"
