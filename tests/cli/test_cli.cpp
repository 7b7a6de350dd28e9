#include "cli/article.h"
#include "cli/inputfile.h"
#include "cli/paragraphwriter.h"
#include "memorysink.h"
#include "testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <functional>
#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;
using namespace testfiles;
using testsupport::MemorySink;

// Tests that need what only Linux has (another user, file-size limits, /dev/full, pseudo-
// terminals, descriptors set up in the child, names that are bytes) say so and skip on Windows.
#if defined(Q_OS_WIN)
#define LINUX_ONLY(what) QSKIP("needs " what ", which only Linux has")
#else
#define LINUX_ONLY(what)
#endif

namespace
{

#if defined(Q_OS_WIN)
// No file-size limits on Windows; the type keeps the helpers' signatures the same.
using rlim_t = quint64;
constexpr rlim_t RLIM_INFINITY = ~rlim_t{0};
#endif

// How the tool is run. As an unprivileged user (nobody, when the tests run as root), a folder
// without write permission is really read-only. A file size limit leaves SIGXFSZ at its
// default: the tool must ignore it itself. `setUp` runs in the child last, just before the tool
// starts.
struct RunOptions {
    QByteArray input = {}; // on standard input
    bool unprivileged = false;
    rlim_t fileSizeLimit = RLIM_INFINITY;
    QString folder = {}; // to run in
    int stderrFd = -1;
    std::function<void()> setUp = {};
};

Outcome runCli(const QStringList &arguments, const RunOptions &options = {})
{
    QString program = QStringLiteral(TAVRINEL_CLI_PATH);
#if defined(Q_OS_WIN)
    // A read-only file is read-only for every user; the rest has no Windows counterpart.
    if (options.fileSizeLimit != RLIM_INFINITY || options.stderrFd >= 0 || options.setUp)
        qFatal("runCli: Linux-only set-up asked for on Windows");
#else
    // A copy that an unprivileged user may run: the build folder may be out of its reach.
    QTemporaryDir bin;
    if (options.unprivileged) {
        program = bin.filePath(u"tavrinel-cli"_s);
        const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ExeOwner | QFileDevice::ReadOther |
                              QFileDevice::ExeOther | QFileDevice::ReadGroup |
                              QFileDevice::ExeGroup;
        if (!QFile::copy(QStringLiteral(TAVRINEL_CLI_PATH), program) ||
            !QFile::setPermissions(bin.path(), everyone) ||
            !QFile::setPermissions(program, everyone))
            qFatal("cannot copy tavrinel-cli");
    }
#endif
    return runProgram(program, arguments, options.input, [&options](QProcess &process) {
        process.setWorkingDirectory(options.folder);
#if !defined(Q_OS_WIN)
        process.setChildProcessModifier([&options] {
            if (options.stderrFd >= 0)
                dup2(options.stderrFd, STDERR_FILENO);
            if (options.fileSizeLimit != RLIM_INFINITY) {
                const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            if (options.unprivileged && geteuid() == 0) {
                if (setgid(65534) != 0 || setuid(65534) != 0)
                    _exit(99);
            }
            if (options.setUp)
                options.setUp();
        });
#endif
    });
}

const QByteArray hello = "Hello world. This is a test. End.";

#if defined(Q_OS_WIN)
const QString isFolderReason = u"Filename refers to a directory"_s;
#else
const QString isFolderReason = u"Is a directory"_s;
#endif

// Several hundred kilobytes: more than one block of the writer and more than the file size limit.
QByteArray longArticle()
{
    return QByteArray("Sentence number one. ").repeated(20000);
}

// Articles of a batch by kind, and the paragraph text each gives with the default settings.
const QHash<QString, QByteArray> articles{
    {u"good"_s, hello},
    {u"other"_s, "One. Two. Three. Four."},
    {u"bad"_s, "abc\xFF"},
    {u"locked"_s, hello}, // no permissions at all
    {u"old"_s, "a result from before"},
};
const QHash<QString, QByteArray> paragraphs{
    {u"good"_s, "<p>Hello world.</p><p> This is a test.</p><p> End.</p>"},
    {u"other"_s, "<p>One. Two. Three.</p><p> Four.</p>"},
};

// Splits "left<separator>right".
std::pair<QString, QString> split(const QString &entry, QChar separator)
{
    const qsizetype at = entry.indexOf(separator);
    return {entry.left(at), entry.mid(at + 1)};
}

// Lays out a folder from entries "path=kind" (a file holding that kind of article), "path/"
// (a folder), "path|" (a named pipe) and "path@target" (a symbolic link). Hands it to the
// unprivileged user, so that a locked file is really unreadable for the tool.
void layOut(const QDir &root, const QStringList &entries)
{
    for (const QString &entry : entries) {
        if (entry.endsWith(u'/')) {
            QVERIFY(root.mkpath(entry));
        } else if (entry.contains(u'@')) {
            const auto [link, target] = split(entry, u'@');
            QVERIFY(QFile::link(target, root.filePath(link)));
#if !defined(Q_OS_WIN)
        } else if (entry.endsWith(u'|')) {
            QCOMPARE(mkfifo(QFile::encodeName(root.filePath(entry.chopped(1))).constData(), 0644),
                     0);
#endif
        } else {
            const auto [path, kind] = split(entry, u'=');
            QVERIFY(root.mkpath(QFileInfo(path).path()));
            writeFile(root.filePath(path), articles.value(kind));
        }
    }
#if !defined(Q_OS_WIN)
    if (geteuid() == 0) {
        QDirIterator it(root.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        QVERIFY(lchown(qPrintable(root.path()), 65534, 65534) == 0);
        while (it.hasNext())
            QVERIFY(lchown(qPrintable(it.next()), 65534, 65534) == 0);
    }
#endif
    for (const QString &entry : entries) {
        if (entry.endsWith(u"=locked"_s))
            QVERIFY(QFile::setPermissions(root.filePath(split(entry, u'=').first), {}));
    }
}

// Every file under the folder (symbolic links to folders not followed), relative to it.
QStringList filesIn(const QDir &root)
{
    QStringList files;
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << root.relativeFilePath(it.next());
    files.sort();
    return files;
}

#if !defined(Q_OS_WIN)
// What standard error shows when it is a terminal, as the bytes the tool wrote.
QByteArray readPty(int master)
{
    QByteArray bytes;
    char buffer[4096];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, n);
    return bytes;
}
#endif

// Where a process is in a file it has open; -1 when it has none open.
qint64 readPosition(qint64 pid, const QString &path)
{
    const QDir descriptors(u"/proc/%1/fd"_s.arg(pid));
    for (const QString &fd :
         descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (QFile::symLinkTarget(descriptors.filePath(fd)) != path)
            continue;
        const QByteArray info = fileBytes(u"/proc/%1/fdinfo/%2"_s.arg(pid).arg(fd));
        return info.mid(info.indexOf(':') + 1, info.indexOf('\n') - info.indexOf(':') - 1)
            .trimmed()
            .toLongLong();
    }
    return -1;
}

// What can go wrong around one run of the tool with -o.
enum class Fault {
    ReadOnlyFolder,
    ReadOnlyFile,
    OutputIsFolder,
    OutputFolderMissing,
    OutputLinksToFull,
    FileSizeLimit,
    FileSizeLimitSmallResult,
    FullDiskSmallResult,
    UnreadableInput,
    InputIsFolder,
    InputCutMidSequence,
};

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void generates_data();
    void generates();
    void counts_data();
    void counts();
    void refusesBadInput_data();
    void refusesBadInput();
    void readsAndWritesFiles();
    void chineseFileNamesWithSpaces_data();
    void chineseFileNamesWithSpaces();
    void failedWriteLeavesNothingBehind_data();
    void failedWriteLeavesNothingBehind();
    void largeArticleStreamsIntact();
    void batch_data();
    void batch();
    void batchProgressOnlyOnTerminal_data();
    void batchProgressOnlyOnTerminal();
    void countsSeveral_data();
    void countsSeveral();
    void faultsLeaveNothingBehind_data();
    void faultsLeaveNothingBehind();
    void writerReplacesLoneSurrogates_data();
    void writerReplacesLoneSurrogates();
    void writerStopsAtFailingDevice();
    void standardStreamFaults_data();
    void standardStreamFaults();
    void outputNamingStandardOutputAddsToIt();
    void readsStandardInputFromItsPosition();
    void fileNamesAreBytes_data();
    void fileNamesAreBytes();
    void batchOnFullDisk();
    void inputChangedWhileRead_data();
    void inputChangedWhileRead();
    void lateInvalidByteOnStandardOutput();
    void writerEscapesHtml();
    void fileCutShortWhileConverted();
    void readsEncodings_data();
    void readsEncodings();
    void sharedFolderRefusals_data();
    void sharedFolderRefusals();
    void outputThatIsInput_data();
    void outputThatIsInput();
    void signalMidWriteRemovesTemporary_data();
    void signalMidWriteRemovesTemporary();
    void readsFilesThatReportNoSize();
    void cutShortMidCharacterIsAChange();

private:
    std::unique_ptr<QTemporaryDir> dir_; // a folder of the test's own
};

void TestCli::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

// Back to a folder its owner may empty, whatever the test made of it.
void TestCli::cleanup()
{
    QFile::setPermissions(dir_->path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    dir_.reset();
}

void TestCli::generates_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("defaults") << QStringList() << hello
                              << QByteArray(
                                     "<p>Hello world.</p><p> This is a test.</p><p> End.</p>");
    QTest::newRow("word-complete")
        << QStringList{u"--complete"_s, u"word"_s} << hello
        << QByteArray("<p>Hello world.</p><p> This is a </p><p>test. End.</p>");
    QTest::newRow("by sentences") << QStringList{u"--by"_s, u"sentences"_s, u"--size"_s, u"2"_s}
                                  << QByteArray("One. Two. Three. Four. Five")
                                  << QByteArray("<p>One. Two.</p><p> Three. Four.</p><p> Five</p>");
    QTest::newRow("size text rounds and trims")
        << QStringList{u"--size= 2.5 "_s, u"--by=sentences"_s} << QByteArray("x.y.z")
        << QByteArray("<p>x.y.</p><p>z</p>");
    QTest::newRow("stdin as -") << QStringList{u"--size"_s, u"3"_s, u"--complete"_s, u"word"_s,
                                               u"-"_s}
                                << QByteArray("aaa b") << QByteArray("<p>aaa </p><p>b</p>");
    QTest::newRow("BOM skipped, CR LF kept") << QStringList{u"--size"_s, u"4"_s}
                                             << QByteArray("\xEF\xBB\xBF"
                                                           "ab\r\ncd. ef")
                                             << QByteArray("<p>ab\r\ncd.</p><p> ef</p>");
    // Windows would end reading at Ctrl+Z and translate line ends, on standard streams.
    QTest::newRow("line ends and Ctrl+Z pass through")
        << QStringList{u"--size"_s, u"2"_s} << QByteArray("a\n.b\r\n\x1A.c\r")
        << QByteArray("<p>a\n.</p><p>b\r\n\x1A.</p><p>c\r</p>");
    QTest::newRow("spaces trimmed, tabs kept")
        << QStringList() << QByteArray("   \tab  ") << QByteArray("<p>\tab</p>");
    QTest::newRow("empty") << QStringList() << QByteArray() << QByteArray();
    QTest::newRow("Chinese and emoji")
        << QStringList{u"--size"_s, u"2"_s} << QByteArray("你好。世界.\xF0\x9F\x98\x80! 再见")
        << QByteArray("<p>你好。世界.</p><p>\xF0\x9F\x98\x80!</p><p> 再见</p>");
    QTest::newRow("sentence size 0 takes all")
        << QStringList{u"--by"_s, u"sentences"_s, u"--size"_s, u"0"_s} << hello
        << QByteArray("<p>") + hello + QByteArray("</p>");
    QTest::newRow("--escape-html, cut as written")
        << QStringList{u"--escape-html"_s, u"--size"_s, u"3"_s} << QByteArray(R"(a<b. "c" & d)")
        << QByteArray("<p>a&lt;b.</p><p> &quot;c&quot; &amp; d</p>");
    QTest::newRow("--encoding utf-8 is obeyed, a NUL and all")
        << QStringList{u"--encoding"_s, u"utf-8"_s}
        << QByteArray("Hello") + '\0' + " world. This is a test."
        << QByteArray("<p>Hello") + '\0' + " world.</p><p> This is a test.</p>";
    QTest::newRow("inline HTML passes without it")
        << QStringList{u"--size"_s, u"3"_s} << QByteArray("a<i>b</i>. c")
        << QByteArray("<p>a<i>b</i>.</p><p> c</p>");
    // The rule for Chinese text reaches both readers: the engine, and the counts of decoded text.
    const QString chinese = u"今天天气很好。我们去公园散步吧！你觉得怎么样？好的，我们走。"_s;
    QTest::newRow("--breaks cjk")
        << QStringList{u"--breaks"_s, u"cjk"_s} << chinese.toUtf8()
        << u"<p>今天天气很好。我们去公园散步吧！</p><p>你觉得怎么样？好的，我们走。</p>"_s.toUtf8();
    QTest::newRow("--stats --breaks cjk, decoded")
        << QStringList{u"--stats"_s, u"--breaks=cjk"_s, u"--encoding=utf-16le"_s}
        << QByteArray(reinterpret_cast<const char *>(chinese.utf16()), chinese.size() * 2)
        << QByteArray("characters: 30\nsentences: 4\n");
}

void TestCli::generates()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    const Outcome outcome = runCli(arguments, {.input = input});
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.out, output);
}

