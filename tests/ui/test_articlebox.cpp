#include "fakeprompt.h"
#include "generate/run.h"
#include "testfiles.h"
#include "ui/articletext.h"
#include "ui/mainwindow.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <memory>

using namespace Qt::StringLiterals;
using namespace testfiles;

namespace
{

// An article without line breaks, longer than the box lays out in one piece: Chinese and Latin
// sentences, a surrogate pair, an accent that combines with the letter before it and a
// no-break space.
QString oneLine(qsizetype characters)
{
    const QString sentence = u"Tavrinel 把文章切成网页段落. Caf\u00E9 ne\u0301e \U0001F600 ok; "
                             "每一段都包在标签之中！ Is\u00A0that all? "_s;
    return sentence.repeated(characters / sentence.size() + 1).left(characters);
}

// The text as the box's document holds it after a paste, without the box's layout.
QString plainTextOfPasted(const QString &text)
{
    QTextDocument document;
    QTextCursor(&document).insertText(text);
    return document.toPlainText();
}

// The article as the window counts and saves it: every line break CR LF.
QString withCrLf(QString text)
{
    text.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    return text.replace(u"\n"_s, u"\r\n"_s);
}

} // namespace

// The article box with articles that are one long line, where the box lays the text out and
// moves the cursor itself: what is pasted and typed is what the window counts and saves, and an
// input method's text reaches the box.
class TestArticleBox : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pasteCountSave_data();
    void pasteCountSave();
    void typingAndUndo_data();
    void typingAndUndo();
    void inputMethod_data();
    void inputMethod();
    void cursorKeys();

private:
    QTextEdit *box() const { return window_->findChild<QTextEdit *>(u"IArticle"_s); }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QTest::keyClick(window_->windowHandle(), key, modifiers);
    }
    void type(const char *text) const
    {
        for (; *text; ++text)
            QTest::keyClick(window_->windowHandle(), *text);
    }
    void setArticle(const QString &text, int cursorAt) const;
    int position() const { return box()->textCursor().position(); }
    // The picture of the line the input method is told the cursor is in.
    QImage cursorLine() const
    {
        const QRect cursor = box()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const QRect line(0, cursor.top() - box()->viewport()->y(), box()->viewport()->width(),
                         cursor.height());
        return box()->viewport()->grab(line).toImage();
    }

    std::unique_ptr<FakePrompt> prompt_;
    std::unique_ptr<tavrinel::MainWindow> window_;
};

void TestArticleBox::init()
{
    prompt_ = std::make_unique<FakePrompt>();
    window_ = std::make_unique<tavrinel::MainWindow>(*prompt_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QTRY_COMPARE(QApplication::focusWidget(), box());
}

void TestArticleBox::cleanup()
{
    window_.reset();
    prompt_.reset();
}

void TestArticleBox::setArticle(const QString &text, int cursorAt) const
{
    box()->setPlainText(text);
    QTextCursor cursor = box()->textCursor();
    cursor.setPosition(cursorAt);
    box()->setTextCursor(cursor);
    QTest::qWait(20);
}

void TestArticleBox::pasteCountSave_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("one line") << oneLine(40'000);
    QTest::newRow("long lines between short ones")
        << oneLine(30'000) + u"\r\nshort.\r\n"_s + oneLine(20'000) + u"\r\n"_s;
    QTest::newRow("lone LF and lone CR") << oneLine(20'000) + u"\nx\ry"_s;
}

// Pasted, counted on leaving the box and saved by 生成: the text is the one pasted, with CR LF for
// every line break, in the box, in the count and in the file.
void TestArticleBox::pasteCountSave()
{
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"article.txt"_s);
    prompt_->fileNames = {path};
    QGuiApplication::clipboard()->setText(text);
    key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box()->toPlainText(), plainTextOfPasted(text));
    const QString article = withCrLf(text);
    QCOMPARE(tavrinel::articleText(*box()->document()), article);

    key(Qt::Key_Tab);
    QTRY_COMPARE(window_->findChild<QLabel *>(u"LCNum"_s)->text(), QString::number(article.size()));
    window_->findChild<QLineEdit *>(u"IByNum"_s)->setText(u"500"_s);
    window_->findChild<QPushButton *>(u"BtnDo"_s)->click();
    const std::optional<std::u16string> paragraphs =
        tavrinel::runGeneration(u"500", u16(article), true, false);
    QVERIFY(paragraphs);
    QCOMPARE(fileBytes(path), QString::fromStdU16String(*paragraphs).toUtf8());
}

void TestArticleBox::typingAndUndo_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("at");
    QTest::newRow("one long line") << oneLine(40'000) << 20'003;
    QTest::newRow("short line, laid out whole") << u"Hello world. 你好。"_s << 6;
}

