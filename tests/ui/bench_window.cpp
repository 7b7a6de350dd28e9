#include "checks/checks.h"
#include "fakeprompt.h"
#include "testfiles.h"
#include "ui/articlebox.h"
#include "ui/articletext.h"
#include "ui/mainwindow.h"
#include "ui/qtprompt.h"

#include <QClipboard>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QMimeData>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QUrl>

using namespace Qt::StringLiterals;
using testfiles::u16;

namespace
{

// About ten million UTF-16 characters (20 MB in memory, more than 10 MB in any encoding): lines of
// mixed Chinese and Latin text with sentence ends, joined by CR LF as a pasted article has them.
QString bigArticle(qsizetype characters)
{
    const QString line = u"Tavrinel 把文章切成网页段落. 每一段都包在标签之中! Is that all? Yes; "
                         "it is. 中文的句号。不算断句，全角标点也一样。"_s.repeated(6);
    QString text;
    text.reserve(characters + line.size() + 2);
    while (text.size() < characters)
        text.append(line).append(u"\r\n");
    return text;
}

} // namespace

// How long the window takes for the article a user pastes: the box's text, the two counts, and
// pasting plus leaving the box as the user does it.
class BenchWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void boxTextAndCounts();
    void pasteAndLeave();
    void dropLargeFile_data();
    void dropLargeFile();

private:
    QString article_;
    qint64 sentences_ = 0;
};

void BenchWindow::initTestCase()
{
    article_ = bigArticle(10'000'000);
    sentences_ = tavrinel::sentenceCount(u16(article_));
}

void BenchWindow::boxTextAndCounts()
{
    tavrinel::ArticleBox box;
    box.setPlainText(article_);
    qint64 characters = 0;
    qint64 sentences = 0;
    QBENCHMARK
    {
        const QString text = tavrinel::articleText(*box.document());
        characters = tavrinel::characterCount(u16(text));
        sentences = tavrinel::sentenceCount(u16(text));
    }
    QCOMPARE(characters, article_.size());
    QCOMPARE(sentences, sentences_);
}

void BenchWindow::pasteAndLeave()
{
    tavrinel::QtPrompt prompt;
    tavrinel::MainWindow window(prompt);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto *box = window.findChild<QTextEdit *>(u"IArticle"_s);
    auto *count = window.findChild<QLabel *>(u"LCNum"_s);
    QGuiApplication::clipboard()->setText(article_);

    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    const qint64 pasted = clock.elapsed();
    QTest::keyClick(box, Qt::Key_Tab);
    QTRY_COMPARE(count->text(), QString::number(article_.size()));
    const qint64 total = clock.elapsed();
    qInfo("paste %lld ms, paste and count %lld ms", pasted, total);
}

void BenchWindow::dropLargeFile_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::newRow("UTF-8") << QByteArray("UTF-8");
    QTest::newRow("GB18030") << QByteArray("GB18030");
}

// A file of about 50 MB dropped on the article box: read, decoded, put into the box and counted.
void BenchWindow::dropLargeFile()
{
    QFETCH(QByteArray, encoding);
    QStringEncoder encoder(encoding.constData());
    const QByteArray sample = encoder.encode(article_);
    const QString text =
        bigArticle(qsizetype(50e6 * double(article_.size()) / double(sample.size())));
    const QByteArray bytes = encoder.encode(text);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"article.txt"_s);
    testfiles::writeFile(path, bytes);

    FakePrompt prompt;
    tavrinel::MainWindow window(prompt);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto *box = window.findChild<QTextEdit *>(u"IArticle"_s);
    auto *count = window.findChild<QLabel *>(u"LCNum"_s);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});

    QElapsedTimer clock;
    clock.start();
    const QPoint at = box->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box->viewport(), &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box->viewport(), &drop);
    QTRY_VERIFY_WITH_TIMEOUT(!count->text().isEmpty() || !prompt.messages.isEmpty(), 120000);
    const qint64 elapsed = clock.elapsed();
    QVERIFY(prompt.messages.isEmpty());
    QCOMPARE(count->text(), QString::number(text.size()));
    qInfo("%s: %.1f MB, %lld characters in %lld ms", encoding.constData(), bytes.size() / 1e6,
          qint64(text.size()), elapsed);
}

QTEST_MAIN(BenchWindow)
#include "bench_window.moc"