void TestCli::counts_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("four sentences")
        << QByteArray("Hi? Yes! No; ok.") << QByteArray("characters: 16\nsentences: 4\n");
    QTest::newRow("empty") << QByteArray() << QByteArray("characters: 0\nsentences: 1\n");
    QTest::newRow("CR LF counts two")
        << QByteArray("ab\r\ncd") << QByteArray("characters: 6\nsentences: 1\n");
    QTest::newRow("lone LF counts one")
        << QByteArray("ab\ncd") << QByteArray("characters: 5\nsentences: 1\n");
    QTest::newRow("BOM not counted") << QByteArray("\xEF\xBB\xBF"
                                                   "a. ")
                                     << QByteArray("characters: 3\nsentences: 2\n");
    QTest::newRow("surrogate pair counts two")
        << QByteArray("\xF0\x9F\x98\x80") << QByteArray("characters: 2\nsentences: 1\n");
}

void TestCli::counts()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    const Outcome outcome = runCli({u"--stats"_s, u"--size"_s, u"not used"_s}, {.input = input});
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.out, output);
}

void TestCli::refusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("size not a number")
        << QStringList{u"--size"_s, u"abc"_s} << hello << 2 << u"size 'abc' is not a number"_s;
    QTest::newRow("size exponent")
        << QStringList{u"--size"_s, u"1e3"_s} << hello << 2 << u"is not a number"_s;
    QTest::newRow("size out of range")
        << QStringList{u"--size"_s, u"40000"_s} << hello << 2 << u"size '40000' is out of range"_s;
    QTest::newRow("size rounds out of range")
        << QStringList{u"--size"_s, u"32767.5"_s} << hello << 2 << u"out of range"_s;
    QTest::newRow("invalid byte") << QStringList()
                                  << QByteArray("abc\xFF"
                                                "def")
                                  << 2 << u"standard input: invalid UTF-8 at byte offset 3"_s;
    QTest::newRow("cut off at the end") << QStringList() << QByteArray("ab\xF0\x9F\x98") << 2
                                        << u"invalid UTF-8 at byte offset 2"_s;
    QTest::newRow("overlong") << QStringList() << QByteArray("a\xC0\xAF\xFF") << 2
                              << u"invalid UTF-8 at byte offset 1"_s;
    QTest::newRow("overlong three bytes") << QStringList()
                                          << QByteArray("ab\xE0\x80\x80"
                                                        "cd")
                                          << 2 << u"invalid UTF-8 at byte offset 2"_s;
    QTest::newRow("encoded surrogate") << QStringList() << QByteArray("ab\xED\xA0\x80") << 2
                                       << u"invalid UTF-8 at byte offset 2"_s;
    QTest::newRow("offset counts the BOM") << QStringList() << QByteArray("\xEF\xBB\xBFx\x80") << 2
                                           << u"invalid UTF-8 at byte offset 4"_s;
    QTest::newRow("bad --by") << QStringList{u"--by"_s, u"words"_s} << hello << 2
                              << u"--by takes 'chars' or 'sentences'"_s;
    QTest::newRow("bad --complete") << QStringList{u"--complete"_s, u"letter"_s} << hello << 2
                                    << u"--complete takes 'sentence' or 'word'"_s;
    QTest::newRow("unknown option")
        << QStringList{u"--frobnicate"_s} << hello << 2 << u"frobnicate"_s;
    QTest::newRow("two inputs") << QStringList{u"a"_s, u"b"_s} << hello << 2
                                << u"at most one input"_s;
    QTest::newRow("-o with an empty name")
        << QStringList{u"-o"_s, QString()} << hello << 2 << u"-o needs a file name."_s;
    QTest::newRow("--out-dir with -o")
        << QStringList{u"--out-dir"_s, u"/tmp"_s, u"-o"_s, u"x"_s, u"a"_s} << hello << 2
        << u"--out-dir does not go with --stats or -o"_s;
    QTest::newRow("--out-dir with --stats")
        << QStringList{u"--stats"_s, u"--out-dir"_s, u"/tmp"_s, u"a"_s} << hello << 2
        << u"--out-dir does not go with --stats or -o"_s;
    QTest::newRow("--out-dir without files")
        << QStringList{u"--out-dir"_s, u"/tmp"_s} << hello << 2 << u"--out-dir needs input FILEs"_s;
    QTest::newRow("--out-dir reading standard input")
        << QStringList{u"--out-dir"_s, u"/tmp"_s, u"-"_s} << hello << 2 << u"not standard input"_s;
    QTest::newRow("--out-dir empty")
        << QStringList{u"--out-dir="_s, u"a"_s} << hello << 2 << u"--out-dir needs a folder"_s;
    QTest::newRow("--out-dir missing")
        << QStringList{u"--out-dir"_s, u"/nonexistent"_s, u"a"_s} << hello << 1
        << u"cannot write to /nonexistent: no such folder"_s;
