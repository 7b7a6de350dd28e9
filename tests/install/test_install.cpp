// What `cmake --install` puts into a staging folder, and the documentation that comes with it.

#include "testfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;
using namespace testfiles;

namespace
{

constexpr bool windowBuilt = TAVRINEL_HAS_WINDOW;
const QString sourceDir = QStringLiteral(TAVRINEL_SOURCE_DIR);

// A tool the set-up installs: its absence is a fault in CI, and elsewhere only skips the test.
#define REQUIRE_TOOL(name)                                                                         \
    do {                                                                                           \
        if (QStandardPaths::findExecutable(QStringLiteral(name)).isEmpty()) {                      \
            if (qEnvironmentVariableIsSet("CI"))                                                   \
                QFAIL(name " is missing: run `make setup`");                                       \
            QSKIP(name " is missing: run `make setup` to install it");                             \
        }                                                                                          \
    } while (false)

// Every option name ("--size", "-o") the text mentions.
QSet<QString> optionsIn(QString text)
{
    static const QRegularExpression fontChange(u"\\\\f[BIRP]"_s);
    text.remove(fontChange).replace(u"\\-"_s, u"-"_s); // roff's font changes and minus sign
    static const QRegularExpression option(u"(?<![\\w-])(--?[a-z][a-z-]*)(?![\\w])"_s);
    QSet<QString> names;
    for (const auto &match : option.globalMatch(text))
        names.insert(match.captured(1));
    return names;
}

QString readmeSection(const QString &heading)
{
    const QString readme = QString::fromUtf8(fileBytes(sourceDir + u"/README.md"_s));
    const qsizetype start = readme.indexOf(u"\n## "_s + heading);
    return start < 0 ? QString() : readme.mid(start, readme.indexOf(u"\n## "_s, start + 1) - start);
}

// A line "key=value" of the desktop entry.
QString desktopValue(const QByteArray &entry, const QString &key)
{
    for (const QString &line : QString::fromUtf8(entry).split(u'\n')) {
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1);
    }
    return {};
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installsTheFiles();
    void installedCliRuns();
    void iconsHaveTheirSizes();
    void desktopEntry_data();
    void desktopEntry();
    void manPages_data();
    void manPages();
    void documentationAgreesWithHelp();

private:
    QString staged(const QString &path) const { return stage_.filePath(u"usr/"_s + path); }

    QTemporaryDir stage_;
};

void TestInstall::initTestCase()
{
    QVERIFY(stage_.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DESTDIR"_s, stage_.path());
    const Outcome outcome =
        runProgram(QStringLiteral(TAVRINEL_CMAKE),
                   {u"--install"_s, QStringLiteral(TAVRINEL_BINARY_DIR), u"--prefix"_s, u"/usr"_s},
                   {}, [&](QProcess &process) { process.setProcessEnvironment(environment); });
    QVERIFY2(outcome.exitCode == 0, outcome.err.constData());
}

void TestInstall::installsTheFiles()
{
    // The Debian changelog and the checker's overrides go into the package only.
    QStringList expected{u"usr/bin/tavrinel-cli"_s, u"usr/share/man/man1/tavrinel-cli.1.gz"_s,
                         u"usr/share/doc/tavrinel/copyright"_s};
    if (windowBuilt) {
        expected << u"usr/bin/tavrinel"_s << u"usr/share/applications/tavrinel.desktop"_s
                 << u"usr/share/man/man1/tavrinel.1.gz"_s
                 << u"usr/share/metainfo/org.example.tavrinel.metainfo.xml"_s
                 << u"usr/share/icons/hicolor/scalable/apps/tavrinel.svg"_s;
        for (const int size : {16, 32, 48, 256})
            expected << u"usr/share/icons/hicolor/%1x%1/apps/tavrinel.png"_s.arg(size);
    }
    expected.sort();

    QStringList installed;
    const QDir root(stage_.path());
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        installed << root.relativeFilePath(it.next());
    installed.sort();
    QCOMPARE(installed, expected);

    for (const QString &program : installed.filter(u"usr/bin/"_s))
        QVERIFY2(QFileInfo(root.filePath(program)).isExecutable(), qPrintable(program));
}

void TestInstall::installedCliRuns()
{
    const QString cli = staged(u"bin/tavrinel-cli"_s);
    const Outcome version = runProgram(cli, {u"--version"_s});
    QCOMPARE(version.out, "tavrinel-cli " TAVRINEL_VERSION_TEXT "\n");
    const Outcome converted = runProgram(cli, {u"--size"_s, u"3"_s}, "Hi. You.");
    QCOMPARE(converted.exitCode, 0);
    QCOMPARE(converted.out, QByteArray("<p>Hi.</p><p> You.</p>"));
}

void TestInstall::iconsHaveTheirSizes()
{
    if (!windowBuilt)
        QSKIP("the window is not built: no icons are installed");
    for (const int size : {16, 32, 48, 256}) {
        const QByteArray png =
            fileBytes(staged(u"share/icons/hicolor/%1x%1/apps/tavrinel.png"_s.arg(size)));
        QVERIFY2(png.startsWith("\x89PNG\r\n\x1a\n") && png.size() >= 24, "not a PNG");
        const auto bigEndian = [&png](int at) {
            return qFromBigEndian<quint32>(png.constData() + at);
        };
        QCOMPARE(bigEndian(16), quint32(size));
        QCOMPARE(bigEndian(20), quint32(size));
    }
    QVERIFY(
        fileBytes(staged(u"share/icons/hicolor/scalable/apps/tavrinel.svg"_s)).contains("<svg"));
}

void TestInstall::desktopEntry_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("in the sources") << sourceDir + u"/data/tavrinel.desktop"_s;
    if (windowBuilt)
        QTest::newRow("installed") << staged(u"share/applications/tavrinel.desktop"_s);
}

