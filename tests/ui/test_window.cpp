#include "fakeprompt.h"
#include "modalanswer.h"
#include "output/displayname.h"
#include "output/filename.h"
#include "output/systemerror.h"
#include "output/writesignals.h"
#include "systemkeys.h"
#include "testfiles.h"
#include "ui/articletext.h"
#include "ui/language.h"
#include "ui/mainwindow.h"
#include "ui/qtprompt.h"

#include <QAccessible>
#include <QClipboard>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTranslator>
#include <QUrl>
#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;
using namespace testfiles;
using tavrinel::MainWindow;
using tavrinel::MessageIcon;

namespace
{

const QString tooShortText = u"文章内容太短，没有意义，请输入恰当的文章内容"_s;
const QString sizeText = u"数量标准必须为整数"_s;
const QString offeredName = u"文章分割后内容.txt"_s;

QString captionOf(const QWidget *widget)
{
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    if (auto *frame = qobject_cast<const QGroupBox *>(widget))
        return frame->title();
    if (auto *line = qobject_cast<const QLineEdit *>(widget))
        return line->text();
    if (auto *box = qobject_cast<const QTextEdit *>(widget))
        return box->toPlainText();
    return u"?"_s;
}

// A folder in which this process cannot create files. Root ignores permission bits, so there
// the kernel's /proc stands in.
QString readOnlyFolder(const QTemporaryDir &dir)
{
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    QFile probe(dir.filePath(u"probe"_s));
    if (!probe.open(QIODevice::WriteOnly))
        return dir.path();
    probe.remove();
    return u"/proc"_s;
}

// Counts how often a widget of the given kind is shown.
class ShowCounter final : public QObject
{
public:
    ShowCounter(int *count, const char *kind) : count_(count), kind_(kind)
    {
        qApp->installEventFilter(this);
    }
    ~ShowCounter() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->inherits(kind_))
            ++*count_;
        return false;
    }

private:
    int *count_;
    const char *kind_;
};

// What a file manager drags: links to the files, and the first link as text too (which the
// article box would insert on its own).
std::unique_ptr<QMimeData> draggedFiles(const QStringList &paths)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    data->setText(urls.value(0).toString());
    return data;
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

public:
    explicit TestWindow(bool chinese) : chinese_(chinese) {}

private slots:
    void init();
    void cleanup();

    void controls_data();
    void controls();
    void startState();
    void countLabelsStyle_data();
    void countLabelsStyle();
    void focusChain();
    void tabVisits_data();
    void tabVisits();
    void arrowsMoveWithinGroup();

    void statistics_data();
    void statistics();
    void sizeCheck_data();
    void sizeCheck();
    void onlyRealFocusLossesCheck_data();
    void onlyRealFocusLossesCheck();
    void noPingPongBetweenBadBoxes_data();
    void noPingPongBetweenBadBoxes();
    void clear_data();
    void clear();
    void splitModeSwitch();

    void generate_data();
    void generate();
    void generateOffersNameEachTime();
    void blankNameWritesNothing_data();
    void blankNameWritesNothing();
    void saveFailure_data();
    void saveFailure();
    void badSizeOpensNoDialog_data();
    void badSizeOpensNoDialog();
    void clickLeavingBadBoxDoesNotSave_data();
    void clickLeavingBadBoxDoesNotSave();
    void closeWithCheckPending_data();
    void closeWithCheckPending();

    void dropFile_data();
    void dropFile();
    void dropRefused_data();
    void dropRefused();
    void dropText();

    void realCheckMessage();
    void realSaveDialog();

    void accessibleNames_data();
    void accessibleNames();
    void enterOnControls_data();
    void enterOnControls();
    void keyboardOnly_data();
    void keyboardOnly();
    void keysThroughWindowSystem_data();
    void keysThroughWindowSystem();
    void programIgnoresFileSizeSignal();

private:
    template<class T = QWidget> T *child(const char *name) const
    {
        auto *widget = window_->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    QTextEdit *article() const { return child<QTextEdit>("IArticle"); }
    QLineEdit *sizeBox() const { return child<QLineEdit>("IByNum"); }
    QRadioButton *option(const char *name) const { return child<QRadioButton>(name); }
    void showWindow(tavrinel::Prompt &prompt);
    void settle() const;
    void focus(QWidget *widget) const;
    Qt::DropAction dropOnArticle(const QMimeData &data) const;

    bool chinese_;
    std::unique_ptr<FakePrompt> prompt_;
    tavrinel::QtPrompt realPrompt_{tavrinel::QtPrompt::Dialogs::QtWidgets}; // real dialogs
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestWindow::showWindow(tavrinel::Prompt &prompt)
{
    window_.reset();
    window_ = std::make_unique<MainWindow>(prompt);
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

// Gives a queued check or message the time to come, where a test makes sure that none does.
void TestWindow::settle() const
{
    QTest::qWait(50);
}

// Moves the focus the way a program does, which is no loss of focus the user made.
void TestWindow::focus(QWidget *widget) const
{
    widget->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), widget);
}

// Drags the data onto the article box and drops it, proposing a move as a file manager does
// within one file system. Returns the action the drop took; IgnoreAction when it was refused.
Qt::DropAction TestWindow::dropOnArticle(const QMimeData &data) const
{
    QWidget *viewport = article()->viewport();
    const QPoint at = viewport->rect().center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(viewport, &enter);
    if (!enter.isAccepted())
        return Qt::IgnoreAction;
    QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(viewport, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

void TestWindow::init()
{
    prompt_ = std::make_unique<FakePrompt>();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    showWindow(*prompt_);
}

void TestWindow::cleanup()
{
    window_.reset();
    prompt_.reset();
    if (dir_)
        QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    dir_.reset();
    QCoreApplication::processEvents();
    const QWidgetList windows = QApplication::topLevelWidgets();
    QVERIFY2(
        std::none_of(windows.cbegin(), windows.cend(), [](QWidget *w) { return w->isVisible(); }),
        "a window was left open");
}

void TestWindow::controls_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<bool>("takesFocus");

    const QString window = u"window"_s;
    auto row = [](const char *name, const char *type, const QString &parent, const QString &text,
                  QRect rect, bool focus) {
        QTest::newRow(name) << QString::fromLatin1(type) << parent << text << rect << focus;
    };
    row("Linput", "QLabel", window, u"输入文章内容"_s, {16, 24, 73, 17}, false);
    row("IArticle", "tavrinel::ArticleBox", window, QString(), {104, 24, 665, 345}, true);
    row("Lname", "QLabel", window, u"文章字数"_s, {16, 56, 81, 17}, false);
    row("LCNum", "QLabel", window, QString(), {16, 72, 73, 17}, false);
    row("LClause", "QLabel", window, u"文章句数"_s, {16, 136, 81, 17}, false);
    row("LLNum", "QLabel", window, QString(), {16, 152, 81, 17}, false);
    row("BtnDo", "QPushButton", window, u"生成"_s, {576, 384, 57, 49}, true);
    row("Label1", "QLabel", window, u"数量标准"_s, {504, 384, 57, 17}, false);
    row("IByNum", "QLineEdit", window, u"10"_s, {504, 408, 49, 18}, true);
    row("RG1", "QGroupBox", window, u"分段形式"_s, {104, 376, 185, 57}, false);
    row("RG2", "QGroupBox", window, u"完整性"_s, {296, 376, 185, 57}, false);
    row("OptType0", "QRadioButton", u"RG1"_s, u"按字符数"_s, {8, 24, 81, 25}, true);
    row("OptType1", "QRadioButton", u"RG1"_s, u"按句子数"_s, {104, 24, 73, 25}, true);
    row("OptAllow0", "QRadioButton", u"RG2"_s, u"句子完整"_s, {8, 24, 73, 25}, true);
    row("OptAllow1", "QRadioButton", u"RG2"_s, u"单词完整"_s, {88, 24, 89, 25}, true);
    row("btnCls", "QPushButton", window, u"清空内容"_s, {8, 184, 73, 33}, true);
}

void TestWindow::controls()
{
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    QFETCH(bool, takesFocus);

    QWidget *control = child(QTest::currentDataTag());
    QVERIFY2(control->inherits(className.toLatin1().constData()),
             control->metaObject()->className());
    QWidget *parent = control->parentWidget();
    QCOMPARE(parent == window_.get() ? u"window"_s : parent->objectName(), parentName);
    QCOMPARE(captionOf(control), caption);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->focusPolicy() != Qt::NoFocus, takesFocus);
    QVERIFY(control->isVisible());
    QVERIFY(control->isEnabled());
}