#if !defined(Q_OS_WIN)
    QTest::newRow("--out-dir is a file")
        << QStringList{u"--out-dir"_s, u"/dev/null"_s, u"a"_s} << hello << 1
        << u"cannot write to /dev/null: not a folder"_s;
#endif
    QTest::newRow("bad size stops the batch before any file")
        << QStringList{u"--size"_s, u"x"_s, u"--out-dir"_s, u"/nonexistent"_s, u"a"_s} << hello << 2
        << u"size 'x' is not a number"_s;
    QTest::newRow("missing input") << QStringList{u"/nonexistent/article.txt"_s} << hello << 1
                                   << u"cannot read /nonexistent/article.txt"_s;
    QTest::newRow("input is a folder")
        << QStringList{QDir::tempPath()} << hello << 1 << u"cannot read"_s;
    QTest::newRow("output into a missing folder")
        << QStringList{u"-o"_s, u"/nonexistent/out.txt"_s} << hello << 1
        << u"cannot write /nonexistent/out.txt"_s;
#if !defined(Q_OS_WIN)
    QTest::newRow("disk full") << QStringList{u"-o"_s, u"/dev/full"_s} << hello << 1
                               << u"cannot write /dev/full"_s;
#endif
}

void TestCli::refusesBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const Outcome outcome = runCli(arguments, {.input = input});
    QCOMPARE(outcome.exitCode, exitCode);
    QCOMPARE(outcome.out, QByteArray());
    const QString err = QString::fromUtf8(outcome.err);
    QVERIFY2(err.startsWith(u"tavrinel-cli: "_s), qPrintable(err));
    QVERIFY2(err.contains(QDir::toNativeSeparators(message)), qPrintable(err));
}

void TestCli::readsAndWritesFiles()
{
    const QString input = dir_->filePath(u"文章.txt"_s);
    const QString output = dir_->filePath(u"out.txt"_s);
    writeFile(input, "\xEF\xBB\xBF"
                     "Hi. X");
    writeFile(output, "old content that is longer than the new");
    const Outcome outcome = runCli({u"--size"_s, u"2"_s, u"-o"_s, output, input});
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.out, QByteArray());
    QCOMPARE(fileBytes(output), QByteArray("<p>Hi.</p><p> X</p>"));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files).size(), 2);
}

void TestCli::chineseFileNamesWithSpaces_data()
{
    QTest::addColumn<QStringList>(
        "arguments"); // run in a folder holding 文章 一.txt and 输出 目录/
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("createdFile"); // holding the paragraphs
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    const QByteArray paragraphs = "<p>Hi.</p><p> X</p>";
    QTest::newRow("input") << QStringList{u"--size"_s, u"2"_s, u"文章 一.txt"_s} << 0 << QString()
                           << paragraphs << QByteArray();
    QTest::newRow("-o") << QStringList{u"--size"_s, u"2"_s, u"-o"_s, u"结果 一.txt"_s,
                                       u"文章 一.txt"_s}
                        << 0 << u"结果 一.txt"_s << QByteArray() << QByteArray();
    QTest::newRow("--out-dir") << QStringList{u"--size"_s, u"2"_s, u"--out-dir"_s, u"输出 目录"_s,
                                              u"文章 一.txt"_s}
                               << 0 << u"输出 目录/文章 一.txt"_s << QByteArray() << QByteArray();
    QTest::newRow("missing, named in the message")
        << QStringList{u"缺少 文件.txt"_s} << 1 << QString() << QByteArray()
        << QByteArray("tavrinel-cli: cannot read 缺少 文件.txt: No such file or directory\n");
}

// Names with Chinese characters and spaces, as arguments and in messages (UTF-8 on standard
// error).
void TestCli::chineseFileNamesWithSpaces()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, createdFile);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    writeFile(dir_->filePath(u"文章 一.txt"_s), "Hi. X");
    QVERIFY(QDir(dir_->path()).mkdir(u"输出 目录"_s));
    const Outcome outcome = runCli(arguments, {.folder = dir_->path()});
    QCOMPARE(outcome.exitCode, exitCode);
    QCOMPARE(outcome.out, out);
    QCOMPARE(outcome.err, err);
    if (!createdFile.isEmpty())
        QCOMPARE(fileBytes(dir_->filePath(createdFile)), QByteArray("<p>Hi.</p><p> X</p>"));
}

void TestCli::failedWriteLeavesNothingBehind_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::newRow("read-only folder") << true;
    QTest::newRow("file size limit reached mid-write") << false;
}

void TestCli::failedWriteLeavesNothingBehind()
{
    LINUX_ONLY("read-only folders and file-size limits");
    QFETCH(bool, readOnlyFolder);
    const QString output = dir_->filePath(u"out.txt"_s);
    const QByteArray old = "the file as it was";
    writeFile(output, old);
    const QByteArray article = longArticle();

    if (readOnlyFolder)
        QVERIFY(QFile::setPermissions(dir_->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                        QFileDevice::ReadOther |
                                                        QFileDevice::ExeOther));
    const Outcome outcome =
        runCli({u"-o"_s, output}, readOnlyFolder
                                      ? RunOptions{.input = article, .unprivileged = true}
                                      : RunOptions{.input = article, .fileSizeLimit = 64 * 1024});
    QCOMPARE(outcome.exitCode, 1);
    QVERIFY2(outcome.err.contains("cannot write"), outcome.err.constData());
    QCOMPARE(fileBytes(output), old);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"out.txt"_s});
}

void TestCli::largeArticleStreamsIntact()
{
    // Larger than the writer's block, with surrogate pairs and CJK on every block boundary.
    QByteArray article;
    for (int i = 0; i < 30000; ++i)
        article += "ab\xF0\x9F\x98\x80 你好, ";
    const Outcome outcome = runCli({u"--size"_s, u"-1"_s}, {.input = article});
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.out, "<p>" + article.trimmed() + "</p>");
    const Outcome words =
        runCli({u"--size"_s, u"7"_s, u"--complete"_s, u"word"_s}, {.input = article});
    QCOMPARE(words.exitCode, 0);
    QByteArray joined = words.out;
    joined.replace("<p>", "").replace("</p>", "");
    QCOMPARE(joined, article.trimmed());
}

