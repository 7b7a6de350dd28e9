#pragma once

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
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    bool cursorInLongBlock() const;
    bool moveByLayout(QKeyEvent *event);
    int linesPerPage() const;
    QRectF caretRect() const;
    void caretMoved();
    void ensureCaretVisible();
    void prepareView();

    ArticleLayout *layout_ = nullptr;
    qreal preferredX_ = -1;
    bool movingVertically_ = false;
    bool caretToShow_ = false;
    bool preparing_ = false;
};

} // namespace tavrinel