void TestWindow::startState()
{
    QCOMPARE(window_->windowTitle(), u"Zentrel"_s);
    QCOMPARE(window_->size(), QSize(784, 495));
    const QList<QSize> iconSizes = window_->windowIcon().availableSizes();
    QVERIFY2(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(32, 32)),
             "the window icon lacks its 16 and 32 pixel images");
    QCOMPARE(QApplication::focusWidget(), article());
    QVERIFY(option("OptType0")->isChecked());
    QVERIFY(!option("OptType1")->isChecked());
    QVERIFY(option("OptAllow0")->isChecked());
    QVERIFY(!option("OptAllow1")->isChecked());
    QVERIFY(article()->tabChangesFocus());
    QCOMPARE(article()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(QLocale().language(), QLocale::Chinese);
    QCOMPARE(QLocale().territory(), QLocale::China);
}

void TestWindow::countLabelsStyle_data()
{
    QTest::addColumn<QColor>("colour");
    QTest::newRow("LCNum") << QColor(128, 0, 0);
    QTest::newRow("LLNum") << QColor(192, 0, 0);
}

void TestWindow::countLabelsStyle()
{
    QFETCH(QColor, colour);
    auto *label = child<QLabel>(QTest::currentDataTag());
    QCOMPARE(label->palette().color(QPalette::WindowText), colour);
    QVERIFY(label->font().bold());
    QCOMPARE(label->font().pointSizeF(), 10.5);
    QCOMPARE(label->font().families().value(0), u"宋体"_s);
    // Whatever font stands in must draw Chinese.
    QVERIFY(QFontMetrics(label->font()).inFontUcs4(U'数'));
}

void TestWindow::focusChain()
{
    QStringList chain;
    QWidget *widget = article();
    do {
        if (widget->focusPolicy() != Qt::NoFocus && window_->isAncestorOf(widget))
            chain.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != article());
    const QStringList expected = {u"IArticle"_s, u"BtnDo"_s,     u"IByNum"_s,    u"OptType0"_s,
                                  u"OptType1"_s, u"OptAllow0"_s, u"OptAllow1"_s, u"btnCls"_s};
    QCOMPARE(chain, expected);
}

void TestWindow::tabVisits_data()
{
    QTest::addColumn<QString>("select"); // an option clicked first, if any
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<QStringList>("visits");

    QTest::newRow("defaults") << QString() << Qt::Key_Tab
                              << QStringList{u"BtnDo"_s,     u"IByNum"_s, u"OptType0"_s,
                                             u"OptAllow0"_s, u"btnCls"_s, u"IArticle"_s};
    QTest::newRow("backwards") << QString() << Qt::Key_Backtab
                               << QStringList{u"btnCls"_s, u"OptAllow0"_s, u"OptType0"_s,
                                              u"IByNum"_s, u"BtnDo"_s,     u"IArticle"_s};
    QTest::newRow("word complete")
        << u"OptAllow1"_s << Qt::Key_Tab << QStringList{u"BtnDo"_s,     u"IByNum"_s, u"OptType0"_s,
                                                        u"OptAllow1"_s, u"btnCls"_s, u"IArticle"_s};
    // Completeness is disabled when cutting by sentences, so Tab passes it by.
    QTest::newRow("by sentences") << u"OptType1"_s << Qt::Key_Tab
                                  << QStringList{u"BtnDo"_s, u"IByNum"_s, u"OptType1"_s,
                                                 u"btnCls"_s, u"IArticle"_s};
}

void TestWindow::tabVisits()
{
    QFETCH(QString, select);
    QFETCH(Qt::Key, key);
    QFETCH(QStringList, visits);

    article()->setPlainText(u"A long enough article."_s);
    if (!select.isEmpty())
        child<QRadioButton>(select.toLatin1().constData())->click();
    focus(article());
    QStringList visited;
    for (qsizetype i = 0; i < visits.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), key);
        visited.append(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(visited, visits);
    settle(); // the boxes left check quietly
    QVERIFY(prompt_->messages.isEmpty());
}

void TestWindow::arrowsMoveWithinGroup()
{
    focus(option("OptType0"));
    QTest::keyClick(option("OptType0"), Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), option("OptType1"));
    QVERIFY(option("OptType1")->isChecked());
    QVERIFY(!option("OptAllow0")->isEnabled()); // the arrow selected, and the selection switched
    QTest::keyClick(option("OptType1"), Qt::Key_Left);
    QCOMPARE(QApplication::focusWidget(), option("OptType0"));
    QVERIFY(option("OptType0")->isChecked());
    QVERIFY(option("OptAllow0")->isEnabled());
}

void TestWindow::statistics_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("paste"); // through the clipboard; typed when the text holds U+2028
    QTest::addColumn<QString>("characters");
    QTest::addColumn<QString>("sentences");
    QTest::addColumn<bool>("tooShort");

    QTest::newRow("four sentences") << u"Hi? Yes! No; ok."_s << false << u"16"_s << u"4"_s << false;
    QTest::newRow("empty") << QString() << false << u"0"_s << u"1"_s << true;
    QTest::newRow("five characters") << u"Hello"_s << false << u"5"_s << u"1"_s << true;
    QTest::newRow("six characters") << u"Hello!"_s << false << u"6"_s << u"1"_s << false;
    QTest::newRow("trailing space") << u"Hello. "_s << false << u"7"_s << u"2"_s << false;
    QTest::newRow("CR LF counts two") << u"ab\r\ncd"_s << false << u"6"_s << u"1"_s << false;
    QTest::newRow("LF counts two") << u"ab\ncd"_s << false << u"6"_s << u"1"_s << false;
    QTest::newRow("pasted CR LF") << u"ab\r\ncd\r\n"_s << true << u"8"_s << u"1"_s << false;
    QTest::newRow("Shift+Enter counts two")
        << u"ab\u2028cd"_s << false << u"6"_s << u"1"_s << false;
    QTest::newRow("no-break space") << u"a\u00A0b."_s << false << u"4"_s << u"1"_s << true;
    QTest::newRow("full-width punctuation")
        << u"你好。世界！再见"_s << false << u"8"_s << u"1"_s << false;
    QTest::newRow("surrogate pair") << u"\U0001F600 ok."_s << false << u"6"_s << u"1"_s << false;
}

void TestWindow::statistics()
{
    QFETCH(QString, text);
    QFETCH(bool, paste);
    QFETCH(QString, characters);
    QFETCH(QString, sentences);
    QFETCH(bool, tooShort);

    if (paste) {
        QGuiApplication::clipboard()->setText(text);
        article()->paste();
    } else if (text.contains(QChar::LineSeparator)) {
        focus(article());
        const QStringList lines = text.split(QChar::LineSeparator);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                QTest::keyClick(article(), Qt::Key_Return, Qt::ShiftModifier);
            QTest::keyClicks(article(), lines[i]);
        }
    } else {
        article()->setPlainText(text);
    }
    focus(article());
    QTest::keyClick(article(), Qt::Key_Tab);

    QTRY_COMPARE(child<QLabel>("LCNum")->text(), characters);
    QCOMPARE(child<QLabel>("LLNum")->text(), sentences);
    if (tooShort) {
        QCOMPARE(prompt_->messages.size(), 1);
        QCOMPARE(prompt_->messages[0].text, tooShortText);
        QCOMPARE(prompt_->messages[0].caption, u"Tavrinel"_s);
        QCOMPARE(prompt_->messages[0].icon, MessageIcon::None);
        QCOMPARE(prompt_->focusWhileOpen.value(0), nullptr); // the window lost the focus
        QTRY_COMPARE(QApplication::focusWidget(), article());
    } else {
        QVERIFY(prompt_->messages.isEmpty());
        QCOMPARE(QApplication::focusWidget(), child("BtnDo"));
    }
}