void TestCli::batch_data()
{
    QTest::addColumn<QStringList>("layout");    // see layOut()
    QTest::addColumn<QStringList>("arguments"); // run in the laid-out folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("results");  // "path=kind": the paragraphs of that kind
    QTest::addColumn<QStringList>("messages"); // on standard error; none: it stays empty

    QTest::newRow("good, invalid, unreadable and missing into another folder")
        << QStringList{u"in/a.txt=good"_s, u"in/b.md=other"_s, u"in/c.txt=bad"_s,
                       u"in/d.txt=locked"_s, u"out/"_s}
        << QStringList{u"--out-dir"_s, u"out"_s,      u"in/a.txt"_s, u"in/b.md"_s,
                       u"in/c.txt"_s,  u"in/d.txt"_s, u"in/e.txt"_s}
        << 1 << QStringList{u"out/a.txt=good"_s, u"out/b.txt=other"_s}
        << QStringList{u"tavrinel-cli: in/c.txt: invalid UTF-8 at byte offset 3\n"_s,
                       u"tavrinel-cli: cannot read in/d.txt: "_s,
                       u"tavrinel-cli: cannot read in/e.txt: "_s,
                       u"tavrinel-cli: 3 of 5 files failed\n"_s};
    QTest::newRow("only bad input fails: exit 2")
        << QStringList{u"a.txt=good"_s, u"c.txt=bad"_s, u"out/"_s}
        << QStringList{u"--out-dir"_s, u"out"_s, u"a.txt"_s, u"c.txt"_s} << 2
        << QStringList{u"out/a.txt=good"_s}
        << QStringList{u"c.txt: invalid UTF-8"_s, u"1 of 2 files failed"_s};
    QTest::newRow("own folder: a.txt is not written over itself")
        << QStringList{u"a.txt=good"_s, u"b.md=other"_s}
        << QStringList{u"--out-dir"_s, u"."_s, u"a.txt"_s, u"b.md"_s} << 2
        << QStringList{u"b.txt=other"_s}
        << QStringList{u"a.txt: not converted: its result ./a.txt would replace an input file"_s};
    QTest::newRow("own folder: x.md's result is the input x.txt")
        << QStringList{u"x.md=other"_s, u"x.txt=good"_s}
        << QStringList{u"--out-dir"_s, u"."_s, u"x.md"_s, u"x.txt"_s} << 2 << QStringList()
        << QStringList{u"x.md: not converted"_s, u"x.txt: not converted"_s,
                       u"2 of 2 files failed"_s};
    QTest::newRow("own folder spelled through a symbolic link")
        << QStringList{u"in/a.txt=good"_s, u"link@in"_s}
        << QStringList{u"--out-dir"_s, u"link"_s, u"in/a.txt"_s} << 2 << QStringList()
        << QStringList{u"would replace an input file"_s};
    QTest::newRow("result a symbolic link to an input")
        << QStringList{u"in/a.md=good"_s, u"in/b.txt=other"_s, u"out/"_s,
                       u"out/a.txt@../in/b.txt"_s}
        << QStringList{u"--out-dir"_s, u"out"_s, u"in/a.md"_s, u"in/b.txt"_s} << 2
        << QStringList{u"out/b.txt=other"_s}
        << QStringList{u"in/a.md: not converted: its result out/a.txt would replace an input"_s};
    QTest::newRow("two inputs, one result name: the first keeps it")
        << QStringList{u"one/a.md=good"_s, u"two/a.txt=other"_s, u"out/"_s}
        << QStringList{u"--out-dir"_s, u"out"_s, u"one/a.md"_s, u"two/a.txt"_s} << 2
        << QStringList{u"out/a.txt=good"_s}
        << QStringList{
               u"two/a.txt: not converted: its result out/a.txt is already that of one/a.md"_s};
    QTest::newRow("the same file twice is converted once")
        << QStringList{u"a.txt=good"_s, u"out/"_s}
        << QStringList{u"--out-dir"_s, u"out"_s, u"a.txt"_s, u"./a.txt"_s} << 0
        << QStringList{u"out/a.txt=good"_s} << QStringList();
    QTest::newRow("an earlier result that is no input is replaced")
        << QStringList{u"a=good"_s, u".hidden.md=other"_s, u"out/a.txt=old"_s}
        << QStringList{u"--out-dir"_s, u"out/"_s, u"a"_s, u".hidden.md"_s} << 0
        << QStringList{u"out/a.txt=good"_s, u"out/.hidden.txt=other"_s} << QStringList();
    QTest::newRow("a leading dot is no extension")
        << QStringList{u".notes=good"_s, u"out/"_s}
        << QStringList{u"--out-dir"_s, u"out"_s, u".notes"_s} << 0
        << QStringList{u"out/.notes.txt=good"_s} << QStringList();
    QTest::newRow("a failing file given twice fails once")
        << QStringList{u"c.txt=bad"_s, u"out/"_s}
        << QStringList{u"--out-dir"_s, u"out"_s, u"c.txt"_s, u"./c.txt"_s} << 2 << QStringList()
        << QStringList{u"c.txt: invalid UTF-8"_s, u"1 of 2 files failed"_s};
    QTest::newRow("a result's name taken by a folder")
        << QStringList{u"a.txt=good"_s, u"out/a.txt/"_s}
        << QStringList{u"--out-dir"_s, u"out"_s, u"a.txt"_s} << 1 << QStringList()
        << QStringList{u"cannot write out/a.txt: "_s + isFolderReason, u"1 of 1 files failed"_s};
    QTest::newRow("a result's name taken by a pipe: no wait, the others go on")
        << QStringList{u"a.txt=good"_s, u"b.txt=other"_s, u"out/"_s, u"out/a.txt|"_s}
        << QStringList{u"--out-dir"_s, u"out"_s, u"a.txt"_s, u"b.txt"_s} << 1
        << QStringList{u"out/b.txt=other"_s}
        << QStringList{u"cannot write out/a.txt: not a regular file"_s, u"1 of 2 files failed"_s};
    QTest::newRow("the same settings for every file")
        << QStringList{u"a.txt=good"_s, u"b.txt=other"_s, u"out/"_s}
        << QStringList{u"--by"_s,      u"sentences"_s, u"--size"_s, u"0"_s,
                       u"--out-dir"_s, u"out"_s,       u"a.txt"_s,  u"b.txt"_s}
        << 0
        << QStringList{u"out/a.txt=<p>"_s + QString::fromUtf8(hello) + u"</p>"_s,
                       u"out/b.txt=<p>One. Two. Three. Four.</p>"_s}
        << QStringList();
}

void TestCli::batch()
{
    QFETCH(QStringList, layout);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, results);
    QFETCH(QStringList, messages);
#if defined(Q_OS_WIN)
    if (layout.join(u' ').contains(u"=locked"_s) || layout.join(u' ').contains(u'@') ||
        layout.join(u' ').contains(u'|'))
        LINUX_ONLY("unreadable files, symbolic links and named pipes");
#endif
    const QDir root(dir_->path());
    layOut(root, layout);
    if (QTest::currentTestFailed())
        return;

    const Outcome outcome = runCli(arguments, {.unprivileged = true, .folder = dir_->path()});

    const QString err = QString::fromUtf8(outcome.err);
    QCOMPARE(outcome.exitCode, exitCode);
    QCOMPARE(outcome.out, QByteArray());
    for (const QString &message : messages) // each failure reported once
        QVERIFY2(err.count(QDir::toNativeSeparators(message)) == 1, qPrintable(err));
    if (messages.isEmpty())
        QCOMPARE(err, QString());

    // Results hold their paragraphs; every other file, also through a link, is as it was;
    // nothing else appeared.
    QHash<QString, QByteArray> expected;
    for (const QString &entry : layout) {
        if (entry.contains(u'=')) {
            const auto [path, kind] = split(entry, u'=');
            expected.insert(path, articles.value(kind));
        }
    }
    for (const QString &entry : layout) {
        const auto [link, target] = split(entry, u'@');
        const QString resolved = QDir::cleanPath(QFileInfo(link).path() + u'/' + target);
        if (entry.contains(u'@') && expected.contains(resolved))
            expected.insert(link, expected.value(resolved));
    }
    for (const QString &result : results) {
        const auto [path, kind] = split(result, u'=');
        expected.insert(path, paragraphs.value(kind, kind.toUtf8()));
    }
    QStringList pipes; // still there, and not to be opened
    for (const QString &entry : layout) {
        if (entry.endsWith(u'|'))
            pipes << entry.chopped(1);
    }
    const QStringList files = filesIn(root);
    QStringList expectedFiles = expected.keys() + pipes;
    expectedFiles.sort();
    QCOMPARE(files, expectedFiles);
    for (const QString &file : expected.keys())
        QCOMPARE(fileBytes(root.filePath(file)), expected.value(file));
}

void TestCli::batchProgressOnlyOnTerminal_data()
{
    QTest::addColumn<QStringList>("files"); // in a folder holding a.txt and the invalid b.txt
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArrayList>("terminal"); // among what a terminal shows
    QTest::addColumn<QByteArray>("piped");        // standard error as a pipe: the messages only

    QTest::newRow("a good and a bad file")
        << QStringList{u"a.txt"_s, u"b.txt"_s} << 2
        << QByteArrayList{"0 of 2 files, 0 bytes of 37 bytes", "1 of 2 files, 33 bytes of 37 bytes",
                          // the message on a line of its own, not after the progress text
                          "\r\x1b[Ktavrinel-cli: b.txt: invalid UTF-8",
                          "2 of 2 files, 37 bytes of 37 bytes\r\n"}
        << QByteArray("tavrinel-cli: b.txt: invalid UTF-8 at byte offset 3\n"
                      "tavrinel-cli: 1 of 2 files failed\n");
    QTest::newRow("a file given twice is read once")
        << QStringList{u"a.txt"_s, u"./a.txt"_s} << 0
        << QByteArrayList{"0 of 2 files, 0 bytes of 33 bytes",
                          "2 of 2 files, 33 bytes of 33 bytes\r\n"}
        << QByteArray();
}

void TestCli::batchProgressOnlyOnTerminal()
{
    LINUX_ONLY("a pseudo-terminal");
#if !defined(Q_OS_WIN)
    QFETCH(QStringList, files);
    QFETCH(int, exitCode);
    QFETCH(QByteArrayList, terminal);
    QFETCH(QByteArray, piped);
    const QDir root(dir_->path());
    writeFile(root.filePath(u"a.txt"_s), hello);
    writeFile(root.filePath(u"b.txt"_s), "bad\xFF");
    QVERIFY(root.mkdir(u"out"_s));
    const QStringList arguments = QStringList{u"--out-dir"_s, u"out"_s} + files;

    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        QSKIP("no pseudo-terminal here (/dev/pts not mounted)");
    const Outcome outcome = runCli(arguments, {.folder = dir_->path(), .stderrFd = slave});
    close(slave);
    fcntl(master, F_SETFL, O_NONBLOCK);
    const QByteArray shown = readPty(master);
    close(master);
    QCOMPARE(outcome.exitCode, exitCode);
    for (const QByteArray &part : terminal)
        QVERIFY2(shown.contains(part), shown.constData());
    QCOMPARE(runCli(arguments, {.folder = dir_->path()}).err, piped);
#endif
}

void TestCli::countsSeveral_data()
{
    QTest::addColumn<QStringList>("files"); // in a folder holding a.txt, b.txt and bad.txt
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("message");

    QTest::newRow("one file: no header")
        << QStringList{u"a.txt"_s} << 0 << QByteArray("characters: 33\nsentences: 3\n")
        << QString();
    QTest::newRow("two files") << QStringList{u"a.txt"_s, u"b.txt"_s} << 0
                               << QByteArray("==> a.txt <==\ncharacters: 33\nsentences: 3\n\n"
                                             "==> b.txt <==\ncharacters: 4\nsentences: 1\n")
                               << QString();
    QTest::newRow("standard input among them")
        << QStringList{u"-"_s, u"b.txt"_s} << 0
        << QByteArray("==> standard input <==\ncharacters: 2\nsentences: 1\n\n"
                      "==> b.txt <==\ncharacters: 4\nsentences: 1\n")
        << QString();
    QTest::newRow("a bad file is reported, the others counted")
        << QStringList{u"bad.txt"_s, u"a.txt"_s} << 2
        << QByteArray("==> a.txt <==\ncharacters: 33\nsentences: 3\n")
        << u"tavrinel-cli: bad.txt: invalid UTF-8 at byte offset 1\n"_s;
    QTest::newRow("a missing file outweighs a bad one")
        << QStringList{u"bad.txt"_s, u"missing.txt"_s, u"b.txt"_s} << 1
        << QByteArray("==> b.txt <==\ncharacters: 4\nsentences: 1\n")
        << u"cannot read missing.txt"_s;
}

