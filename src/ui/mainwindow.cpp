#include "mainwindow.h"

#include "articlebox.h"
#include "articlefile.h"
#include "articletext.h"
#include "checks/checks.h"
#include "commandbutton.h"
#include "generate/run.h"
#include "generate/sizetext.h"
#include "heldkeyguard.h"
#include "prompt.h"
#include "savefile.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <string_view>
#include <utility>

using namespace Qt::StringLiterals;

namespace tavrinel
{

namespace
{

const QString applicationTitle = u"Tavrinel"_s;
const QString articleTooShortText = u"文章内容太短，没有意义，请输入恰当的文章内容"_s;
const QString sizeNotNumberText = u"数量标准必须为整数"_s;
const QString operationCaption = u"操作提示"_s;
const QString savedText = u"文件保存成功！"_s;
const QString oneFileOnlyText = u"一次只能拖入一个文件"_s;
const QString folderDroppedText = u"不能拖入文件夹：%1"_s;
const SaveFileRequest saveRequest{u"保存文件(*.txt)"_s, u"文章分割后内容.txt"_s,
                                  u"文本文档(*.txt)"_s};

// The form is designed in twips; at 96 dots per inch 15 of them make a pixel.
struct TwipRect {
    int left, top, width, height;
};

QRect pixels(TwipRect r)
{
    return {r.left / 15, r.top / 15, r.width / 15, r.height / 15};
}

void setCaption(QLabel *label, const QString &text)
{
    label->setText(text);
}
void setCaption(QAbstractButton *button, const QString &text)
{
    button->setText(text);
}
void setCaption(QGroupBox *frame, const QString &text)
{
    frame->setTitle(text);
}
void setCaption(QLineEdit *box, const QString &text)
{
    box->setText(text);
}
void setCaption(QTextEdit *box, const QString &text)
{
    box->setPlainText(text);
}

template<class Control>
Control *place(QWidget *parent, const QString &name, const QString &caption, TwipRect rect)
{
    auto *control = new Control(parent);
    control->setObjectName(name);
    setCaption(control, caption);
    control->setGeometry(pixels(rect));
    return control;
}

// Bold 10.5-point SimSun as designed, or the nearest CJK font the system has.
QFont countFont()
{
    QFont font;
    font.setFamilies({u"宋体"_s, u"SimSun"_s, u"NSimSun"_s, u"AR PL UMing CN"_s,
                      u"Noto Serif CJK SC"_s, u"Noto Sans CJK SC"_s, u"WenQuanYi Zen Hei"_s,
                      u"WenQuanYi Micro Hei"_s});
    font.setPointSizeF(10.5);
    font.setBold(true);
    return font;
}

void styleCount(QLabel *label, QColor colour)
{
    label->setFont(countFont());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QIcon paragraphPageIcon()
{
    QIcon icon;
    icon.addFile(u":/icons/tavrinel-16.png"_s, QSize(16, 16));
    icon.addFile(u":/icons/tavrinel-32.png"_s, QSize(32, 32));
    return icon;
}

// Focus changes the user makes. A message box opening, the window being deactivated or a check
// handing the focus back also take the focus away, and must not set off a check.
bool isRealFocusLoss(Qt::FocusReason reason)
{
    switch (reason) {
    case Qt::MouseFocusReason:
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        return true;
    default:
        return false;
    }
}

// Tab visits the selected button of a group and passes the others by; a click or the arrow keys
// still reach them.
void tabToSelectedOnly(const QButtonGroup *group)
{
    for (QAbstractButton *button : group->buttons())
        button->setFocusPolicy(button->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

// Dragged links to files, all of them, when any is a local file; none for a dragged text or a
// link to a web page, which the box takes as text.
QList<QUrl> draggedFiles(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return {};
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.cbegin(), urls.cend(),
                       [](const QUrl &url) { return url.isLocalFile(); })
               ? urls
               : QList<QUrl>();
}

bool isDragAndDrop(QEvent::Type type)
{
    return type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop;
}

// Shows the busy cursor while it lives.
struct WaitCursor {
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

std::u16string_view u16(const QString &text)
{
    return {QStringView(text).utf16(), static_cast<std::size_t>(text.size())};
}

} // namespace

MainWindow::MainWindow(Prompt &prompt, QWidget *parent) : QWidget(parent), prompt_(prompt)
{
    setWindowTitle(u"Zentrel"_s);
    setWindowIcon(paragraphPageIcon());
    setFixedSize(784, 495);
    buildForm();
    setUpFocusChain();
    wireEvents();
    new HeldKeyGuard(this); // a held Return must not answer the dialogs a command opens
}

MainWindow::~MainWindow()
{
    // Children still lose the focus while they are destroyed; those are no losses to check.
    for (QWidget *watched : watchedControls())
        watched->removeEventFilter(this);
}

void MainWindow::buildForm()
{
    // clang-format off
    //                                  object name       caption or initial text  left  top   width height
    Linput   = place<QLabel>(this,         u"Linput"_s,   u"输入文章内容"_s, {240,  360,  1095, 255});
    IArticle = place<ArticleBox>(this,     u"IArticle"_s, QString(),         {1560, 360,  9975, 5175});
    Lname    = place<QLabel>(this,         u"Lname"_s,    u"文章字数"_s,     {240,  840,  1215, 255});
    LCNum    = place<QLabel>(this,         u"LCNum"_s,    QString(),         {240,  1080, 1095, 255});
    LClause  = place<QLabel>(this,         u"LClause"_s,  u"文章句数"_s,     {240,  2040, 1215, 255});
    LLNum    = place<QLabel>(this,         u"LLNum"_s,    QString(),         {240,  2280, 1215, 255});
    BtnDo    = place<CommandButton>(this,  u"BtnDo"_s,    u"生成"_s,         {8640, 5760, 855,  735});
    Label1   = place<QLabel>(this,         u"Label1"_s,   u"数量标准"_s,     {7560, 5760, 855,  255});
    IByNum   = place<QLineEdit>(this,      u"IByNum"_s,   u"10"_s,           {7560, 6120, 735,  270});
    RG1      = place<QGroupBox>(this,      u"RG1"_s,      u"分段形式"_s,     {1560, 5640, 2775, 855});
    RG2      = place<QGroupBox>(this,      u"RG2"_s,      u"完整性"_s,       {4440, 5640, 2775, 855});
    // Option buttons are placed within their frames.
    OptType[0]  = place<QRadioButton>(RG1, u"OptType0"_s,  u"按字符数"_s, {120,  360,  1215, 375});
    OptType[1]  = place<QRadioButton>(RG1, u"OptType1"_s,  u"按句子数"_s, {1560, 360,  1095, 375});
    OptAllow[0] = place<QRadioButton>(RG2, u"OptAllow0"_s, u"句子完整"_s, {120,  360,  1095, 375});
    OptAllow[1] = place<QRadioButton>(RG2, u"OptAllow1"_s, u"单词完整"_s, {1320, 360,  1335, 375});
    btnCls   = place<CommandButton>(this,  u"btnCls"_s,   u"清空内容"_s,     {120,  2760, 1095, 495});
    // clang-format on

    IArticle->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    IArticle->setTabChangesFocus(true); // Tab moves on, as in every other box of the form

    // Screen readers name each box by its buddy label; the count labels read as their number,
    // described by the caption above them.
    Linput->setBuddy(IArticle);
    Label1->setBuddy(IByNum);
    LCNum->setAccessibleDescription(Lname->text());
    LLNum->setAccessibleDescription(LClause->text());

    styleCount(LCNum, QColor(128, 0, 0));
    styleCount(LLNum, QColor(192, 0, 0));

    // Each group is exclusive on its own.
    typeGroup_ = new QButtonGroup(this);
    typeGroup_->addButton(OptType[0], 0);
    typeGroup_->addButton(OptType[1], 1);
    allowGroup_ = new QButtonGroup(this);
    allowGroup_->addButton(OptAllow[0], 0);
    allowGroup_->addButton(OptAllow[1], 1);
    OptType[0]->setChecked(true);
    OptAllow[0]->setChecked(true);
}

void MainWindow::setUpFocusChain()
{
    QWidget *const chain[] = {IArticle,   BtnDo,       IByNum,      OptType[0],
                              OptType[1], OptAllow[0], OptAllow[1], btnCls};
    for (std::size_t i = 0; i + 1 < std::size(chain); ++i)
        setTabOrder(chain[i], chain[i + 1]);
    IArticle->setFocus();
}

QList<QWidget *> MainWindow::watchedControls() const
{
    // Files are dropped on the article box's viewport, which takes its drag and drop events.
    return {IArticle, IArticle->viewport(), IByNum, BtnDo, btnCls};
}

void MainWindow::wireEvents()
{
    for (QWidget *watched : watchedControls())
        watched->installEventFilter(this);
    connect(btnCls, &QPushButton::clicked, this, &MainWindow::clearArticle);
    connect(typeGroup_, &QButtonGroup::idClicked, this, &MainWindow::switchSplitMode);
    connect(BtnDo, &QPushButton::clicked, this, &MainWindow::generate);
    for (const QButtonGroup *group : {typeGroup_, allowGroup_}) {
        tabToSelectedOnly(group);
        connect(group, &QButtonGroup::buttonToggled, this, [group] { tabToSelectedOnly(group); });
    }
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == IArticle->viewport() && isDragAndDrop(event->type())) {
        auto *drop = static_cast<QDropEvent *>(event);
        const QList<QUrl> files = draggedFiles(drop->mimeData());
        if (!files.isEmpty()) {
            // Copy, never move: the file manager must not delete what was dropped. The file is
            // read once the drop is over, so that no message box holds the drag source waiting.
            drop->setDropAction(Qt::CopyAction);
            drop->setAccepted(drop->possibleActions().testFlag(Qt::CopyAction));
            if (event->type() == QEvent::Drop && drop->isAccepted()) {
                // A drop the box refuses is answered as ignored, so that the file manager does
                // not report a finished copy.
                const std::optional<QString> refusal = refusedDrop(files);
                if (refusal)
                    drop->ignore();
                QTimer::singleShot(0, this, [this, files, refusal] {
                    if (refusal)
                        warnAboutFile(*refusal);
                    else
                        loadDroppedFile(files.front().toLocalFile());
                });
            }
            return true;
        }
    }
    if (event->type() == QEvent::FocusOut &&
        isRealFocusLoss(static_cast<QFocusEvent *>(event)->reason())) {
        if (watched == IArticle)
            queueCheck(Check::ArticleStatistics);
        else if (watched == IByNum)
            queueCheck(Check::Size);
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    pendingCheck_.reset(); // nothing to check in a window that is going away
    QWidget::closeEvent(event);
}

// The check runs once the focus change has finished, never inside it. One check at a time: a loss
// of focus while another check waits or shows its message sets off nothing.
void MainWindow::queueCheck(Check check)
{
    if (pendingCheck_ || checkMessageOpen_)
        return;
    pendingCheck_ = check;
    QTimer::singleShot(0, this, [this] { runPendingCheck(); });
}

// Returns whether the check found bad input and said so.
bool MainWindow::runPendingCheck()
{
    const std::optional<Check> check = std::exchange(pendingCheck_, std::nullopt);
    if (!check || !isVisible())
        return false;
    return *check == Check::ArticleStatistics ? showArticleStatistics() : checkSize();
}

// The focus loss that came with a click on a command button is checked first; when its check
// warns, the click has done its part.
bool MainWindow::checkStopsClick()
{
    return checkMessageOpen_ || runPendingCheck();
}

bool MainWindow::showArticleStatistics()
{
    const QString text = articleText(*IArticle->document());
    const std::int64_t characters = characterCount(u16(text));
    LCNum->setText(QString::number(characters));
    LLNum->setText(QString::number(sentenceCount(u16(text))));
    if (!articleTooShort(characters))
        return false;
    warnAndReturnFocus(articleTooShortText, IArticle);
    return true;
}

bool MainWindow::checkSize()
{
    if (sizeTextAcceptable(u16(IByNum->text())))
        return false;
    warnAndReturnFocus(sizeNotNumberText, IByNum);
    return true;
}

void MainWindow::warnAndReturnFocus(const QString &text, QWidget *box)
{
    const QPointer<MainWindow> alive(this);
    checkMessageOpen_ = true;
    prompt_.showMessage(this, {text, applicationTitle, MessageIcon::None});
    if (!alive)
        return;
    checkMessageOpen_ = false;
    returnFocusTo(box);
}

// setFocus() alone leaves no widget focused when no window manager re-activates the window after
// the message box: activate it too.
void MainWindow::returnFocusTo(QWidget *box)
{
    activateWindow();
    box->setFocus(Qt::OtherFocusReason);
}

// The box takes one file: several at once, or a folder, are refused with the reason.
std::optional<QString> MainWindow::refusedDrop(const QList<QUrl> &urls)
{
    if (urls.size() != 1)
        return oneFileOnlyText;
    const QString path = urls.front().toLocalFile();
    if (QFileInfo(path).isDir())
        return folderDroppedText.arg(QDir::toNativeSeparators(path));
    return std::nullopt;
}

// One file dropped on the article box replaces the article as if its text had been pasted over
// everything (one step to undo), and is counted as when the box is left.
void MainWindow::loadDroppedFile(const QString &path)
{
    std::variant<QString, ArticleFileFailure> text;
    {
        const WaitCursor busy;
        text = readArticleFile(path);
        if (const auto *article = std::get_if<QString>(&text))
            replaceArticle(*article);
    }
    if (const auto *failure = std::get_if<ArticleFileFailure>(&text)) {
        warnAboutFile(failure->message);
        return;
    }
    showArticleStatistics();
}

// The cursor makes one line break of a CR LF pair, a lone CR and a lone LF alike, as pasting does.
void MainWindow::replaceArticle(const QString &text)
{
    QTextCursor cursor = IArticle->textCursor();
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    IArticle->setTextCursor(cursor);
}

void MainWindow::warnAboutFile(const QString &text)
{
    prompt_.showMessage(this, {text, operationCaption, MessageIcon::Warning});
}

void MainWindow::clearArticle()
{
    if (checkStopsClick())
        return;
    // An edit like any other, so that Ctrl+Z brings a cleared article back; clear() would also
    // throw the undo history away.
    QTextCursor cursor(IArticle->document());
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    LCNum->setText(u"0"_s);
    LLNum->setText(u"0"_s);
}

void MainWindow::switchSplitMode(int index)
{
    // Completeness only matters when cutting by characters; the selection itself stays.
    const bool byCharacters = index == 0;
    OptAllow[1]->setEnabled(byCharacters);
    OptAllow[0]->setEnabled(byCharacters);
}

void MainWindow::generate()
{
    if (checkStopsClick())
        return;
    const QPointer<MainWindow> alive(this);
    // Whatever fails from here on (a size that does not convert, exhausted memory, the dialog)
    // ends the command quietly and leaves the window as it was.
    try {
        const QString size = IByNum->text();
        const QString article = articleText(*IArticle->document());
        const std::optional<std::u16string> paragraphs = runGeneration(
            u16(size), u16(article), OptType[0]->isChecked(), OptAllow[1]->isChecked());
        if (paragraphs)
            saveParagraphs(QStringView(*paragraphs));
    } catch (...) {
    }
    if (!alive)
        return;
    // The Save As dialog and the boxes took the focus, and without a window manager nothing gives
    // it back: a keyboard user goes on from 生成.
    if (isVisible())
        returnFocusTo(BtnDo);
}

void MainWindow::saveParagraphs(QStringView paragraphs)
{
    const QString name = prompt_.askSaveFileName(this, saveRequest);
    // Cancelled, or a name of nothing but spaces: the dialog hands back a whole path, so it is
    // the name typed, the part after the folder, that must not be blank.
    const QString typed = QDir::fromNativeSeparators(name).section(u'/', -1);
    if (trimSpaces(u16(typed)).empty())
        return;
    if (const std::optional<QString> failure = saveTextFile(name, paragraphs)) {
        prompt_.showMessage(this, {*failure, operationCaption, MessageIcon::Warning});
        return;
    }
    prompt_.showMessage(this, {savedText, operationCaption, MessageIcon::Information});
}

} // namespace tavrinel
