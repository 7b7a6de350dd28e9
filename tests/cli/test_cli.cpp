#include "paragraphwriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace
{

struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

enum class As { Caller, Unprivileged };

// Runs the command line tool with the given arguments and standard input. As an unprivileged
// user, a folder without write permission is really read-only, even when the tests run as root.
Outcome runCli(const QStringList &arguments, const QByteArray &input = {}, As as = As::Caller,
               rlim_t fileSizeLimit = RLIM_INFINITY,
               const QString &program = QStringLiteral(TAVRINEL_CLI_PATH))
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setChildProcessModifier([as, fileSizeLimit] {
        if (fileSizeLimit != RLIM_INFINITY) {
            std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of killing
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (as == As::Unprivileged && geteuid() == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(99);
        }
    });
    process.start();
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        qFatal("tavrinel-cli did not finish");
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

const QByteArray hello = "Hello world. This is a test. End.";

// Several hundred kilobytes: more than one block of the writer and more than the file size limit.
QByteArray longArticle()
{
    return QByteArray("Sentence number one. ").repeated(20000);
}

// A copy of the tool that an unprivileged user may run: the build folder may be out of its reach.
QString toolForEveryone(const QTemporaryDir &bin)
{
    const QString program = bin.filePath(u"tavrinel-cli"_s);
    const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                          QFileDevice::ReadOther | QFileDevice::ExeOther | QFileDevice::ReadGroup |
                          QFileDevice::ExeGroup;
    if (!QFile::copy(QStringLiteral(TAVRINEL_CLI_PATH), program) ||
        !QFile::setPermissions(bin.path(), everyone) || !QFile::setPermissions(program, everyone))
        qFatal("cannot copy tavrinel-cli for an unprivileged user");
    return program;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

bool isCharacterDevice(const char *path)
{
    struct stat info;
    return lstat(path, &info) == 0 && S_ISCHR(info.st_mode);
}

// Takes what is written until `limit` bytes are reached, then fails every write.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(qint64 limit) : limit_(limit) { open(QIODevice::WriteOnly); }

    qint64 written = 0;
    int writesAfterFailure = 0;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 length) override
    {
        if (failed_)
            ++writesAfterFailure;
        if (failed_ || written + length > limit_) {
            failed_ = true;
            return -1;
        }
        written += length;
        return length;
    }

private:
    qint64 limit_;
    bool failed_ = false;
};

// What can go wrong around one run of the tool with -o.
enum class Fault {
    ReadOnlyFolder,
    ReadOnlyFile,
    OutputIsFolder,
    OutputFolderMissing,
    OutputLinksToFull,
    FileSizeLimit,
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
    void generates_data();
    void generates();
    void counts_data();
    void counts();
    void refusesBadInput_data();
    void refusesBadInput();
    void readsAndWritesFiles();
    void failedWriteLeavesNothingBehind_data();
    void failedWriteLeavesNothingBehind();
    void largeArticleStreamsIntact();
    void faultsLeaveNothingBehind_data();
    void faultsLeaveNothingBehind();
    void writerReplacesLoneSurrogates_data();
    void writerReplacesLoneSurrogates();
    void writerStopsAtFailingDevice();
};

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
    QTest::newRow("spaces trimmed, tabs kept")
        << QStringList() << QByteArray("   \tab  ") << QByteArray("<p>\tab</p>");
    QTest::newRow("empty") << QStringList() << QByteArray() << QByteArray();
    QTest::newRow("Chinese and emoji")
        << QStringList{u"--size"_s, u"2"_s} << QByteArray("你好。世界.\xF0\x9F\x98\x80! 再见")
        << QByteArray("<p>你好。世界.</p><p>\xF0\x9F\x98\x80!</p><p> 再见</p>");
    QTest::newRow("sentence size 0 takes all")
        << QStringList{u"--by"_s, u"sentences"_s, u"--size"_s, u"0"_s} << hello
        << QByteArray("<p>") + hello + QByteArray("</p>");
}