void TestWindow::sizeCheck_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bad");

    QTest::newRow("empty") << QString() << true;
    QTest::newRow("spaces only") << u"   "_s << true;
    QTest::newRow("letters") << u"abc"_s << true;
    QTest::newRow("spaces around") << u" 12 "_s << false;
    QTest::newRow("fraction") << u"2.5"_s << false;
    QTest::newRow("negative") << u"-3"_s << false;
    QTest::newRow("out of 16 bits") << u"100000"_s << false;
}

void TestWindow::sizeCheck()
{
    QFETCH(QString, text);
    QFETCH(bool, bad);

    sizeBox()->setText(text);
    focus(sizeBox());
    QTest::keyClick(sizeBox(), Qt::Key_Tab);
    if (!bad)
        settle(); // the check finds nothing to say

    QTRY_COMPARE(prompt_->messages.size(), bad ? 1 : 0);
    if (bad) {
        QCOMPARE(prompt_->messages[0].text, sizeText);
        QCOMPARE(prompt_->messages[0].caption, u"Tavrinel"_s);
        QCOMPARE(prompt_->messages[0].icon, MessageIcon::None);
        QTRY_COMPARE(QApplication::focusWidget(), sizeBox());
        QCOMPARE(sizeBox()->text(), text); // the check changes nothing
    } else {
        QCOMPARE(QApplication::focusWidget(), option("OptType0"));
    }
}

void TestWindow::onlyRealFocusLossesCheck_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("messages");

    QTest::newRow("Tab") << u"tab"_s << 1;
    QTest::newRow("Backtab") << u"backtab"_s << 1;
    QTest::newRow("mouse on a button") << u"mouse"_s << 1;
    QTest::newRow("another window activated") << u"deactivate"_s << 0;
    QTest::newRow("focus moved by the program") << u"program"_s << 0;
}

// Only the focus changes a user makes set off the check; the window being deactivated or a
// program moving the focus (as a check does when it hands the focus back) do not.
void TestWindow::onlyRealFocusLossesCheck()
{
    QFETCH(QString, how);
    QFETCH(int, messages);

    focus(article()); // empty: too short
    QWidget other;
    if (how == u"tab") {
        QTest::keyClick(article(), Qt::Key_Tab);
    } else if (how == u"backtab") {
        QTest::keyClick(article(), Qt::Key_Backtab);
    } else if (how == u"mouse") {
        QTest::mouseClick(child("btnCls"), Qt::LeftButton);
    } else if (how == u"deactivate") {
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
    } else {
        child("BtnDo")->setFocus();
    }
    if (messages == 0)
        settle(); // nothing comes of it
    QTRY_COMPARE(prompt_->messages.size(), messages);
    if (messages > 0)
        QTRY_COMPARE(QApplication::focusWidget(), article());
}

void TestWindow::noPingPongBetweenBadBoxes_data()
{
    QTest::addColumn<bool>("fromSizeBox");
    QTest::newRow("size box to article box") << true;
    QTest::newRow("article box to size box") << false;
}

// Both boxes hold bad input and the user clicks from one into the other: one message, for the
// box left, and the focus goes back there for good.
void TestWindow::noPingPongBetweenBadBoxes()
{
    QFETCH(bool, fromSizeBox);

    sizeBox()->setText(u"abc"_s);
    QWidget *from = fromSizeBox ? static_cast<QWidget *>(sizeBox()) : article();
    QWidget *to = fromSizeBox ? static_cast<QWidget *>(article()) : sizeBox();
    focus(from);
    QTest::mouseClick(to, Qt::LeftButton, {}, QPoint(5, 5));

    QTRY_COMPARE(prompt_->messages.size(), 1);
    QCOMPARE(prompt_->messages[0].text, fromSizeBox ? sizeText : tooShortText);
    QTRY_COMPARE(QApplication::focusWidget(), from);
    QTest::qWait(100);
    QCOMPARE(prompt_->messages.size(), 1);
    QCOMPARE(QApplication::focusWidget(), from);
}

void TestWindow::clear_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("cleared");

    QTest::newRow("article") << u"Some article. Two sentences."_s << true;
    // The click left a too-short article: the message comes first and the click ends there.
    QTest::newRow("too short") << u"abc"_s << false;
}

void TestWindow::clear()
{
    QFETCH(QString, text);
    QFETCH(bool, cleared);

    option("OptType1")->click();
    sizeBox()->setText(u"7"_s);
    article()->setPlainText(text);
    focus(article());
    QTest::mouseClick(child("btnCls"), Qt::LeftButton); // the check of the box left comes first

    QCOMPARE(article()->toPlainText(), cleared ? QString() : text);
    QCOMPARE(prompt_->messages.size(), cleared ? 0 : 1);
    if (cleared) {
        QCOMPARE(child<QLabel>("LCNum")->text(), u"0"_s);
        QCOMPARE(child<QLabel>("LLNum")->text(), u"0"_s);
        focus(article());
        QTest::keyClick(window_->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(article()->toPlainText(), text); // an edit that can be undone
    }
    // Nothing else changes.
    QCOMPARE(sizeBox()->text(), u"7"_s);
    QVERIFY(option("OptType1")->isChecked());
    QVERIFY(option("OptAllow0")->isChecked());
}

void TestWindow::splitModeSwitch()
{
    option("OptAllow1")->click();
    option("OptType1")->click();
    option("OptType1")->click();
    QVERIFY(!option("OptAllow0")->isEnabled());
    QVERIFY(!option("OptAllow1")->isEnabled());
    QVERIFY(option("OptAllow1")->isChecked());

    option("OptType0")->click();
    QVERIFY(option("OptAllow0")->isEnabled());
    QVERIFY(option("OptAllow1")->isEnabled());
    QVERIFY(option("OptAllow1")->isChecked());
}

void TestWindow::generate_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("completeness");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("paragraphs");

    const QString sample = u"Hello world. This is a test. End."_s;
    QTest::newRow("characters, sentence complete")
        << u"OptType0"_s << u"OptAllow0"_s << u"10"_s << sample
        << u"<p>Hello world.</p><p> This is a test.</p><p> End.</p>"_s;
    QTest::newRow("characters, word complete")
        << u"OptType0"_s << u"OptAllow1"_s << u"10"_s << sample
        << u"<p>Hello world.</p><p> This is a </p><p>test. End.</p>"_s;
    QTest::newRow("sentences") << u"OptType1"_s << u"OptAllow0"_s << u"2"_s << u"A. B. C. D. E."_s
                               << u"<p>A. B.</p><p> C. D.</p><p> E.</p>"_s;
    QTest::newRow("sentences ignore word complete")
        << u"OptType1"_s << u"OptAllow1"_s << u"2"_s << u"A. B, C. D."_s
        << u"<p>A. B, C.</p><p> D.</p>"_s;
    QTest::newRow("size with spaces and fraction")
        << u"OptType0"_s << u"OptAllow1"_s << u" 2.5 "_s << u"aaa b"_s << u"<p>aaa </p><p>b</p>"_s;
    QTest::newRow("spaces trimmed") << u"OptType0"_s << u"OptAllow0"_s << u"10"_s
                                    << u"   Short one.   "_s << u"<p>Short one.</p>"_s;
    // Line breaks reach the file as CR LF; no-break spaces, Chinese and markup pass unchanged.
    QTest::newRow("Chinese, CR LF, no-break space")
        << u"OptType0"_s << u"OptAllow0"_s << u"3"_s << u"第一段。\n第二段\u00A0<b>&好</b>"_s
        << u"<p>第一段。\r\n第二段\u00A0<b>&好</b></p>"_s;
    QTest::newRow("empty article")
        << u"OptType0"_s << u"OptAllow0"_s << u"10"_s << QString() << QString();
}