void TestCli::countsSeveral()
{
    QFETCH(QStringList, files);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    QFETCH(QString, message);
    writeFile(dir_->filePath(u"a.txt"_s), hello);
    writeFile(dir_->filePath(u"b.txt"_s), "\xEF\xBB\xBF"
                                          "a\r\nb");
    writeFile(dir_->filePath(u"bad.txt"_s), "a\xC0\xAF\xFF");
    const Outcome outcome =
        runCli(QStringList{u"--stats"_s} + files, {.input = "x.", .folder = dir_->path()});
    QCOMPARE(outcome.exitCode, exitCode);
    QCOMPARE(outcome.out, output);
    const QString err = QString::fromUtf8(outcome.err);
    QVERIFY2(message.isEmpty() ? err.isEmpty() : err.contains(message), qPrintable(err));
}

void TestCli::faultsLeaveNothingBehind_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<bool>("existingOutput");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("read-only folder, new file")
        << Fault::ReadOnlyFolder << false << 1 << u"out.txt: cannot create a file in"_s;
    QTest::newRow("read-only file") << Fault::ReadOnlyFile << true << 1 << u"cannot write"_s;
    QTest::newRow("output is a folder") << Fault::OutputIsFolder << true << 1 << u"cannot write"_s;
    QTest::newRow("output folder missing")
        << Fault::OutputFolderMissing << true << 1 << u"cannot write"_s;
    QTest::newRow("output links to /dev/full")
        << Fault::OutputLinksToFull << true << 1 << u"cannot write"_s;
    QTest::newRow("file size limit, new file")
        << Fault::FileSizeLimit << false << 1 << u"cannot write"_s;
    // A result small enough for any write buffer fails only where every write is checked.
    QTest::newRow("file size limit, small result")
        << Fault::FileSizeLimitSmallResult << true << 1 << u"out.txt: File too large"_s;
    QTest::newRow("full disk, small result")
        << Fault::FullDiskSmallResult << false << 1 << u"old.txt: No space left on device"_s;
    QTest::newRow("unreadable input") << Fault::UnreadableInput << true << 1 << u"cannot read"_s;
    QTest::newRow("input is a folder") << Fault::InputIsFolder << true << 1 << u"cannot read"_s;
    QTest::newRow("input cut mid UTF-8 sequence")
        << Fault::InputCutMidSequence << true << 2
        << u"invalid UTF-8 at byte offset %1"_s.arg(longArticle().size());
}

// Every failure is reported, exits non-zero and leaves the folder as it was: no partial or
// temporary file, an existing output untouched, and /dev/full still the device.
void TestCli::faultsLeaveNothingBehind()
{
    QFETCH(Fault, fault);
    QFETCH(bool, existingOutput);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
#if defined(Q_OS_WIN)
    // A read-only file is refused for everyone there; the other faults need Linux.
    if (!QList{Fault::ReadOnlyFile, Fault::OutputIsFolder, Fault::OutputFolderMissing,
               Fault::InputIsFolder, Fault::InputCutMidSequence}
             .contains(fault))
        LINUX_ONLY("another user, /dev/full, a file-size limit or a full tmpfs");
#else
    const FullDisk disk;
#endif
    QString input = dir_->filePath(u"article.txt"_s);
    QString output = dir_->filePath(u"out.txt"_s);
    const QByteArray old = "the file as it was";
    writeFile(input, longArticle());
    if (existingOutput)
        writeFile(output, old);

    using P = QFileDevice;
    RunOptions options;
    switch (fault) {
    case Fault::ReadOnlyFolder:
        QVERIFY(QFile::setPermissions(dir_->path(),
                                      P::ReadOwner | P::ExeOwner | P::ReadOther | P::ExeOther));
        options.unprivileged = true;
        break;
    case Fault::ReadOnlyFile: // in a folder anyone may write to
        QVERIFY(QFile::setPermissions(output, P::ReadOwner | P::ReadOther));
        QVERIFY(QFile::setPermissions(dir_->path(), P::ReadOwner | P::WriteOwner | P::ExeOwner |
                                                        P::ReadOther | P::WriteOther |
                                                        P::ExeOther));
        options.unprivileged = true;
        break;
    case Fault::OutputIsFolder:
        output = dir_->filePath(u"folder"_s);
        QVERIFY(QDir(dir_->path()).mkdir(u"folder"_s));
        break;
    case Fault::OutputFolderMissing:
        output = dir_->filePath(u"missing/out.txt"_s);
        break;
    case Fault::OutputLinksToFull:
        output = dir_->filePath(u"full"_s);
        QVERIFY(QFile::link(u"/dev/full"_s, output));
        break;
    case Fault::FileSizeLimit:
        options.fileSizeLimit = 64 * 1024;
        break;
    case Fault::FileSizeLimitSmallResult:
        writeFile(input, "Hi. There.");
        options.fileSizeLimit = 0;
        break;
    case Fault::FullDiskSmallResult:
#if !defined(Q_OS_WIN)
        if (!disk.error().isEmpty())
            QSKIP(qPrintable(disk.error()));
        writeFile(input, "Hi. There.");
        output = disk.filePath(u"old.txt"_s);
#endif
        break;
    case Fault::UnreadableInput:
        QVERIFY(QFile::setPermissions(input, {}));
        QVERIFY(QFile::setPermissions(dir_->path(), P::ReadOwner | P::WriteOwner | P::ExeOwner |
                                                        P::ReadOther | P::ExeOther));
        options.unprivileged = true;
        break;
    case Fault::InputIsFolder:
        input = dir_->filePath(u"folder"_s);
        QVERIFY(QDir(dir_->path()).mkdir(u"folder"_s));
        break;
    case Fault::InputCutMidSequence:
        writeFile(input, longArticle() + "\xE4\xBD"); // the first two bytes of 你
        break;
    }
    const QStringList before = entriesIn(dir_->path());

    const Outcome outcome = runCli({u"-o"_s, output, input}, options);

    QCOMPARE(outcome.exitCode, exitCode);
    QCOMPARE(outcome.out, QByteArray());
    const QString err = QString::fromUtf8(outcome.err);
    QVERIFY2(err.startsWith(u"tavrinel-cli: "_s) && err.contains(message), qPrintable(err));
    QCOMPARE(entriesIn(dir_->path()), before);
    if (existingOutput)
        QCOMPARE(fileBytes(dir_->filePath(u"out.txt"_s)), old);
#if !defined(Q_OS_WIN)
    if (fault == Fault::FullDiskSmallResult) {
        QCOMPARE(disk.entries(), QStringList{u"old.txt"_s});
        QCOMPARE(fileBytes(output), FullDisk::oldContent());
    }
    QVERIFY(isCharacterDevice("/dev/full"));
#endif
}

void TestCli::writerReplacesLoneSurrogates_data()
{
    QTest::addColumn<QString>("paragraph");
    QTest::addColumn<QByteArray>("utf8");

    const auto units = [](std::u16string_view text) {
        return QString::fromUtf16(text.data(), qsizetype(text.size()));
    };
    const QByteArray replacement = "\xEF\xBF\xBD"; // U+FFFD
    QTest::newRow("pair kept") << units(u"a\xD83D\xDE00") << QByteArray("a\xF0\x9F\x98\x80");
    QTest::newRow("lone high") << units(u"a\xD800z") << "a" + replacement + "z";
    QTest::newRow("lone low") << units(u"\xDC00z") << replacement + "z";
    QTest::newRow("low before high") << units(u"\xDC00\xD800") << replacement + replacement;
    QTest::newRow("high at the paragraph's end") << units(u"ab\xD800") << "ab" + replacement;

    // Paragraphs longer than the writer's block are encoded a block at a time.
    const QString a(65535, u'a');
    QTest::newRow("lone high ends a block")
        << a + units(u"\xD800z") << QByteArray(65535, 'a') + replacement + "z";
    QTest::newRow("pair split by blocks")
        << a + units(u"\xD800\xDC00") << QByteArray(65535, 'a') + "\xF0\x90\x80\x80";
    QTest::newRow("lone high ends a long paragraph")
        << QString(70000, u'a') + units(u"\xD800") << QByteArray(70000, 'a') + replacement;
}

// The file gets U+FFFD for each lone surrogate, so it is always valid UTF-8.
void TestCli::writerReplacesLoneSurrogates()
{
    QFETCH(QString, paragraph);
    QFETCH(QByteArray, utf8);
    MemorySink buffer;
    tavrinel::cli::ParagraphWriter writer(buffer);
    writer.add({reinterpret_cast<const char16_t *>(paragraph.utf16()),
                static_cast<std::size_t>(paragraph.size())});
    writer.add(u"\xDFFF");
    QVERIFY(writer.finish());
    QCOMPARE(buffer.text, "<p>" + utf8 + "</p><p>\xEF\xBF\xBD</p>");
}

