#include "output/textfile.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace testfiles;

namespace
{

// Files larger than `bytes` cannot be written while it lives: a write past the limit fails as on
// a full disk instead of raising SIGXFSZ.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

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
    void failedWriteKeepsExistingFile();
    void writesDeviceInPlace();

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
    QTest::newRow("missing folder") << u"missing/out.txt"_s;
    QTest::newRow("name of a folder") << u"folder"_s;
    QTest::newRow("empty name") << QString();
    QTest::newRow("full disk") << u"/dev/full"_s;
}

void TestOutput::failure()
{
    QFETCH(QString, name);
    QVERIFY(QDir(dir_->path()).mkdir(u"folder"_s));
    const QString path = name.isEmpty() || QDir::isAbsolutePath(name) ? name : dir_->filePath(name);
    const std::optional<QString> message = tavrinel::saveTextFile(path, u"text");
    QVERIFY(message);
    QVERIFY2(message->startsWith(u"文件保存失败"_s), qPrintable(*message));
    QVERIFY2(message->contains(QDir::toNativeSeparators(path)), qPrintable(*message));
    // The system's reason follows on its own line.
    QVERIFY2(!message->section(u'\n', 1).trimmed().isEmpty(), qPrintable(*message));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files).size(), 0);
    QVERIFY(isCharacterDevice("/dev/full")); // written in place, never replaced by a file
}

// A device cannot be replaced atomically; it is written in place and stays a device.
void TestOutput::writesDeviceInPlace()
{
    QCOMPARE(tavrinel::saveTextFile(u"/dev/null"_s, u"<p>x</p>"), std::nullopt);
    QVERIFY(isCharacterDevice("/dev/null"));
}

// A write that fails part-way (here: past the file size limit, as on a full disk) leaves the old
// file as it was and no temporary file behind.
void TestOutput::failedWriteKeepsExistingFile()
{
    const QString path = dir_->filePath(u"out.txt"_s);
    writeFile(path, "the old content");
    std::optional<QString> message;
    {
        const FileSizeLimit limit(4096);
        message = tavrinel::saveTextFile(path, QString(100000, u'段'));
    }
    QVERIFY(message);
    QVERIFY2(message->startsWith(u"文件保存失败"_s), qPrintable(*message));
    QCOMPARE(fileBytes(path), QByteArray("the old content"));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{u"out.txt"_s});
}

QTEST_GUILESS_MAIN(TestOutput)
#include "test_output.moc"