void TestCli::generates()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    const Outcome outcome = runCli(arguments, input);
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
    const Outcome outcome = runCli({u"--stats"_s, u"--size"_s, u"not used"_s}, input);
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
    QTest::newRow("cut off at the end")
        << QStringList() << QByteArray("ab\xE4\xBD") << 2 << u"invalid UTF-8 at byte offset 2"_s;
    QTest::newRow("overlong") << QStringList() << QByteArray("a\xC0\xAF") << 2
                              << u"invalid UTF-8 at byte offset 1"_s;
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
    QTest::newRow("missing input") << QStringList{u"/nonexistent/article.txt"_s} << hello << 1
                                   << u"cannot read /nonexistent/article.txt"_s;
    QTest::newRow("input is a folder")
        << QStringList{QDir::tempPath()} << hello << 1 << u"cannot read"_s;
    QTest::newRow("output into a missing folder")
        << QStringList{u"-o"_s, u"/nonexistent/out.txt"_s} << hello << 1
        << u"cannot write /nonexistent/out.txt"_s;
    QTest::newRow("disk full") << QStringList{u"-o"_s, u"/dev/full"_s} << hello << 1
                               << u"cannot write /dev/full"_s;
}

void TestCli::refusesBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const Outcome outcome = runCli(arguments, input);
    QCOMPARE(outcome.exitCode, exitCode);
    QCOMPARE(outcome.out, QByteArray());
    const QString err = QString::fromUtf8(outcome.err);
    QVERIFY2(err.startsWith(u"tavrinel-cli: "_s), qPrintable(err));
    QVERIFY2(err.contains(message), qPrintable(err));
}

void TestCli::readsAndWritesFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString input = dir.filePath(u"文章.txt"_s);
    const QString output = dir.filePath(u"out.txt"_s);
    writeFile(input, "\xEF\xBB\xBF"
                     "Hi. X");
    writeFile(output, "old content that is longer than the new");
    const Outcome outcome = runCli({u"--size"_s, u"2"_s, u"-o"_s, output, input});
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.out, QByteArray());
    QCOMPARE(readAll(output), QByteArray("<p>Hi.</p><p> X</p>"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

void TestCli::failedWriteLeavesNothingBehind_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::newRow("read-only folder") << true;
    QTest::newRow("file size limit reached mid-write") << false;
}

void TestCli::failedWriteLeavesNothingBehind()
{
    QFETCH(bool, readOnlyFolder);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString output = dir.filePath(u"out.txt"_s);
    const QByteArray old = "the file as it was";
    writeFile(output, old);
    const QByteArray article = longArticle();

    Outcome outcome;
    if (readOnlyFolder) {
        QTemporaryDir bin;
        const QString program = toolForEveryone(bin);
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                      QFileDevice::ReadOther |
                                                      QFileDevice::ExeOther));
        outcome = runCli({u"-o"_s, output}, article, As::Unprivileged, RLIM_INFINITY, program);
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
    } else {
        outcome = runCli({u"-o"_s, output}, article, As::Caller, 64 * 1024);
    }
    QCOMPARE(outcome.exitCode, 1);
    QVERIFY2(outcome.err.contains("cannot write"), outcome.err.constData());
    QCOMPARE(readAll(output), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"out.txt"_s});
}

void TestCli::largeArticleStreamsIntact()
{
    // Larger than the writer's block, with surrogate pairs and CJK on every block boundary.
    QByteArray article;
    for (int i = 0; i < 30000; ++i)
        article += "ab\xF0\x9F\x98\x80 你好, ";
    const Outcome outcome = runCli({u"--size"_s, u"-1"_s}, article);
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.out, "<p>" + article.trimmed() + "</p>");
    const Outcome words = runCli({u"--size"_s, u"7"_s, u"--complete"_s, u"word"_s}, article);
    QCOMPARE(words.exitCode, 0);
    QByteArray joined = words.out;
    joined.replace("<p>", "").replace("</p>", "");
    QCOMPARE(joined, article.trimmed());
}