void TestCli::writerStopsAtFailingDevice()
{
    MemorySink device(100 * 1024);
    tavrinel::cli::ParagraphWriter writer(device);
    const std::u16string paragraph(30000, u'x');
    for (int i = 0; i < 10; ++i)
        writer.add(paragraph);
    QVERIFY(!writer.finish());
    QVERIFY(device.written <= 100 * 1024);
    QCOMPARE(device.writesAfterFailure, 0);
}

void TestCli::standardStreamFaults_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("stream"); // what standard output (or input) is
    QTest::addColumn<QString>("message");

    const QString full = u"cannot write to standard output: No space left on device"_s;
    QTest::newRow("result to /dev/full") << QStringList() << u"full"_s << full;
    QTest::newRow("counts to /dev/full") << QStringList{u"--stats"_s} << u"full"_s << full;
    QTest::newRow("help to /dev/full") << QStringList{u"--help"_s} << u"full"_s << full;
    QTest::newRow("version to /dev/full") << QStringList{u"--version"_s} << u"full"_s << full;
    QTest::newRow("result to a closed standard output")
        << QStringList() << u"closed"_s
        << u"cannot write to standard output: Bad file descriptor"_s;
    QTest::newRow("result to a file past the size limit")
        << QStringList() << u"limited"_s << u"cannot write to standard output: File too large"_s;
    QTest::newRow("closed standard input") << QStringList() << u"closed input"_s
                                           << u"cannot read standard input: Bad file descriptor"_s;
}

// Standard output is checked like any file: a write that fails, however small, or a closed
// descriptor is reported and exits 1.
void TestCli::standardStreamFaults()
{
    LINUX_ONLY("/dev/full, a file-size limit and descriptors closed in the child");
#if !defined(Q_OS_WIN)
    QFETCH(QStringList, arguments);
    QFETCH(QString, stream);
    QFETCH(QString, message);
    const QByteArray limitedFile = QFile::encodeName(dir_->filePath(u"out.txt"_s));
    const Outcome outcome =
        runCli(arguments, {.input = stream == u"limited" ? longArticle() : hello,
                           .fileSizeLimit = stream == u"limited" ? 100 * 1024 : RLIM_INFINITY,
                           .setUp = [&] {
                               if (stream == u"closed")
                                   close(STDOUT_FILENO);
                               else if (stream == u"closed input")
                                   close(STDIN_FILENO);
                               else if (stream == u"full")
                                   dup2(open("/dev/full", O_WRONLY), STDOUT_FILENO);
                               else
                                   dup2(open(limitedFile.constData(), O_WRONLY | O_CREAT, 0644),
                                        STDOUT_FILENO);
                           }});
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(QString::fromUtf8(outcome.err), u"tavrinel-cli: "_s + message + u'\n');
#endif
}

// -o /dev/stdout writes through the caller's standard output: the file behind it keeps what the
// caller wrote before and after.
void TestCli::outputNamingStandardOutputAddsToIt()
{
    LINUX_ONLY("/dev/stdout and sh");
    writeFile(dir_->filePath(u"a.txt"_s), hello);
    QProcess shell;
    shell.setWorkingDirectory(dir_->path());
    shell.start(u"sh"_s,
                {u"-c"_s, u"{ echo header; \"$0\" -o /dev/stdout a.txt; echo; echo footer; } > f"_s,
                 QStringLiteral(TAVRINEL_CLI_PATH)});
    QVERIFY(shell.waitForFinished());
    QCOMPARE(shell.exitCode(), 0);
    QCOMPARE(fileBytes(dir_->filePath(u"f"_s)),
             "header\n<p>Hello world.</p><p> This is a test.</p><p> End.</p>\nfooter\n");
}

// A filter reads on from where the caller left its input.
void TestCli::readsStandardInputFromItsPosition()
{
    LINUX_ONLY("standard input set up in the child");
#if !defined(Q_OS_WIN)
    const QByteArray path = QFile::encodeName(dir_->filePath(u"a.txt"_s));
    writeFile(dir_->filePath(u"a.txt"_s), "skip.Hi. Ho.");
    const auto fromPosition = [&](const QStringList &arguments) {
        return runCli(arguments, {.setUp = [&] {
                          const int fd = open(path.constData(), O_RDONLY);
                          lseek(fd, 5, SEEK_SET);
                          dup2(fd, STDIN_FILENO);
                      }});
    };
    const Outcome counted = fromPosition({u"--stats"_s});
    QCOMPARE(counted.exitCode, 0);
    QCOMPARE(counted.out, QByteArray("characters: 7\nsentences: 2\n"));
    // Validated first and read again from the same position.
    const Outcome cut = fromPosition({u"--size"_s, u"2"_s});
    QCOMPARE(cut.exitCode, 0);
    QCOMPARE(cut.out, QByteArray("<p>Hi.</p><p> Ho.</p>"));
#endif
}

void TestCli::fileNamesAreBytes_data()
{
    QTest::addColumn<QByteArrayList>("arguments"); // run in a folder holding caf\xE9.txt
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("createdFile"); // holding the paragraphs
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    const QByteArray paragraphs = "<p>Hi.</p><p> X</p>";
    QTest::newRow("input") << QByteArrayList{"--size", "2", "caf\xE9.txt"} << 0 << QByteArray()
                           << paragraphs << QByteArray();
    QTest::newRow("-o") << QByteArrayList{"--size", "2", "-o", "\xCE\xC4.out", "caf\xE9.txt"} << 0
                        << QByteArray("\xCE\xC4.out") << QByteArray() << QByteArray();
    QTest::newRow("--out-dir") << QByteArrayList{"--size", "2", "--out-dir", "d\xFF", "caf\xE9.txt"}
                               << 0 << QByteArray("d\xFF/caf\xE9.txt") << QByteArray()
                               << QByteArray();
    QTest::newRow("missing, shown escaped")
        << QByteArrayList{"caf\xE9\x1B[2J.md"} << 1 << QByteArray() << QByteArray()
        << QByteArray("tavrinel-cli: cannot read caf\\xE9\\x1B[2J.md: No such file or directory\n");
}

