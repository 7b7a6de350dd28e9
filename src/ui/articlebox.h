#pragma once

#include <QBasicTimer>
#include <QTextEdit>

namespace tavrinel
{

class ArticleLayout;

// The article box: a plain text editor whose document is laid out by ArticleLayout, so that an
// article pasted as one line of millions of characters edits as quickly as one with line
// breaks. Typing, the input method, undo, selection, drag and drop, the context menu and
// accessibility are the text edit's own. In a long block, which the text control cannot place
// the cursor in, the box moves the cursor by the keys, keeps it in view and tells the input
// method where it is from the layout.
class ArticleBox final : public QTextEdit
{
    Q_OBJECT

public:
    explicit ArticleBox(QWidget *parent = nullptr);

    ArticleLayout *articleLayout() const { return layout_; }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    bool cursorInLongBlock() const;
    bool editInLongBlock(QKeyEvent *event);
    bool moveByLayout(QKeyEvent *event);
    void offerSelection();
    void restartBlink();
    void syncControlFocus();
    void showCaret(bool shown);
    int linesPerPage() const;
    QRectF caretRect() const;
    void caretMoved();
    void ensureCaretVisible();
    void prepareView();

    ArticleLayout *layout_ = nullptr;
    QObject *control_ = nullptr; // the text control, whose caret blinks outside long blocks
    qreal preferredX_ = -1;
    bool movingVertically_ = false;
    bool caretToShow_ = false;
    bool preparing_ = false;
    // The caret of a long block blinks here, not in the text control.
    QBasicTimer blink_;
    bool caretShown_ = false;
    QRect caretArea_;             // where the caret was last shown, in the viewport
    bool controlFocused_ = false; // what the text control believes
    // Where the last typing or erasing in a long block left the text, to make a run of them one
    // step to undo as the text control does.
    enum class Edit { None, Typing, Erasing };
    Edit lastEdit_ = Edit::None;
    int editPosition_ = -1;
    int editRevision_ = -1;
    int editUndoSteps_ = -1;
};

} // namespace tavrinel