void TestWindow::generate()
{
    QFETCH(QString, mode);
    QFETCH(QString, completeness);
    QFETCH(QString, size);
    QFETCH(QString, text);
    QFETCH(QString, paragraphs);

    option("OptType0")->click(); // completeness can only be picked while it is enabled
    child<QRadioButton>(completeness.toLatin1().constData())->click();
    child<QRadioButton>(mode.toLatin1().constData())->click();
    sizeBox()->setText(size);
    article()->setPlainText(text);
    const QString path = dir_->filePath(offeredName);
    prompt_->fileNames = {path};

    const QString boxText = article()->document()->toRawText();
    focus(child("BtnDo"));
    QTest::mouseClick(child("BtnDo"), Qt::LeftButton);

    QCOMPARE(prompt_->saveRequests.size(), 1);
    const tavrinel::SaveFileRequest request = prompt_->saveRequests[0];
    QCOMPARE(request.title, u"保存文件(*.txt)"_s);
    QCOMPARE(request.offeredName, offeredName);
    QCOMPARE(request.filter, u"文本文档(*.txt)"_s);
    const QByteArray bytes = fileBytes(path);
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(QString::fromUtf8(bytes), paragraphs);
    QCOMPARE(prompt_->messages.size(), 1);
    QCOMPARE(prompt_->messages[0].text, u"文件保存成功！"_s);
    QCOMPARE(prompt_->messages[0].caption, u"操作提示"_s);
    QCOMPARE(prompt_->messages[0].icon, MessageIcon::Information);
    QCOMPARE(article()->document()->toRawText(), boxText); // the window keeps its contents
}

void TestWindow::generateOffersNameEachTime()
{
    article()->setPlainText(u"One. Two."_s);
    prompt_->fileNames = {dir_->filePath(u"first.txt"_s), dir_->filePath(u"second.txt"_s)};
    focus(child("BtnDo"));
    QTest::mouseClick(child("BtnDo"), Qt::LeftButton);
    QTest::mouseClick(child("BtnDo"), Qt::LeftButton);
    QCOMPARE(prompt_->saveRequests.size(), 2);
    QCOMPARE(prompt_->saveRequests[1].offeredName, offeredName);
    QCOMPARE(fileBytes(dir_->filePath(u"second.txt"_s)), QByteArray("<p>One. Two.</p>"));
}

void TestWindow::blankNameWritesNothing_data()
{
    QTest::addColumn<QString>("answer"); // %1: the folder the dialog shows
    QTest::newRow("cancelled") << QString();
    QTest::newRow("spaces") << u"   "_s;
    QTest::newRow("spaces after the folder, as the dialog hands them back") << u"%1/   "_s;
}

void TestWindow::blankNameWritesNothing()
{
    QFETCH(QString, answer);
    article()->setPlainText(u"Hello world."_s);
    prompt_->fileNames = {answer.contains(u'%') ? answer.arg(dir_->path()) : answer};
    QVERIFY(QDir::setCurrent(dir_->path()));
    focus(child("BtnDo"));
    QTest::mouseClick(child("BtnDo"), Qt::LeftButton);
    QDir::setCurrent(QDir::tempPath());

    QCOMPARE(prompt_->saveRequests.size(), 1);
    QVERIFY(prompt_->messages.isEmpty());
    QVERIFY(QDir(dir_->path()).isEmpty());
}

void TestWindow::saveFailure_data()
{
    QTest::addColumn<QString>("where"); // the file, or where to put the offered name
    QTest::addColumn<int>("reason");    // the error number whose text the box shows
    QTest::newRow("read-only folder") << u"read-only"_s << 0; // as root, /proc: another reason
    QTest::newRow("missing folder") << u"missing"_s << ENOENT;
    QTest::newRow("full device") << u"/dev/full"_s << ENOSPC;
    QTest::newRow("full disk, small result") << u"full disk"_s << ENOSPC;
    QTest::newRow("file size limit, small result") << u"size limit"_s << EFBIG;
    QTest::newRow("another user's link in a shared folder") << u"planted link"_s << 0;
    QTest::newRow("a folder name that is not UTF-8, shown escaped") << u"caf\\xE9"_s << ENOENT;
}

// The writer's failures are tested with it; here the window's side: the warning box, no file.
void TestWindow::saveFailure()
{
    QFETCH(QString, where);
    QFETCH(int, reason);
    const FullDisk disk;
    if (where == u"full disk" && !disk.error().isEmpty())
        QSKIP(qPrintable(disk.error()));
    if (where == u"planted link" && geteuid() != 0)
        QSKIP("needs root, to plant a link as another user (nobody)");
    const QString latin1 =
        tavrinel::fileNameFromBytes(QByteArray(QFile::encodeName(dir_->path()) + "/caf\xE9/"));
    const QString path = where == u"read-only"_s    ? readOnlyFolder(*dir_) + u'/' + offeredName
                         : where == u"missing"_s    ? dir_->filePath(u"missing/"_s + offeredName)
                         : where == u"full disk"_s  ? disk.filePath(u"old.txt"_s)
                         : where == u"size limit"_s ? dir_->filePath(u"old.txt"_s)
                         : where == u"planted link" ? dir_->filePath(u"shared/"_s + offeredName)
                         : where == u"caf\\xE9"     ? latin1 + offeredName
                                                    : where;
    if (where == u"size limit")
        writeFile(path, FullDisk::oldContent());
    if (where == u"planted link") { // to where the saving user's file would be made
        QVERIFY(QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner |
                                                        QFile::ExeOwner | QFile::ExeOther));
        QVERIFY(!makeSharedFolder(QDir(dir_->path())).isEmpty());
        QCOMPARE(runAsNobody({u"ln"_s, u"-s"_s, dir_->filePath(u"victim.txt"_s), path}), 0);
    }
    article()->setPlainText(u"Hello world."_s);
    prompt_->fileNames = {path};
    focus(child("BtnDo"));
    {
        const FileSizeLimit limit(where == u"size limit" ? 0 : RLIM_INFINITY);
        QTest::mouseClick(child("BtnDo"), Qt::LeftButton);
    }

    QCOMPARE(prompt_->messages.size(), 1);
    const tavrinel::Message message = prompt_->messages[0];
    QCOMPARE(message.caption, u"操作提示"_s);
    QCOMPARE(message.icon, MessageIcon::Warning);
    QVERIFY2(message.text.startsWith(u"文件保存失败"_s), qPrintable(message.text));
    QVERIFY2(message.text.contains(tavrinel::displayFileName(path)), qPrintable(message.text));
    if (where == u"planted link")
        QVERIFY2(message.text.contains(u"共享文件夹"_s) &&
                     !QFileInfo::exists(dir_->filePath(u"victim.txt"_s)),
                 qPrintable(message.text));
    if (reason != 0)
        QVERIFY2(message.text.endsWith(tavrinel::systemErrorText(reason)),
                 qPrintable(message.text));
    if (where == u"full disk" || where == u"size limit")
        QCOMPARE(fileBytes(path), FullDisk::oldContent());
    else
        QVERIFY(!QFileInfo(path).isFile());
    QVERIFY(!QFileInfo(u"/dev/full"_s).isFile());
}

void TestWindow::badSizeOpensNoDialog_data()
{
    QTest::addColumn<QString>("size");
    QTest::newRow("letters") << u"abc"_s;
    QTest::newRow("out of 16 bits") << u"40000"_s;
    QTest::newRow("rounds out of 16 bits") << u"32767.5"_s;
}