// Typing, Backspace and Delete in the middle of the article; a run of typing is one step to undo
// and so is a run of erasing, in a long line as in a short one.
void TestArticleBox::typingAndUndo()
{
    QFETCH(QString, text);
    QFETCH(int, at);
    setArticle(text, at);

    type("abc");
    QString expected = text;
    expected.insert(at, u"abc"_s);
    QCOMPARE(box()->toPlainText(), plainTextOfPasted(expected));
    QCOMPARE(position(), at + 3);

    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace);
    expected.remove(at + 1, 2);
    QCOMPARE(box()->toPlainText(), plainTextOfPasted(expected));

    key(Qt::Key_Z, Qt::ControlModifier); // the two Backspaces
    QCOMPARE(box()->toPlainText(), plainTextOfPasted(text.left(at) + u"abc" + text.mid(at)));
    key(Qt::Key_Z, Qt::ControlModifier); // the typing
    QCOMPARE(box()->toPlainText(), plainTextOfPasted(text));

    QTextCursor cursor = box()->textCursor();
    cursor.setPosition(at);
    box()->setTextCursor(cursor);
    key(Qt::Key_Delete);
    QCOMPARE(box()->toPlainText(), plainTextOfPasted(text.left(at) + text.mid(at + 1)));
}

void TestArticleBox::inputMethod_data()
{
    typingAndUndo_data();
}

// An input method's pre-edit text shows in the box just as the committed text then stands there,
// and the commit lands at the cursor; the input method is told where the cursor is.
void TestArticleBox::inputMethod()
{
    QFETCH(QString, text);
    QFETCH(int, at);
    setArticle(text, at);
    box()->setCursorWidth(0); // only the text in the pictures

    QInputMethodEvent preedit(u"中文"_s, {});
    QApplication::sendEvent(box(), &preedit);
    QCOMPARE(box()->toPlainText(), plainTextOfPasted(text)); // not in the text yet
    QTest::qWait(20);
    const QImage composing = cursorLine();

    QInputMethodEvent commit;
    commit.setCommitString(u"中文"_s);
    QApplication::sendEvent(box(), &commit);
    QCOMPARE(box()->toPlainText(), plainTextOfPasted(text.left(at) + u"中文" + text.mid(at)));
    QCOMPARE(position(), at + 2);
    QTest::qWait(20);
    QCOMPARE(cursorLine(), composing);

    const QRect cursor = box()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    QVERIFY2(box()->rect().contains(cursor.center()), "the cursor rectangle is not in the box");
    const QString around = box()->inputMethodQuery(Qt::ImSurroundingText).toString();
    const int inside = box()->inputMethodQuery(Qt::ImCursorPosition).toInt();
    QCOMPARE(around.mid(inside - 2, 2), u"中文"_s);
}

// The keys that move the cursor by the layout in a long line.
void TestArticleBox::cursorKeys()
{
    const QString text = oneLine(40'000);
    const int pair = int(text.indexOf(u"\U0001F600"_s, 20'000));
    setArticle(text, pair);

    key(Qt::Key_Right);
    QCOMPARE(position(), pair + 2); // a surrogate pair is one character
    key(Qt::Key_Left);
    QCOMPARE(position(), pair);
    key(Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(box()->textCursor().selectedText(), u"\U0001F600"_s);
    key(Qt::Key_Left);

    key(Qt::Key_Down);
    QVERIFY(position() > pair + 20);
    key(Qt::Key_Up);
    QCOMPARE(position(), pair); // back to where it was across the line

    key(Qt::Key_Home);
    const int lineStart = position();
    QVERIFY(lineStart < pair && lineStart > pair - 200);
    key(Qt::Key_End);
    QVERIFY(position() > pair && position() < lineStart + 200);

    setArticle(text, pair);
    key(Qt::Key_Delete);
    QCOMPARE(box()->toPlainText().size(), plainTextOfPasted(text).size() - 2);

    // Backspace takes back an accent alone, as in any text box; Delete takes the whole letter.
    const int accent = int(box()->toPlainText().indexOf(u"e\u0301"_s, 20'000));
    setArticle(box()->toPlainText(), accent + 2);
    const QString before = box()->toPlainText();
    key(Qt::Key_Backspace);
    QCOMPARE(box()->toPlainText(), before.left(accent + 1) + before.mid(accent + 2));
    setArticle(before, accent);
    key(Qt::Key_Delete);
    QCOMPARE(box()->toPlainText(), before.left(accent) + before.mid(accent + 2));

    key(Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(position(), box()->document()->characterCount() - 1);
    key(Qt::Key_PageUp);
    QVERIFY(position() < text.size() - 100);
}

QTEST_MAIN(TestArticleBox)
#include "test_articlebox.moc"