void TestInstall::desktopEntry()
{
    QFETCH(QString, path);
    REQUIRE_TOOL("desktop-file-validate");
    const Outcome validated = runProgram(u"desktop-file-validate"_s, {path});
    QCOMPARE(validated.exitCode, 0);
    // Hints count too: they point at real trouble, such as showing up twice in the menu.
    QCOMPARE(validated.out + validated.err, QByteArray());

    const QByteArray entry = fileBytes(path);
    for (const QString &key : {u"Name"_s, u"Name[zh_CN]"_s, u"Comment"_s, u"Comment[zh_CN]"_s})
        QVERIFY2(!desktopValue(entry, key).isEmpty(), qPrintable(key));
    QVERIFY(desktopValue(entry, u"Categories"_s).split(u';').contains(u"Utility"_s));
    // It starts the program and shows the icon that the install rules put in place.
    QCOMPARE(desktopValue(entry, u"Exec"_s), u"tavrinel"_s);
    QCOMPARE(desktopValue(entry, u"Icon"_s), u"tavrinel"_s);
}

void TestInstall::manPages_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("tavrinel-cli") << u"tavrinel-cli"_s;
    if (windowBuilt)
        QTest::newRow("tavrinel") << u"tavrinel"_s;
}

void TestInstall::manPages()
{
    QFETCH(QString, page);
    REQUIRE_TOOL("groff");
    const Outcome unpacked =
        runProgram(u"gzip"_s, {u"-dc"_s, staged(u"share/man/man1/"_s + page + u".1.gz"_s)});
    QCOMPARE(unpacked.exitCode, 0);
    QVERIFY(unpacked.out.contains("\"Tavrinel " TAVRINEL_VERSION_TEXT "\""));
    // As man renders it, with every warning on: none may come.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    const Outcome rendered = runProgram(
        u"groff"_s, {u"-k"_s, u"-man"_s, u"-Tutf8"_s, u"-ww"_s, u"-rCHECKSTYLE=10"_s}, unpacked.out,
        [&](QProcess &process) { process.setProcessEnvironment(environment); });
    QCOMPARE(rendered.exitCode, 0);
    QCOMPARE(rendered.err, QByteArray());
    QVERIFY(rendered.out.contains((page.toUpper() + u"(1)"_s).toUtf8()));
}

void TestInstall::documentationAgreesWithHelp()
{
    const Outcome help = runProgram(QStringLiteral(TAVRINEL_CLI_PATH), {u"--help"_s});
    QCOMPARE(help.exitCode, 0);
    const QSet<QString> options = optionsIn(QString::fromUtf8(help.out));
    QVERIFY(options.contains(u"--out-dir"_s));

    const QString man = QString::fromUtf8(fileBytes(sourceDir + u"/data/tavrinel-cli.1.in"_s));
    const QString readme = readmeSection(u"The command line"_s);
    QVERIFY(!readme.isEmpty());
    // Every option of the tool described, and none that it lacks.
    QCOMPARE(optionsIn(man), options);
    QCOMPARE(optionsIn(readme), options);
}

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