void TestWindow::badSizeOpensNoDialog()
{
    QFETCH(QString, size);
    article()->setPlainText(u"Hello world. This is a test."_s);
    sizeBox()->setText(size);
    focus(child("BtnDo"));
    QTest::mouseClick(child("BtnDo"), Qt::LeftButton);
    settle();
    QVERIFY(prompt_->saveRequests.isEmpty());
    QVERIFY(prompt_->messages.isEmpty());
}

void TestWindow::clickLeavingBadBoxDoesNotSave_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("message");
    QTest::newRow("article too short") << u"IArticle"_s << tooShortText;
    QTest::newRow("size not a number") << u"IByNum"_s << sizeText;
}

// A click on "生成" that takes the focus from a box with bad input shows that box's message and
// goes no further; with good input the same click saves.
void TestWindow::clickLeavingBadBoxDoesNotSave()
{
    QFETCH(QString, box);
    QFETCH(QString, message);
    article()->setPlainText(box == u"IArticle" ? u"abc"_s : u"Long enough."_s);
    sizeBox()->setText(box == u"IByNum" ? u"x"_s : u"10"_s);
    prompt_->fileNames = {dir_->filePath(u"out.txt"_s)};
    QWidget *left = child(box.toLatin1().constData());
    focus(left);
    QTest::mouseClick(child("BtnDo"), Qt::LeftButton);
    QTRY_COMPARE(prompt_->messages.size(), 1);
    QCOMPARE(prompt_->messages[0].text, message);
    QVERIFY(prompt_->saveRequests.isEmpty());
    QTRY_COMPARE(QApplication::focusWidget(), left);

    // Good input: the click leaves the box, which checks quietly, and saves.
    article()->setPlainText(u"Long enough."_s);
    sizeBox()->setText(u"10"_s);
    QTest::mouseClick(child("BtnDo"), Qt::LeftButton);
    QTRY_COMPARE(prompt_->saveRequests.size(), 1);
    QCOMPARE(fileBytes(dir_->filePath(u"out.txt"_s)), QByteArray("<p>Long enough.</p>"));
}

void TestWindow::closeWithCheckPending_data()
{
    QTest::addColumn<bool>("closeFirst");
    QTest::newRow("closed") << true;
    QTest::newRow("destroyed") << false;
}

void TestWindow::closeWithCheckPending()
{
    QFETCH(bool, closeFirst);
    focus(article());
    QTest::keyClick(article(), Qt::Key_Tab); // an empty article: a check is now waiting
    if (closeFirst)
        window_->close();
    window_.reset();
    settle();
    QVERIFY(prompt_->messages.isEmpty());
}

// The check's message in a real message box: its caption, text, single translated button, and
// the focus back in the box once the user has closed it.
void TestWindow::dropFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("text"); // the box's text afterwards, line breaks as CR LF
    QTest::addColumn<QString>("characters");
    QTest::addColumn<QString>("sentences");
    QTest::addColumn<bool>("tooShort");

    const QString chinese = u"你好，世界。Hello.\r\n第二段!"_s;
    QTest::newRow("GB18030") << encoded("GB18030", chinese) << chinese << u"18"_s << u"2"_s
                             << false;
    QTest::newRow("UTF-16LE with mark, lone LF and CR")
        << QByteArray("\xFF\xFE") + encoded("UTF-16LE", u"一行。\n二行\r三行"_s)
        << u"一行。\r\n二行\r\n三行"_s << u"11"_s << u"1"_s << false;
    QTest::newRow("too short") << QByteArray("Hi") << u"Hi"_s << u"2"_s << u"1"_s << true;
}

// One file dropped replaces the article, as pasting over all of it would, and is counted.
void TestWindow::dropFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
    QFETCH(QString, characters);
    QFETCH(QString, sentences);
    QFETCH(bool, tooShort);

    const QString path = dir_->filePath(u"文章.txt"_s);
    writeFile(path, content);
    article()->setPlainText(u"Old article."_s);
    QCOMPARE(dropOnArticle(*draggedFiles({path})), Qt::CopyAction); // the file stays put

    QTRY_COMPARE(child<QLabel>("LCNum")->text(), characters);
    QCOMPARE(tavrinel::articleText(*article()->document()), text);
    QCOMPARE(child<QLabel>("LLNum")->text(), sentences);
    QCOMPARE(prompt_->messages.size(), tooShort ? 1 : 0);
    if (tooShort)
        QCOMPARE(prompt_->messages[0].text, tooShortText);
    QVERIFY(QFile::exists(path));
    article()->undo();
    QCOMPARE(article()->toPlainText(), u"Old article."_s);
}

void TestWindow::dropRefused_data()
{
    QTest::addColumn<QStringList>("drop"); // names in the test folder, or absolute paths
    QTest::addColumn<QString>("message");  // %1: the file; ending in a line break: a system reason
    QTest::addColumn<Qt::DropAction>("answer"); // what the file manager is told

    const QString failed = u"文件读取失败：%1\n"_s;
    QTest::newRow("neither UTF-8 nor GB18030")
        << QStringList{u"bad.txt"_s}
        << failed + u"文件既不是 UTF-8 也不是 GB18030 编码的文本（按 UTF-8 读，字节偏移 2 处无效；"
                    u"按 GB18030 读，字节偏移 4 处无效）"_s
        << Qt::CopyAction;
    QTest::newRow("missing file") << QStringList{u"gone.txt"_s} << failed + qt_error_string(ENOENT)
                                  << Qt::CopyAction;
    // Reading it fails with EIO, also for root.
    QTest::newRow("read error") << QStringList{u"/proc/self/mem"_s} << failed << Qt::CopyAction;
    QTest::newRow("device") << QStringList{u"/dev/zero"_s} << failed + u"不是普通文件"_s
                            << Qt::CopyAction;
    QTest::newRow("exactly 256 MiB is read") // and found to be no text
        << QStringList{u"limit.txt"_s}
        << failed + u"文件含有 NUL 字节，不是本程序能读取的任何编码的文本"_s << Qt::CopyAction;
    QTest::newRow("over 256 MiB") << QStringList{u"large.txt"_s}
                                  << failed + u"文件太大（超过 256 MB），请用 tavrinel-cli 处理"_s
                                  << Qt::CopyAction;
    QTest::newRow("folder") << QStringList{u"folder"_s} << u"不能拖入文件夹：%1"_s
                            << Qt::IgnoreAction;
    QTest::newRow("two files") << QStringList{u"bad.txt"_s, u"good.txt"_s}
                               << u"一次只能拖入一个文件"_s << Qt::IgnoreAction;
}

// A file that cannot be read leaves the box and its counts as they were and says why.
void TestWindow::dropRefused()
{
    QFETCH(QStringList, drop);
    QFETCH(QString, message);
    QFETCH(Qt::DropAction, answer);

    writeFile(dir_->filePath(u"bad.txt"_s), QByteArray("ab\xC4\xE3\xFF"));
    writeFile(dir_->filePath(u"good.txt"_s), QByteArray("Good article."));
    QVERIFY(QDir(dir_->path()).mkdir(u"folder"_s));
    writeFile(dir_->filePath(u"large.txt"_s), {});
    QVERIFY(QFile::resize(dir_->filePath(u"large.txt"_s), (qint64(256) << 20) + 1)); // sparse
    writeFile(dir_->filePath(u"limit.txt"_s), {});
    QVERIFY(QFile::resize(dir_->filePath(u"limit.txt"_s), qint64(256) << 20));
    QStringList paths;
    for (const QString &name : drop)
        paths << QDir(dir_->path()).absoluteFilePath(name);
    article()->setPlainText(u"Old article."_s);

    QCOMPARE(dropOnArticle(*draggedFiles(paths)), answer);
    QTRY_COMPARE(prompt_->messages.size(), 1);
    const tavrinel::Message shown = prompt_->messages[0];
    const QString expected =
        message.contains(u"%1"_s) ? message.arg(QDir::toNativeSeparators(paths[0])) : message;
    if (expected.endsWith(u'\n'))
        QVERIFY2(shown.text.startsWith(expected) && shown.text.size() > expected.size(),
                 qPrintable(shown.text));
    else
        QCOMPARE(shown.text, expected);
    QCOMPARE(shown.caption, u"操作提示"_s);
    QCOMPARE(shown.icon, MessageIcon::Warning);
    QCOMPARE(article()->toPlainText(), u"Old article."_s);
    QCOMPARE(child<QLabel>("LCNum")->text(), QString());
}