void TestCli::faultsLeaveNothingBehind_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<bool>("existingOutput");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("read-only folder, new file")
        << Fault::ReadOnlyFolder << false << 1 << u"cannot write"_s;
    QTest::newRow("read-only file") << Fault::ReadOnlyFile << true << 1 << u"cannot write"_s;
    QTest::newRow("output is a folder") << Fault::OutputIsFolder << true << 1 << u"cannot write"_s;
    QTest::newRow("output folder missing")
        << Fault::OutputFolderMissing << true << 1 << u"cannot write"_s;
    QTest::newRow("output links to /dev/full")
        << Fault::OutputLinksToFull << true << 1 << u"cannot write"_s;
    QTest::newRow("file size limit, new file")
        << Fault::FileSizeLimit << false << 1 << u"cannot write"_s;
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
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString input = dir.filePath(u"article.txt"_s);
    QString output = dir.filePath(u"out.txt"_s);
    const QByteArray old = "the file as it was";
    writeFile(input, longArticle());
    if (existingOutput)
        writeFile(output, old);

    using P = QFileDevice;
    As as = As::Caller;
    rlim_t fileSizeLimit = RLIM_INFINITY;
    switch (fault) {
    case Fault::ReadOnlyFolder:
        QVERIFY(QFile::setPermissions(dir.path(),
                                      P::ReadOwner | P::ExeOwner | P::ReadOther | P::ExeOther));
        as = As::Unprivileged;
        break;
    case Fault::ReadOnlyFile: // in a folder anyone may write to
        QVERIFY(QFile::setPermissions(output, P::ReadOwner | P::ReadOther));
        QVERIFY(QFile::setPermissions(dir.path(), P::ReadOwner | P::WriteOwner | P::ExeOwner |
                                                      P::ReadOther | P::WriteOther | P::ExeOther));
        as = As::Unprivileged;
        break;
    case Fault::OutputIsFolder:
        output = dir.filePath(u"folder"_s);
        QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
        break;
    case Fault::OutputFolderMissing:
        output = dir.filePath(u"missing/out.txt"_s);
        break;
    case Fault::OutputLinksToFull:
        output = dir.filePath(u"full"_s);
        QVERIFY(QFile::link(u"/dev/full"_s, output));
        break;
    case Fault::FileSizeLimit:
        fileSizeLimit = 64 * 1024;
        break;
    case Fault::UnreadableInput:
        QVERIFY(QFile::setPermissions(input, {}));
        QVERIFY(QFile::setPermissions(dir.path(), P::ReadOwner | P::WriteOwner | P::ExeOwner |
                                                      P::ReadOther | P::ExeOther));
        as = As::Unprivileged;
        break;
    case Fault::InputIsFolder:
        input = dir.filePath(u"folder"_s);
        QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
        break;
    case Fault::InputCutMidSequence:
        writeFile(input, longArticle() + "\xE4\xBD"); // the first two bytes of 你
        break;
    }
    QTemporaryDir bin;
    const QString program =
        as == As::Unprivileged ? toolForEveryone(bin) : QStringLiteral(TAVRINEL_CLI_PATH);
    const QStringList before = entries(dir.path());

    const Outcome outcome = runCli({u"-o"_s, output, input}, {}, as, fileSizeLimit, program);
    QFile::setPermissions(dir.path(), P::ReadOwner | P::WriteOwner | P::ExeOwner);

    QCOMPARE(outcome.exitCode, exitCode);
    QCOMPARE(outcome.out, QByteArray());
    const QString err = QString::fromUtf8(outcome.err);
    QVERIFY2(err.startsWith(u"tavrinel-cli: "_s) && err.contains(message), qPrintable(err));
    QCOMPARE(entries(dir.path()), before);
    if (existingOutput)
        QCOMPARE(readAll(dir.filePath(u"out.txt"_s)), old);
    QVERIFY(isCharacterDevice("/dev/full"));
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
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    tavrinel::cli::ParagraphWriter writer(buffer);
    writer.add({reinterpret_cast<const char16_t *>(paragraph.utf16()),
                static_cast<std::size_t>(paragraph.size())});
    writer.add(u"\xDFFF");
    QVERIFY(writer.finish());
    QCOMPARE(buffer.data(), "<p>" + utf8 + "</p><p>\xEF\xBF\xBD</p>");
}

void TestCli::writerStopsAtFailingDevice()
{
    FailingDevice device(100 * 1024);
    tavrinel::cli::ParagraphWriter writer(device);
    const std::u16string paragraph(30000, u'x');
    for (int i = 0; i < 10; ++i)
        writer.add(paragraph);
    QVERIFY(!writer.finish());
    QVERIFY(device.written <= 100 * 1024);
    QCOMPARE(device.writesAfterFailure, 0);
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