// Names that are not UTF-8 are opened and made byte for byte, and shown escaped.
void TestCli::fileNamesAreBytes()
{
    LINUX_ONLY("file names that are bytes");
#if !defined(Q_OS_WIN)
    QFETCH(QByteArrayList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, createdFile);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    const QByteArray folder = QFile::encodeName(dir_->path()) + '/';
    const QByteArray outDir = folder + "d\xFF";
    QVERIFY(mkdir(outDir.constData(), 0755) == 0);
    const QByteArray input = folder + "caf\xE9.txt";
    const int fd = open(input.constData(), O_WRONLY | O_CREAT, 0644);
    QCOMPARE(write(fd, "Hi. X", 5), 5);
    close(fd);

    // QProcess takes arguments as text: a shell makes these bytes with printf and hands them on.
    // (An exec from the child set-up would never return from it, in memory the child shares with
    // this process until the exec: AddressSanitizer would find its frames' marks on our stack.)
    QString script = u"exec \"$0\""_s;
    for (const QByteArray &argument : arguments) {
        QString octal;
        for (const char byte : argument)
            octal += u'\\' + QString::number(static_cast<unsigned char>(byte), 8);
        script += u" \"$(printf '"_s + octal + u"')\""_s;
    }
    const Outcome outcome =
        runProgram(u"sh"_s, {u"-c"_s, script, QStringLiteral(TAVRINEL_CLI_PATH)}, {},
                   [this](QProcess &process) { process.setWorkingDirectory(dir_->path()); });
    QCOMPARE(outcome.exitCode, exitCode);
    QCOMPARE(outcome.out, out);
    QCOMPARE(outcome.err, err);
    if (!createdFile.isEmpty()) {
        const QByteArray created = folder + createdFile;
        QFile file;
        const int result = open(created.constData(), O_RDONLY);
        QVERIFY2(result >= 0, created.constData());
        QVERIFY(file.open(result, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        QCOMPARE(file.readAll(), QByteArray("<p>Hi.</p><p> X</p>"));
        unlink(created.constData());
    }
    unlink(input.constData()); // QTemporaryDir cannot remove such names
    rmdir(outDir.constData());
#endif
}

// Each file's result that cannot be written on a full disk is reported with the system's reason;
// the disk keeps what it had.
void TestCli::batchOnFullDisk()
{
    LINUX_ONLY("a full tmpfs");
#if !defined(Q_OS_WIN)
    const FullDisk disk;
    if (!disk.error().isEmpty())
        QSKIP(qPrintable(disk.error()));
    writeFile(dir_->filePath(u"old.txt"_s), "Hi. There.");
    writeFile(dir_->filePath(u"b.txt"_s), "Ho.");
    const Outcome outcome =
        runCli({u"--out-dir"_s, disk.path(), u"old.txt"_s, u"b.txt"_s}, {.folder = dir_->path()});
    QCOMPARE(outcome.exitCode, 1);
    const QString err = QString::fromUtf8(outcome.err);
    for (const QString &name : {u"old.txt"_s, u"b.txt"_s})
        QVERIFY2(
            err.contains(u"cannot write %1: No space left on device"_s.arg(disk.filePath(name))),
            qPrintable(err));
    QVERIFY2(err.endsWith(u"2 of 2 files failed\n"_s), qPrintable(err));
    QCOMPARE(disk.entries(), QStringList{u"old.txt"_s});
    QCOMPARE(fileBytes(disk.filePath(u"old.txt"_s)), FullDisk::oldContent());
#endif
}

void TestCli::inputChangedWhileRead_data()
{
    QTest::addColumn<QByteArray>("change"); // done after the first bytes were read
    QTest::addColumn<bool>("noticed");
    QTest::newRow("unchanged") << QByteArray() << false;
    QTest::newRow("cut short") << QByteArray("truncate") << true;
    QTest::newRow("grown") << QByteArray("append") << true;
    QTest::newRow("rewritten in place") << QByteArray("rewrite") << true;
    QTest::newRow("cut short, then its old size and time again") << QByteArray("regrow") << true;
}

// A file that changes while it is read is a failure of that file, never a crash or a silently
// mixed article.
void TestCli::inputChangedWhileRead()
{
    QFETCH(QByteArray, change);
    QFETCH(bool, noticed);
    const QString path = dir_->filePath(u"a.txt"_s);
    writeFile(path, QByteArray(10000, 'a'));
    QFile file(path);
    const auto setTime = [&file](const QDateTime &time) {
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
        file.close();
    };
    const QDateTime opened = QDateTime::currentDateTime().addSecs(-1); // before any change
    setTime(opened);
    tavrinel::cli::InputFile input(path);
    QVERIFY(input.open());
    char buffer[4096];
    QCOMPARE(input.read(buffer, 100), 100);
    if (change == "truncate" || change == "regrow")
        QVERIFY(file.resize(1000));
    else if (change == "append")
        QVERIFY(file.open(QIODevice::Append) && file.write("more") == 4);
    else if (change == "rewrite")
        QVERIFY(file.open(QIODevice::ReadWrite) && file.write("bbbb") == 4);
    file.close();
    while (input.read(buffer, sizeof buffer) > 0) {
    }
    if (change == "regrow") { // once the reader is at the end
        QVERIFY(file.resize(10000));
        setTime(opened);
    }
    QCOMPARE(input.unchangedSinceOpen(), !noticed);
    if (noticed)
        QCOMPARE(input.errorString(), u"the file changed while it was read"_s);
}

// A regular file is validated before anything is written; a pipe is cut as it is read, so it
// may leave the start of the paragraph text. The exit code is 2 either way.
void TestCli::lateInvalidByteOnStandardOutput()
{
    const QByteArray valid = QByteArray("Hello world. ").repeated(400'000);
    const QString path = dir_->filePath(u"late.txt"_s);
    writeFile(path, valid + "\xFF");
    const QByteArray message = "invalid UTF-8 at byte offset " + QByteArray::number(valid.size());

    const Outcome fromFile = runCli({path});
    QCOMPARE(fromFile.exitCode, 2);
    QVERIFY2(fromFile.err.contains(message), fromFile.err.constData());
    QCOMPARE(fromFile.out, QByteArray());

    const Outcome fromPipe = runCli({}, {.input = valid + "\xFF"});
    QCOMPARE(fromPipe.exitCode, 2);
    QVERIFY2(fromPipe.err.contains(message), fromPipe.err.constData());
    QVERIFY(!fromPipe.out.isEmpty());
    QVERIFY(runCli({}, {.input = valid}).out.startsWith(fromPipe.out));
}

// The UTF-16 path escapes from the same table, also across the writer's blocks.
void TestCli::writerEscapesHtml()
{
    MemorySink buffer;
    tavrinel::cli::ParagraphWriter writer(buffer, true);
    const std::u16string paragraph = std::u16string(65534, u'x') + u"<&\">";
    writer.add(paragraph);
    QVERIFY(writer.finish());
    QCOMPARE(buffer.text, "<p>" + QByteArray(65534, 'x') + "&lt;&amp;&quot;&gt;</p>");
}

// The file is cut short while the tool, held up by a full pipe on standard output, is half-way
// through it: a reported failure of that file, never a crash.
void TestCli::fileCutShortWhileConverted()
{
    LINUX_ONLY("/proc to see where the tool reads");
    const QString path = dir_->filePath(u"victim.txt"_s);
    writeFile(path, QByteArray("Sentence one. Sentence two, and three. ").repeated(200000));
    QProcess process;
    process.start(QStringLiteral(TAVRINEL_CLI_PATH), {path});
    QVERIFY(process.waitForStarted());
    // Nothing reads its output, so it comes to wait in a write to the full pipe, part-way into
    // the file (after reading it through once to validate it) and staying there.
    const qint64 size = QFileInfo(path).size();
    qint64 position = -1;
    for (int still = 0, polls = 0; still < 10 && polls < 400; ++polls) {
        QThread::msleep(50);
        const qint64 now = readPosition(process.processId(), path);
        still = now == position && now > 0 && now < size ? still + 1 : 0;
        position = now;
    }
    QVERIFY2(position > 0 && position < size, "the tool did not come to wait part-way");
    QVERIFY(QFile::resize(path, 1000));
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(process.readAllStandardError(), "tavrinel-cli: cannot read " + path.toUtf8() +
                                                 ": the file changed while it was read\n");
}

void TestCli::readsEncodings_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("piped"); // on standard input rather than from a file
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // on standard error; empty: nothing
    // The output of a readable file is that of the same article in UTF-8.

    const QString article = u"第一句。Hello, world. 第二句! ok"_s;
    const auto in = [&article](const char *encoding) {
        return encoded(encoding, article);
    };
    const QByteArray utf8 = article.toUtf8();
    const QByteArray gb18030 = in("GB18030");
    const QByteArray utf16le = in("UTF-16LE");
    const QStringList none;
    const QStringList gb{u"--encoding"_s, u"gb18030"_s};
    const QStringList autoDetect{u"--encoding"_s, u"auto"_s};
    const QString gbHint = u"a.txt: not UTF-8 (invalid at byte offset 0); it reads as GB18030: "
                           "use --encoding gb18030"_s;

    QTest::newRow("UTF-8") << none << utf8 << false << 0 << QString();
    QTest::newRow("UTF-8 with mark") << none << "\xEF\xBB\xBF" + utf8 << false << 0 << QString();
    QTest::newRow("UTF-16LE with mark") << none << "\xFF\xFE" + utf16le << false << 0 << QString();
    QTest::newRow("UTF-16BE with mark, piped")
        << none << "\xFE\xFF" + in("UTF-16BE") << true << 0 << QString();
    QTest::newRow("GB18030: a hint") << none << gb18030 << false << 2 << gbHint;
    QTest::newRow("GB18030 as asked") << gb << gb18030 << false << 0 << QString();
    QTest::newRow("GB18030 as asked, piped") << gb << gb18030 << true << 0 << QString();
    QTest::newRow("auto: GB18030")
        << autoDetect << gb18030 << false << 0 << u"a.txt: reading as GB18030"_s;
    QTest::newRow("auto: GB18030, piped")
        << autoDetect << gb18030 << true << 0 << u"standard input: reading as GB18030"_s;
    QTest::newRow("auto: UTF-8") << autoDetect << utf8 << false << 0
                                 << u"a.txt: reading as UTF-8"_s;
    QTest::newRow("UTF-16LE without mark")
        << none << utf16le << false << 2
        << u"a.txt: looks like UTF-16LE without a byte order mark: use --encoding utf-16le"_s;
    QTest::newRow("UTF-16LE without mark, piped")
        << none << utf16le << true << 2
        << u"standard input: looks like UTF-16LE without a byte order mark"_s;
    QTest::newRow("auto: UTF-16LE without mark that is valid UTF-8")
        << autoDetect << encoded("UTF-16LE", QString::fromUtf8(hello)) << false << 2
        << u"a.txt: looks like UTF-16LE without a byte order mark: use --encoding utf-16le"_s;
    QTest::newRow("GB18030 over 64 KiB, the first 64 KiB cut in a character: a hint")
        << none << "a" + QByteArray("\xC4\xE3").repeated(40000) << false << 2
        << u"a.txt: not UTF-8 (invalid at byte offset 1); it reads as GB18030: use --encoding "
           "gb18030"_s;
    QTest::newRow("UTF-16LE without mark as asked")
        << QStringList{u"--encoding"_s, u"utf-16le"_s} << utf16le << false << 0 << QString();
    QTest::newRow("auto: the mark's choice is told")
        << autoDetect << "\xFF\xFE" + utf16le << false << 0
        << u"a.txt: reading as UTF-16LE (byte order mark)"_s;
    QTest::newRow("a NUL in a short file: no byte order named")
        << none << QByteArray("Hello") + '\0' + " world. This is a test." << false << 2
        << u"a.txt: not text in any encoding this tool reads"_s;
    QTest::newRow("UTF-32 mark") << none << QByteArray("\xFF\xFE\0\0a\0\0\0", 8) << false << 2
                                 << u"a.txt: UTF-32 byte order mark"_s;
    QTest::newRow("counts of UTF-16 with mark")
        << QStringList{u"--stats"_s} << "\xFF\xFE" + utf16le << false << 0 << QString();
    QTest::newRow("GB18030 into a file as asked, escaped")
        << QStringList{u"--encoding"_s, u"GB18030"_s, u"--escape-html"_s, u"-o"_s, u"out.txt"_s}
        << in("GB18030") << false << 0 << QString();
    QTest::newRow("GB18030 into a file: nothing written")
        << QStringList{u"-o"_s, u"out.txt"_s} << gb18030 << false << 2 << gbHint;
    QTest::newRow("unknown encoding")
        << QStringList{u"--encoding"_s, u"latin1"_s} << utf8 << false << 2
        << u"--encoding takes 'utf-8', 'utf-16le', 'utf-16be', 'gb18030' or 'auto'"_s;
}

// Each encoding is read into the same article, refused with a hint that names the way to read
// it, or detected; the paragraphs are always written as UTF-8.
void TestCli::readsEncodings()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, piped);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    // Qt without ICU (Windows) cannot make the GB18030 input.
    if (QByteArray(QTest::currentDataTag()).contains("GB18030") &&
        !QStringEncoder("GB18030").isValid())
        QSKIP("this Qt has no GB18030 encoder to write the input with");
    writeFile(dir_->filePath(u"a.txt"_s), bytes);
    writeFile(dir_->filePath(u"u.txt"_s), u"第一句。Hello, world. 第二句! ok"_s.toUtf8());
    const QStringList file{piped ? u"-"_s : u"a.txt"_s};
    const Outcome outcome =
        runCli(arguments + file, {.input = piped ? bytes : QByteArray(), .folder = dir_->path()});
    QCOMPARE(outcome.exitCode, exitCode);
    const QString err = QString::fromUtf8(outcome.err);
    QVERIFY2(message.isEmpty() ? err.isEmpty() : err.startsWith(u"tavrinel-cli: "_s + message),
             qPrintable(err));
    const bool toFile = arguments.contains(u"-o"_s);
    if (exitCode != 0) {
        QCOMPARE(outcome.out, QByteArray());
        QVERIFY(!QFile::exists(dir_->filePath(u"out.txt"_s)));
        return;
    }
    QStringList same; // the same run on the article in UTF-8
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == u"--encoding")
            ++i;
        else
            same << (arguments[i] == u"out.txt" ? u"same.txt"_s : arguments[i]);
    }
    const Outcome inUtf8 = runCli(same + QStringList{u"u.txt"_s}, {.folder = dir_->path()});
    QCOMPARE(inUtf8.exitCode, 0);
    QCOMPARE(outcome.out, inUtf8.out);
    if (toFile)
        QCOMPARE(fileBytes(dir_->filePath(u"out.txt"_s)), fileBytes(dir_->filePath(u"same.txt"_s)));
}

