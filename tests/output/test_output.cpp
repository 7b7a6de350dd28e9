#include "output/filename.h"
#include "output/outputfile.h"
#include "output/textfile.h"
#include "output/writesignals.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

using namespace Qt::StringLiterals;
using namespace testfiles;

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
    QTest::addColumn<QString>("name"); // %1: the descriptor's number
    QTest::newRow("/dev/fd/N") << u"/dev/fd/%1"_s;
    QTest::newRow("/proc/self/fd/N") << u"/proc/self/fd/%1"_s;
    QTest::newRow("a link to /proc/self/fd/N") << u"link"_s;
}

// A name of an open descriptor is written through it, at its position: the file behind it is
// added to, never replaced by a new one.
void TestOutput::writesThroughOpenDescriptor()
{
    QFETCH(QString, name);
    const QString path = dir_->filePath(u"caller.txt"_s);
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "header\n", 7), 7);
    QString target = name.contains(u'%') ? name.arg(fd) : name;
    if (name == u"link") {
        target = dir_->filePath(u"link"_s);
        QVERIFY(QFile::link(u"/proc/self/fd/%1"_s.arg(fd), target));
    }
    const auto saved = tavrinel::saveTextFile(target, u"<p>段</p>");
    QCOMPARE(::write(fd, "footer", 6), 6);
    ::close(fd);
    QCOMPARE(saved, std::nullopt);
    QCOMPARE(fileBytes(path), u"header\n<p>段</p>footer"_s.toUtf8());
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
    QTest::newRow("an encoded surrogate") << QByteArray("\xED\xB2\x80") << u"\\xED\\xB2\\x80"_s;
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

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    tavrinel::reportWriteLimitsAsErrors(); // as both programs do first
    TestOutput test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_output.moc"