// Dragged text, and a link to a web page, are inserted where they are dropped, as before.
void TestWindow::dropText()
{
    article()->setPlainText(u"Old article."_s);
    QMimeData text;
    text.setText(u"Dropped"_s);
    QVERIFY(dropOnArticle(text) != Qt::IgnoreAction);
    QMimeData link;
    link.setUrls({QUrl(u"https://example.org/a.txt"_s)});
    link.setText(u"https://example.org/a.txt"_s);
    QVERIFY(dropOnArticle(link) != Qt::IgnoreAction);

    const QString box = article()->toPlainText();
    QVERIFY2(box.contains(u"Dropped"_s) && box.contains(u"https://example.org/a.txt"_s),
             qPrintable(box));
    settle(); // no file to read
    QVERIFY(prompt_->messages.isEmpty());
}

void TestWindow::realCheckMessage()
{
    showWindow(realPrompt_);
    QString title, text, button;
    QMessageBox::Icon icon = QMessageBox::Critical;
    const auto answered = answerModal<QMessageBox>([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        QCOMPARE(box->buttons().size(), 1);
        button = box->buttons().constFirst()->text();
        box->buttons().constFirst()->click();
    });
    focus(article());
    QTest::keyClick(article(), Qt::Key_Tab);
    QTRY_VERIFY(*answered);
    QCOMPARE(title, u"Tavrinel"_s);
    QCOMPARE(text, tooShortText);
    QCOMPARE(icon, QMessageBox::NoIcon);
    QVERIFY2(chinese_, "Qt's Chinese translations are missing (qt6-translations-l10n)");
    QCOMPARE(button, u"确定"_s);
    QTRY_COMPARE(QApplication::focusWidget(), article());
    QVERIFY(window_->isActiveWindow());
}

// The real Save As dialog: title, offered name and filter; it asks before replacing a file, and
// the success box follows.
void TestWindow::realSaveDialog()
{
    showWindow(realPrompt_);
    const QString path = dir_->filePath(u"结果.txt"_s);
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older and much longer file that must be replaced whole");
    }
    article()->setPlainText(u"Hello world. This is a test. End."_s);

    QString title, offered;
    QStringList filters;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    bool replaceAsked = false;
    QString savedTitle, savedText, savedButton;
    QMessageBox::Icon savedIcon = QMessageBox::NoIcon;
    auto savedAnswered = std::make_shared<bool>(false);
    const auto dialogAnswered = answerModal<QFileDialog>([&](QFileDialog *dialog) {
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        mode = dialog->acceptMode();
        if (auto *name = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s))
            offered = name->text();
        answerModal<QMessageBox>([&](QMessageBox *question) {
            replaceAsked = question->text().contains(u"结果.txt"_s);
            question->button(QMessageBox::Yes)->click();
        });
        dialog->selectFile(path);
        static_cast<QDialog *>(dialog)->accept(); // as the Save button does
        // The success box opens once the dialog has closed and the file is written.
        savedAnswered = answerModal<QMessageBox>([&](QMessageBox *box) {
            savedTitle = box->windowTitle();
            savedText = box->text();
            savedIcon = box->icon();
            savedButton = box->buttons().constFirst()->text();
            box->buttons().constFirst()->click();
        });
    });

    focus(child("BtnDo"));
    QTest::mouseClick(child("BtnDo"), Qt::LeftButton);
    QTRY_VERIFY(*savedAnswered);

    QVERIFY(*dialogAnswered);
    QCOMPARE(title, u"保存文件(*.txt)"_s);
    QCOMPARE(offered, offeredName);
    QCOMPARE(filters, QStringList{u"文本文档(*.txt)"_s});
    QCOMPARE(mode, QFileDialog::AcceptSave);
    QVERIFY(replaceAsked);
    QCOMPARE(savedTitle, u"操作提示"_s);
    QCOMPARE(savedText, u"文件保存成功！"_s);
    QCOMPARE(savedIcon, QMessageBox::Information);
    QVERIFY2(chinese_, "Qt's Chinese translations are missing (qt6-translations-l10n)");
    QCOMPARE(savedButton, u"确定"_s);
    QCOMPARE(fileBytes(path), QByteArray("<p>Hello world.</p><p> This is a test.</p><p> End.</p>"));
}

void TestWindow::accessibleNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QAccessible::Role>("role");
    QTest::addColumn<QString>("labelledBy"); // the label or frame that names the control

    auto row = [](const char *control, const QString &name, QAccessible::Role role,
                  const QString &description = {}, const QString &label = {}) {
        QTest::newRow(control) << name << description << role << label;
    };
    row("window", u"Zentrel"_s, QAccessible::Client);
    row("Linput", u"输入文章内容"_s, QAccessible::StaticText);
    row("IArticle", u"输入文章内容"_s, QAccessible::EditableText, {}, u"Linput"_s);
    row("Lname", u"文章字数"_s, QAccessible::StaticText);
    row("LCNum", u"16"_s, QAccessible::StaticText, u"文章字数"_s);
    row("LClause", u"文章句数"_s, QAccessible::StaticText);
    row("LLNum", u"4"_s, QAccessible::StaticText, u"文章句数"_s);
    row("BtnDo", u"生成"_s, QAccessible::Button);
    row("Label1", u"数量标准"_s, QAccessible::StaticText);
    row("IByNum", u"数量标准"_s, QAccessible::EditableText, {}, u"Label1"_s);
    row("RG1", u"分段形式"_s, QAccessible::Grouping);
    row("RG2", u"完整性"_s, QAccessible::Grouping);
    row("OptType0", u"按字符数"_s, QAccessible::RadioButton, {}, u"RG1"_s);
    row("OptType1", u"按句子数"_s, QAccessible::RadioButton, {}, u"RG1"_s);
    row("OptAllow0", u"句子完整"_s, QAccessible::RadioButton, {}, u"RG2"_s);
    row("OptAllow1", u"单词完整"_s, QAccessible::RadioButton, {}, u"RG2"_s);
    row("btnCls", u"清空内容"_s, QAccessible::Button);
}

// What a screen reader announces for each control: its caption; the two boxes are named and
// labelled by the label beside them, the options by their frame; the counts read as their
// number with the caption above them as description.
void TestWindow::accessibleNames()
{
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(QAccessible::Role, role);
    QFETCH(QString, labelledBy);

    article()->setPlainText(u"Hi? Yes! No; ok."_s);
    focus(article());
    QTest::keyClick(article(), Qt::Key_Tab); // fills the counts
    QTRY_VERIFY(!child<QLabel>("LLNum")->text().isEmpty());

    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    QWidget *control = tag == u"window" ? window_.get() : child(QTest::currentDataTag());
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(control);
    QVERIFY(iface);
    QCOMPARE(iface->text(QAccessible::Name), name);
    QCOMPARE(iface->text(QAccessible::Description), description);
    QCOMPARE(iface->role(), role);

    const auto labels = iface->relations(QAccessible::Label);
    if (labelledBy.isEmpty()) {
        QVERIFY(labels.isEmpty());
        return;
    }
    QWidget *label = child(labelledBy.toLatin1().constData());
    if (auto *text = qobject_cast<QLabel *>(label))
        QCOMPARE(text->buddy(), control);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels[0].first->object(), label);
    const auto labelled =
        QAccessible::queryAccessibleInterface(label)->relations(QAccessible::Labelled);
    QVERIFY(std::any_of(labelled.cbegin(), labelled.cend(), [control](const auto &relation) {
        return relation.first->object() == control;
    }));
}

