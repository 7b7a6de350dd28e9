#include "checks/checks.h"
#include "ui/articletext.h"
#include "ui/mainwindow.h"
#include "ui/qtprompt.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextDocument>

using namespace Qt::StringLiterals;

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

std::u16string_view u16(const QString &text)
{
    return {QStringView(text).utf16(), static_cast<std::size_t>(text.size())};
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
    QPlainTextEdit box;
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
    auto *box = window.findChild<QPlainTextEdit *>(u"IArticle"_s);
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

QTEST_MAIN(BenchWindow)
#include "bench_window.moc"
