#include "fakeprompt.h"
#include "ui/mainwindow.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace
{

// The article without line breaks, and the same characters with a CR LF every 500 of them: the
// two kinds of article the box must be as quick with.
QString article(qsizetype characters, bool oneLine)
{
    const QString sentence =
        u"Tavrinel 把文章切成网页段落. 每一段都包在标签之中! Is that all? Yes; "
        "it is. 中文的句号。不算断句，全角标点也一样。"_s;
    QString text = sentence.repeated(characters / sentence.size() + 1).left(characters);
    if (oneLine)
        return text;
    QString lines;
    lines.reserve(text.size() + text.size() / 250 + 2);
    for (qsizetype i = 0; i < text.size(); i += 500) {
        if (i > 0)
            lines.append(u"\r\n");
        lines.append(QStringView(text).mid(i, 500));
    }
    return lines;
}

// `make test` runs a short version; TAVRINEL_BENCH_FULL=1 the sizes the README quotes.
bool full()
{
    return qEnvironmentVariableIntValue("TAVRINEL_BENCH_FULL") != 0;
}

qsizetype scaled(qsizetype characters)
{
    return full() ? characters : std::min<qsizetype>(characters, 200'000);
}

struct Figures {
    QList<double> milliseconds;
    double min() const { return *std::min_element(milliseconds.cbegin(), milliseconds.cend()); }
    double median() const
    {
        QList<double> sorted = milliseconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

// Counts the paintings of a widget.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// The real window with an article pasted into its box, the focus in the box at the end of it.
class Session
{
public:
    explicit Session(const QString &text) : window_(prompt_)
    {
        window_.show();
        window_.activateWindow(); // under Xvfb no window manager does it
        if (!QTest::qWaitForWindowActive(&window_))
            qFatal("the window did not become active");
        box_ = window_.findChild<QTextEdit *>(u"IArticle"_s);
        count_ = window_.findChild<QLabel *>(u"LCNum"_s);
        QGuiApplication::clipboard()->setText(text);
        key(Qt::Key_V, Qt::ControlModifier);
        settle();
    }

    // Makes this window the one the keys go to, as clicking on it would.
    void activate()
    {
        window_.activateWindow();
        if (!QTest::qWaitForWindowActive(&window_))
            qFatal("the window did not become active");
        box_->setFocus(Qt::OtherFocusReason);
        settle();
    }

    QTextEdit *box() const { return box_; }
    QLabel *count() const { return count_; }
    qsizetype length() const { return box_->document()->characterCount() - 1 + lineBreaks(); }

    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(window_.windowHandle(), key, modifiers);
    }
    void settle() const { QTest::qWait(200); }

    // Milliseconds from a key press to the box having painted its result.
    double keyToScreen()
    {
        PaintCounter counter;
        box_->viewport()->installEventFilter(&counter);
        QElapsedTimer clock;
        clock.start();
        key(Qt::Key_X);
        while (counter.paints == 0 && clock.elapsed() < 60000)
            QCoreApplication::processEvents();
        const double elapsed = clock.nsecsElapsed() / 1e6;
        box_->viewport()->removeEventFilter(&counter);
        return elapsed;
    }

    // Milliseconds from the key press to the count shown after Tab; then back into the box.
    double keyAndTabToCount()
    {
        count_->clear();
        const QString expected = QString::number(length() + 1);
        QElapsedTimer clock;
        clock.start();
        key(Qt::Key_X);
        key(Qt::Key_Tab);
        while (count_->text() != expected && clock.elapsed() < 60000)
            QCoreApplication::processEvents();
        const double elapsed = clock.nsecsElapsed() / 1e6;
        backIntoBox();
        return elapsed;
    }

    // Milliseconds from Ctrl+V into the empty box to the count shown after Tab.
    double pasteAndCount(const QString &text)
    {
        box_->clear();
        QGuiApplication::clipboard()->setText(text);
        count_->clear();
        const QString expected = QString::number(text.size());
        settle();
        QElapsedTimer clock;
        clock.start();
        key(Qt::Key_V, Qt::ControlModifier);
        key(Qt::Key_Tab);
        while (count_->text() != expected && clock.elapsed() < 120000)
            QCoreApplication::processEvents();
        const double elapsed = clock.nsecsElapsed() / 1e6;
        backIntoBox();
        return elapsed;
    }

private:
    qsizetype lineBreaks() const { return box_->document()->blockCount() - 1; }
    void backIntoBox()
    {
        key(Qt::Key_Backtab);
        settle();
    }

    FakePrompt prompt_;
    tavrinel::MainWindow window_;
    QTextEdit *box_ = nullptr;
    QLabel *count_ = nullptr;
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void report(const char *what, qsizetype characters, const Figures &oneLine, const Figures &lines)
{
    qInfo("%s, %lld characters: one line %.1f ms (min %.1f), with lines %.1f ms (min %.1f), "
          "ratio %.2f",
          what, qint64(characters), oneLine.median(), oneLine.min(), lines.median(), lines.min(),
          oneLine.median() / lines.median());
}

} // namespace

// How long the window takes with an article that is one long line, each figure beside the same
// article with line breaks. Prints its figures; it checks only that the window keeps up at all.
class BenchLongLines : public QObject
{
    Q_OBJECT

private slots:
    void keyToScreen_data();
    void keyToScreen();
    void keyAndTabToCount_data();
    void keyAndTabToCount();
    void pasteAndCount_data();
    void pasteAndCount();
    void idleWindow();
};

void BenchLongLines::keyToScreen_data()
{
    QTest::addColumn<qsizetype>("characters");
    QTest::newRow("1 M") << scaled(1'000'000);
    QTest::newRow("5 M") << scaled(5'000'000);
}

// Both articles in a window of their own, sampled in turn, so that both see the machine as busy.
template<class Measure>
void sampleInTurn(qsizetype characters, int samples, const char *what, Measure measure)
{
    Session oneLine(article(characters, true));
    Session lines(article(characters, false));
    Figures figures[2];
    for (int i = 0; i < samples; ++i) {
        for (Session *session : {&oneLine, &lines}) {
            session->activate();
            figures[session == &oneLine].milliseconds.append(measure(*session));
        }
    }
    report(what, characters, figures[1], figures[0]);
}

void BenchLongLines::keyToScreen()
{
    QFETCH(qsizetype, characters);
    sampleInTurn(characters, 15, "key to screen",
                 [](Session &session) { return session.keyToScreen(); });
}

void BenchLongLines::keyAndTabToCount_data()
{
    QTest::addColumn<qsizetype>("characters");
    QTest::newRow("1 M") << scaled(1'000'000);
    QTest::newRow("5 M") << scaled(5'000'000);
}

void BenchLongLines::keyAndTabToCount()
{
    QFETCH(qsizetype, characters);
    sampleInTurn(characters, 9, "key and Tab to count", [](Session &session) {
        const double elapsed = session.keyAndTabToCount();
        if (session.count()->text() != QString::number(session.length()))
            qFatal("the count is wrong");
        return elapsed;
    });
}

void BenchLongLines::pasteAndCount_data()
{
    QTest::addColumn<qsizetype>("characters");
    QTest::newRow("10 M") << scaled(10'000'000);
}

void BenchLongLines::pasteAndCount()
{
    QFETCH(qsizetype, characters);
    const QString texts[2] = {article(characters, false), article(characters, true)};
    Session lines(u"x"_s);
    Session oneLine(u"x"_s);
    Figures figures[2];
    for (int i = 0; i < 5; ++i) {
        for (const bool isOneLine : {true, false}) {
            Session &session = isOneLine ? oneLine : lines;
            session.activate();
            figures[isOneLine].milliseconds.append(session.pasteAndCount(texts[isOneLine]));
        }
    }
    report("paste and count", characters, figures[1], figures[0]);
}

// The window left alone with the caret blinking in the article: the processor time it takes and
// the longest it leaves the event loop waiting.
void BenchLongLines::idleWindow()
{
    const qsizetype characters = scaled(5'000'000);
    const int seconds = full() ? 15 : 2;
    for (const bool oneLine : {true, false}) {
        Session session(article(characters, oneLine));
        session.box()->setFocus();
        QTest::qWait(500);
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longest = 0;
        QTimer tick;
        tick.setInterval(10);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        const double cpuBefore = cpuSeconds();
        clock.start();
        tick.start();
        QTest::qWait(seconds * 1000);
        const double cpu = cpuSeconds() - cpuBefore;
        qInfo("idle, %lld characters, %s: %.1f %% of a core over %d s, longest stall %lld ms",
              qint64(characters), oneLine ? "one line" : "with lines",
              100 * cpu / (clock.elapsed() / 1e3), seconds, longest);
    }
}

QTEST_MAIN(BenchLongLines)
#include "bench_longlines.moc"