void TestWindow::enterOnControls_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<bool>("autoRepeat");
    QTest::addColumn<int>("saves");
    QTest::addColumn<QString>("articleAfter");

    const QString text = u"A long enough article."_s;
    // The row's name starts with the control that has the focus.
    QTest::newRow("IArticle: a line break") << Qt::Key_Return << false << 0 << text + u'\n';
    QTest::newRow("IByNum: nothing") << Qt::Key_Return << false << 0 << text;
    QTest::newRow("OptType0: nothing") << Qt::Key_Return << false << 0 << text;
    QTest::newRow("OptAllow0: nothing") << Qt::Key_Return << false << 0 << text;
    QTest::newRow("BtnDo: Return generates") << Qt::Key_Return << false << 1 << text;
    QTest::newRow("BtnDo: keypad Enter generates") << Qt::Key_Enter << false << 1 << text;
    QTest::newRow("BtnDo: a held Return does not repeat") << Qt::Key_Return << true << 0 << text;
    QTest::newRow("btnCls: Return clears") << Qt::Key_Return << false << 0 << QString();
}

// Enter runs the focused command button, as Space does, and nothing else: the article box keeps
// it for line breaks and the size box and the options ignore it.
void TestWindow::enterOnControls()
{
    QFETCH(Qt::Key, key);
    QFETCH(bool, autoRepeat);
    QFETCH(int, saves);
    QFETCH(QString, articleAfter);

    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    QWidget *control = child(tag.section(u':', 0, 0).toLatin1().constData());
    article()->setPlainText(u"A long enough article."_s);
    article()->moveCursor(QTextCursor::End);
    const QString path = dir_->filePath(u"enter.txt"_s);
    prompt_->fileNames = {path};
    focus(control);

    QWindow *window = window_->windowHandle();
    if (autoRepeat)
        qt_handleKeyEvent(window, QEvent::KeyPress, key, Qt::NoModifier, u"\r"_s, true);
    else
        QTest::keyClick(window, key);
    if (saves == 0)
        settle(); // nothing comes of it

    QTRY_COMPARE(prompt_->saveRequests.size(), saves);
    QCOMPARE(QFileInfo::exists(path), saves > 0);
    QCOMPARE(prompt_->messages.size(), saves); // the success box only
    QCOMPARE(article()->toPlainText(), articleAfter);
    QCOMPARE(sizeBox()->text(), u"10"_s);
    QVERIFY(option("OptType0")->isChecked());
    QVERIFY(option("OptAllow0")->isChecked());
    QTRY_COMPARE(QApplication::focusWidget(), control);
}

void TestWindow::keyboardOnly_data()
{
    QTest::addColumn<bool>("realDialogs");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("size");
    QTest::addColumn<bool>("bySentences");  // Right arrow in the split-mode group
    QTest::addColumn<bool>("wordComplete"); // Right arrow in the completeness group
    QTest::addColumn<Qt::Key>("toButton");  // Tab or Backtab until 生成 has the focus
    QTest::addColumn<Qt::Key>("press");
    QTest::addColumn<QString>("paragraphs");

    const QString sample = u"Hello world. This is a test. End."_s;
    QTest::newRow("defaults, Tab, Space")
        << false << sample << u"10"_s << false << false << Qt::Key_Tab << Qt::Key_Space
        << u"<p>Hello world.</p><p> This is a test.</p><p> End.</p>"_s;
    QTest::newRow("word complete, Backtab, Return")
        << false << sample << u"10"_s << false << true << Qt::Key_Backtab << Qt::Key_Return
        << u"<p>Hello world.</p><p> This is a </p><p>test. End.</p>"_s;
    QTest::newRow("by sentences, Tab, keypad Enter")
        << false << u"A. B. C. D. E."_s << u"2"_s << true << false << Qt::Key_Tab << Qt::Key_Enter
        << u"<p>A. B.</p><p> C. D.</p><p> E.</p>"_s;
    QTest::newRow("real dialogs, Backtab, Return")
        << true << u"第一段。\n第二段很长的句子.第三段"_s << u"3"_s << false << false
        << Qt::Key_Backtab << Qt::Key_Return
        << u"<p>第一段。\r\n第二段很长的句子.</p><p>第三段</p>"_s;
    QTest::newRow("real dialogs, Tab, Space")
        << true << sample << u"10"_s << true << false << Qt::Key_Tab << Qt::Key_Space
        << u"<p>Hello world. This is a test. End.</p>"_s;
}

// The whole job without the mouse: paste, Tab to the size and type it, pick the options with the
// arrow keys, go to 生成 and press it, name the file in Save As and close the success box, all
// with keys.
void TestWindow::keyboardOnly()
{
    QFETCH(bool, realDialogs);
    QFETCH(QString, text);
    QFETCH(QString, size);
    QFETCH(bool, bySentences);
    QFETCH(bool, wordComplete);
    QFETCH(Qt::Key, toButton);
    QFETCH(Qt::Key, press);
    QFETCH(QString, paragraphs);

    if (realDialogs)
        showWindow(realPrompt_);
    const QString path = dir_->filePath(u"keyboard.txt"_s);
    prompt_->fileNames = {path};
    auto key = [this](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window_->windowHandle(), k, modifiers);
    };

    QCOMPARE(QApplication::focusWidget(), article()); // where the window starts
    QGuiApplication::clipboard()->setText(text);
    key(Qt::Key_V, Qt::ControlModifier);
    key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child("BtnDo"));
    QTRY_VERIFY(!child<QLabel>("LCNum")->text().isEmpty()); // leaving the box counted it
    key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), sizeBox());
    QTest::keyClicks(sizeBox(), size); // Tab selected the old size, typing replaces it
    key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), option("OptType0"));
    if (bySentences) {
        key(Qt::Key_Right); // completeness is now disabled and Tab passes it by
    } else {
        key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), option("OptAllow0"));
        if (wordComplete)
            key(Qt::Key_Right);
    }
    for (int i = 0; i < 8 && QApplication::focusWidget() != child("BtnDo"); ++i)
        key(toButton);
    QCOMPARE(QApplication::focusWidget(), child("BtnDo"));
    QCOMPARE(sizeBox()->text(), size);
    QCOMPARE(option("OptType1")->isChecked(), bySentences);
    QCOMPARE(option("OptAllow1")->isChecked(), wordComplete);
    QVERIFY(prompt_->messages.isEmpty());

    QString offered, keysTo, success;
    bool closedByEnter = false;
    auto successAnswered = std::make_shared<bool>(false);
    if (realDialogs) {
        // Keys go where the focus is, once each box is active.
        answerModal<QFileDialog>(
            [&](QFileDialog *dialog) {
                offered = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s)->text();
                QWidget *edit = QApplication::focusWidget();
                if (edit && dialog->isAncestorOf(edit)) {
                    keysTo = edit->objectName();
                    QTest::keyClick(dialog->windowHandle(), Qt::Key_A, Qt::ControlModifier);
                    QTest::keyClicks(edit, path);
                    QTest::keyClick(dialog->windowHandle(), Qt::Key_Return);
                }
                successAnswered = answerModal<QMessageBox>(
                    [&](QMessageBox *box) {
                        success = box->text();
                        QTest::keyClick(box->windowHandle(), Qt::Key_Return);
                        closedByEnter = !box->isVisible();
                        if (!closedByEnter)
                            box->close(); // the test must not hang
                    },
                    10000, ModalWait::Active);
                if (dialog->isVisible())
                    dialog->reject(); // the name was not taken: no file, and the test fails
            },
            10000, ModalWait::Active);
    }
    key(press);
    if (realDialogs) {
        QTRY_VERIFY(*successAnswered);
        QCOMPARE(offered, offeredName);
        QCOMPARE(keysTo, u"fileNameEdit"_s); // the name is typed straight away
        QVERIFY(closedByEnter);
    } else {
        QCOMPARE(prompt_->saveRequests.size(), 1);
        QCOMPARE(prompt_->messages.size(), 1);
        success = prompt_->messages[0].text;
    }
    QCOMPARE(success, u"文件保存成功！"_s);
    QCOMPARE(QString::fromUtf8(fileBytes(path)), paragraphs);
    // Back in the window, on 生成, ready for the next keys.
    QTRY_COMPARE(QApplication::focusWidget(), child("BtnDo"));
    QVERIFY(window_->isActiveWindow());
}