void TestCli::sharedFolderRefusals_data()
{
    QTest::addColumn<QStringList>("arguments"); // run in a folder with shared/, a.txt, victim.txt
    QTest::newRow("-o") << QStringList{u"-o"_s, u"shared/a.txt"_s, u"a.txt"_s};
    QTest::newRow("--out-dir") << QStringList{u"--out-dir"_s, u"shared"_s, u"a.txt"_s};
}

// A link that another user planted in a folder like /tmp is not followed, whoever runs the tool.
void TestCli::sharedFolderRefusals()
{
    LINUX_ONLY("another user and sticky folders");
#if !defined(Q_OS_WIN)
    QFETCH(QStringList, arguments);
    if (geteuid() != 0)
        QSKIP("needs root, to plant a link as another user (nobody)");
    QVERIFY(QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner | QFile::ExeOther));
    const QString shared = makeSharedFolder(QDir(dir_->path()));
    QVERIFY(!shared.isEmpty());
    writeFile(dir_->filePath(u"a.txt"_s), hello);
    writeFile(dir_->filePath(u"victim.txt"_s), "the caller's secret");
    QCOMPARE(runAsNobody({u"ln"_s, u"-s"_s, dir_->filePath(u"victim.txt"_s), shared + u"/a.txt"_s}),
             0);
    const Outcome outcome = runCli(arguments, {.folder = dir_->path()});
    QCOMPARE(outcome.exitCode, 1);
    const QByteArray message = "cannot write shared/a.txt: not following a symbolic link that "
                               "another user owns in the shared folder " +
                               QFile::encodeName(shared);
    QVERIFY2(outcome.err.contains(message), outcome.err.constData());
    QCOMPARE(fileBytes(dir_->filePath(u"victim.txt"_s)), QByteArray("the caller's secret"));
#endif
}

void TestCli::outputThatIsInput_data()
{
    QTest::addColumn<QStringList>("arguments"); // run in a folder holding a.txt and its link b.txt
    QTest::addColumn<bool>("appendToInput");    // standard output appends to a.txt
    QTest::addColumn<QString>("message");
    QTest::newRow("-o the input") << QStringList{u"-o"_s, u"a.txt"_s, u"a.txt"_s} << false
                                  << u"cannot write a.txt: it is the input file"_s;
    QTest::newRow("-o another name of the input")
        << QStringList{u"-o"_s, u"b.txt"_s, u"a.txt"_s} << false
        << u"cannot write b.txt: it is the input file"_s;
    QTest::newRow("standard output appends to the input")
        << QStringList{u"a.txt"_s} << true
        << u"cannot write to standard output: it is the input file a.txt"_s;
}

// Writing the paragraphs over the article they come from is refused before anything is written.
void TestCli::outputThatIsInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, appendToInput);
    QFETCH(QString, message);
    const QString input = dir_->filePath(u"a.txt"_s);
    const QString link = dir_->filePath(u"b.txt"_s);
    writeFile(input, hello);
    RunOptions options{.folder = dir_->path()};
#if defined(Q_OS_WIN)
    if (appendToInput)
        QSKIP("needs descriptors set up in the child, which only Linux has");
    QVERIFY(CreateHardLinkW(reinterpret_cast<const wchar_t *>(link.utf16()),
                            reinterpret_cast<const wchar_t *>(input.utf16()), nullptr));
#else
    QVERIFY(::link(QFile::encodeName(input).constData(), QFile::encodeName(link).constData()) == 0);
    const QByteArray name = QFile::encodeName(input);
    if (appendToInput)
        options.setUp = [&] {
            dup2(open(name.constData(), O_WRONLY | O_APPEND), STDOUT_FILENO);
        };
#endif
    const Outcome outcome = runCli(arguments, options);
    QCOMPARE(outcome.exitCode, 2);
    QCOMPARE(QString::fromUtf8(outcome.err).trimmed(), u"tavrinel-cli: "_s + message);
    QCOMPARE(fileBytes(input), hello);
    QCOMPARE(entriesIn(dir_->path()), (QStringList{u"a.txt"_s, u"b.txt"_s}));
}

void TestCli::signalMidWriteRemovesTemporary_data()
{
    QTest::addColumn<int>("signal");
#if !defined(Q_OS_WIN)
    QTest::newRow("Ctrl-C (SIGINT)") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
#endif
}

// A signal while the result is written removes its temporary file and still ends the tool by
// that signal; the old file stays as it was.
void TestCli::signalMidWriteRemovesTemporary()
{
    LINUX_ONLY("signals");
#if !defined(Q_OS_WIN)
    QFETCH(int, signal);
    const QString output = dir_->filePath(u"out.txt"_s);
    writeFile(output, "the file as it was");
    QProcess process;
    process.start(QStringLiteral(TAVRINEL_CLI_PATH), {u"-o"_s, output});
    QVERIFY(process.waitForStarted());
    // More than the first look at the input takes: the tool starts writing, then waits for more.
    process.write(longArticle());
    const auto temporary = [&] {
        return QDir(dir_->path()).entryList({u".tavrinel-*"_s}, QDir::Files | QDir::Hidden);
    };
    QTRY_COMPARE_WITH_TIMEOUT(temporary().size(), 1, 10000);
    ::kill(static_cast<pid_t>(process.processId()), signal);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QCOMPARE(process.exitCode(), signal);
    QCOMPARE(temporary(), QStringList());
    QCOMPARE(fileBytes(output), QByteArray("the file as it was"));
#endif
}

// Files of /proc report a size of 0 and have content: they are read to their end.
void TestCli::readsFilesThatReportNoSize()
{
    LINUX_ONLY("/proc");
    const Outcome outcome = runCli({u"--stats"_s, u"/proc/version"_s});
    QCOMPARE(outcome.err, QByteArray());
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY2(!outcome.out.startsWith("characters: 0\n"), outcome.out.constData());
}

// A file cut short in the middle of a character while it is read has changed; its text is not
// invalid for that.
void TestCli::cutShortMidCharacterIsAChange()
{
    LINUX_ONLY("a file cut short while another handle reads it");
    const QString path = dir_->filePath(u"a.txt"_s);
    const QByteArray article = QByteArray("你好。").repeated(30000); // beyond the first look
    writeFile(path, article);
    struct CutShort final : tavrinel::cli::ArticleWork {
        QString path;
        tavrinel::utf8::Result onBytes(tavrinel::utf8::ByteSource &source) override
        {
            QFile::resize(path, 100000); // inside a character of three bytes
            return tavrinel::utf8::validate(source);
        }
        bool onText(std::u16string_view) override { return true; }
    } work;
    work.path = path;
    const auto outcome = tavrinel::cli::processArticle(path, {}, work);
    QVERIFY(outcome.failure);
    QCOMPARE(outcome.failure->exitCode, 1);
    QVERIFY2(outcome.failure->message.endsWith(u"the file changed while it was read"_s),
             qPrintable(outcome.failure->message));
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