void TestWindow::keysThroughWindowSystem_data()
{
    QTest::addColumn<QString>("start");   // the control with the focus, holding `article`
    QTest::addColumn<QString>("article"); // "abc" is too short
    QTest::addColumn<QString>("keys");    // the script (systemkeys.h); `name` types the file name
    QTest::addColumn<int>("saveDialogs"); // how often Save As opened
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QString>("articleAfter");

    const QString text = u"Hello world."_s;
    // The release of the key that opened a dialog goes to the main window, which the dialog
    // blocks: Qt drops it. So does the release of a key that closed one.
    QTest::newRow("Return on 生成, one Return saves, one closes the box")
        << u"BtnDo"_s << text << u"R+ m:R- [save] name R+ m:R- [box] R+ m:R- [none]"_s << 1 << true
        << text;
    QTest::newRow("keypad Enter likewise")
        << u"BtnDo"_s << text << u"E+ m:E- [save] name E+ m:E- [box] E+ m:E- [none]"_s << 1 << true
        << text;
    QTest::newRow("releases reach the dialogs")
        << u"BtnDo"_s << text << u"R+ R- [save] name R+ R- [box] R+ R- [none]"_s << 1 << true
        << text;
    QTest::newRow("Escape in Save As, then Return on 生成")
        << u"BtnDo"_s << text
        << u"R+ m:R- [save] X+ m:X- [none] R+ m:R- [save] name R+ m:R- [box] R+ m:R- [none]"_s << 2
        << true << text;
    QTest::newRow("Space on 生成, then Return, and Return on 生成 again")
        << u"BtnDo"_s << text
        << u"S+ S- [save] name R+ m:R- [box] R+ m:R- [none] R+ m:R- [save] X+ X- [none]"_s << 2
        << true << text;
    // Holding the key runs 生成 once; the repeats answer neither Save As nor the box.
    QTest::newRow("held Return on 生成")
        << u"BtnDo"_s << text << u"R+ R~ R~ R~ m:R- [save] X+ X- [none]"_s << 1 << false << text;
    QTest::newRow("held Return on 生成, repeats not flagged")
        << u"BtnDo"_s << text << u"R+ R= [save] R= R= R- X+ X- [none]"_s << 1 << false << text;
    QTest::newRow("held keypad Enter, repeats not flagged")
        << u"BtnDo"_s << text << u"E+ E= [save] E= E= E- X+ X- [none]"_s << 1 << false << text;
    QTest::newRow("held Return in Save As leaves the box open")
        << u"BtnDo"_s << text << u"R+ m:R- [save] name R+ [box] R~ R= R- R+ m:R- [none]"_s << 1
        << true << text;
    QTest::newRow("held Return that closed the box does not run 生成 again")
        << u"BtnDo"_s << text << u"R+ m:R- [save] name R+ m:R- [box] R+ [none] R~ R~ R= m:R-"_s << 1
        << true << text;
    QTest::newRow("deactivated while held, then a fresh Return")
        << u"BtnDo"_s << text
        << u"R+ away [other] back [none] m:R- [none] R+ m:R- [save] X+ X- [none]"_s << 1 << false
        << text;
    QTest::newRow("held Return in the article box: a line break per repeat")
        << u"IArticle"_s << text << u"R+ R~ R~ R= R-"_s << 0 << false << text + u"\n\n\n\n"_s;
    QTest::newRow("a warning closed by Return: its repeats stay out of the article")
        << u"IArticle"_s << u"abc"_s << u"T+ m:T- [box] R+ [none] R~ R~ m:R-"_s << 0 << false
        << u"abc"_s;
    QTest::newRow("a failed save's warning closes on one Return")
        << u"BtnDo"_s << text << u"R+ m:R- [save] badname R+ m:R- [box] R+ m:R- [none]"_s << 1
        << false << text;
}

// Return, keypad Enter and Space as the window system delivers them: one press acts once, none
// is lost, with the real Save As dialog and message boxes.
void TestWindow::keysThroughWindowSystem()
{
    QFETCH(QString, start);
    QFETCH(QString, article);
    QFETCH(QString, keys);
    QFETCH(int, saveDialogs);
    QFETCH(bool, saved);
    QFETCH(QString, articleAfter);

    showWindow(realPrompt_);
    this->article()->setPlainText(article);
    this->article()->moveCursor(QTextCursor::End);
    QWidget *control = child(start.toLatin1().constData());
    focus(control);

    const QString path = dir_->filePath(u"keys.txt"_s);
    auto setName = [](const QString &name) {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->findChild<QLineEdit *>(u"fileNameEdit"_s)->setText(name);
    };
    QWidget other;
    QWindow *main = window_->windowHandle();
    auto activeModal = [](const char *kind) {
        QWidget *modal = QApplication::activeModalWidget();
        return modal && modal->inherits(kind) && modal->isActiveWindow();
    };
    QHash<QString, SystemKeys::Action> actions;
    actions.insert(u"name"_s, [&] { setName(path); });
    actions.insert(u"badname"_s, [&] { setName(dir_->filePath(u"missing/keys.txt"_s)); });
    actions.insert(u"away"_s, [&] { other.show(), other.activateWindow(); });
    actions.insert(u"back"_s, [&] { window_->activateWindow(); });
    QHash<QString, SystemKeys::Ready> waits;
    waits.insert(u"other"_s, [&] { return other.isActiveWindow(); });
    waits.insert(u"save"_s, [&] { return activeModal("QFileDialog"); });
    waits.insert(u"box"_s, [&] { return activeModal("QMessageBox"); });
    waits.insert(u"none"_s,
                 [&] { return !QApplication::activeModalWidget() && window_->isActiveWindow(); });
    SystemKeys script(main, actions, waits);
    int dialogs = 0;
    ShowCounter counter(&dialogs, "QFileDialog");
    script.play(keys);
    QTRY_VERIFY_WITH_TIMEOUT(script.done(), 20000);
    QVERIFY2(script.failure().isEmpty(), qPrintable(script.failure()));
    QTest::qWait(100); // nothing more opens

    QCOMPARE(dialogs, saveDialogs);
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(QFileInfo::exists(path), saved);
    if (saved)
        QCOMPARE(fileBytes(path), QByteArray("<p>Hello world.</p>"));
    QCOMPARE(this->article()->toPlainText(), articleAfter);
    QCOMPARE(QApplication::focusWidget(), control);
}

// The window's program ignores SIGXFSZ from its start, so that a save past a file size limit
// fails with a message instead of ending the program with the user's article in it; it catches
// SIGTERM and SIGHUP, to remove a save's temporary file before it dies of them.
void TestWindow::programIgnoresFileSizeSignal()
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    program.setProcessEnvironment(environment);
    // This test program ignores the signal itself, and children inherit that.
    program.setChildProcessModifier([] { std::signal(SIGXFSZ, SIG_DFL); });
    program.start(QStringLiteral(TAVRINEL_WINDOW_PATH), {});
    QVERIFY(program.waitForStarted());
    const auto has = [&program](const QByteArray &set, int signal) {
        QFile status(u"/proc/%1/status"_s.arg(program.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith(set))
                return ((line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1) != 0;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(has("SigIgn:", SIGXFSZ), 10000);
    QVERIFY(has("SigCgt:", SIGTERM) && has("SigCgt:", SIGHUP));
    program.kill();
    program.waitForFinished();
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTranslator translator;
    const bool chinese = tavrinel::useChineseLanguage(app, translator);
    tavrinel::reportWriteLimitsAsErrors(); // as the window's program does first
    TestWindow test(chinese);
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_window.moc"
