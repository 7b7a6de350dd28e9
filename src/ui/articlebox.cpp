#include "articlebox.h"

#include "articlelayout.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <utility>

namespace tavrinel
{

namespace
{

enum class Move {
    NextChar,
    PreviousChar,
    NextWord,
    PreviousWord,
    LineStart,
    LineEnd,
    NextLine,
    PreviousLine,
    NextPage,
    PreviousPage
};

struct KeyMove {
    QKeySequence::StandardKey key;
    Move move;
    bool select;
};

// The keys whose moves the text cursor would take from the block's layout.
constexpr KeyMove keyMoves[] = {
    {QKeySequence::MoveToNextChar, Move::NextChar, false},
    {QKeySequence::SelectNextChar, Move::NextChar, true},
    {QKeySequence::MoveToPreviousChar, Move::PreviousChar, false},
    {QKeySequence::SelectPreviousChar, Move::PreviousChar, true},
    {QKeySequence::MoveToNextWord, Move::NextWord, false},
    {QKeySequence::SelectNextWord, Move::NextWord, true},
    {QKeySequence::MoveToPreviousWord, Move::PreviousWord, false},
    {QKeySequence::SelectPreviousWord, Move::PreviousWord, true},
    {QKeySequence::MoveToStartOfLine, Move::LineStart, false},
    {QKeySequence::SelectStartOfLine, Move::LineStart, true},
    {QKeySequence::MoveToEndOfLine, Move::LineEnd, false},
    {QKeySequence::SelectEndOfLine, Move::LineEnd, true},
    {QKeySequence::MoveToNextLine, Move::NextLine, false},
    {QKeySequence::SelectNextLine, Move::NextLine, true},
    {QKeySequence::MoveToPreviousLine, Move::PreviousLine, false},
    {QKeySequence::SelectPreviousLine, Move::PreviousLine, true},
    {QKeySequence::MoveToNextPage, Move::NextPage, false},
    {QKeySequence::SelectNextPage, Move::NextPage, true},
    {QKeySequence::MoveToPreviousPage, Move::PreviousPage, false},
    {QKeySequence::SelectPreviousPage, Move::PreviousPage, true},
};

struct KeyErase {
    QKeySequence::StandardKey key;
    Move move; // what goes when nothing is selected
};

constexpr KeyErase keyErases[] = {
    {QKeySequence::Delete, Move::NextChar},
    {QKeySequence::DeleteEndOfWord, Move::NextWord},
    {QKeySequence::DeleteStartOfWord, Move::PreviousWord},
};

bool isVertical(Move move)
{
    return move == Move::NextLine || move == Move::PreviousLine || move == Move::NextPage ||
           move == Move::PreviousPage;
}

// Text a key types, as the text control takes it: printable, and no shortcut (AltGr, which is
// Ctrl+Alt on some systems, types).
bool isTyped(const QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    if (c.category() == QChar::Other_Format)
        return true;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (modifiers == Qt::ControlModifier || modifiers == (Qt::ShiftModifier | Qt::ControlModifier))
        return false;
    return c.isPrint() || c.category() == QChar::Other_PrivateUse ||
           (c.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate());
}

// How much text around the cursor an input method gets in a long block.
constexpr int surroundingLength = 1024;

} // namespace

ArticleBox::ArticleBox(QWidget *parent) : QTextEdit(parent)
{
    setAcceptRichText(false);
    layout_ = new ArticleLayout(document());
    document()->setDocumentLayout(layout_);
    // The caret blinks on the text control's timer; in a long block the control does not know
    // where the caret is, so the box repaints it.
    for (QObject *child : children()) {
        if (child->inherits("QWidgetTextControl")) {
            control_ = child;
            control_->installEventFilter(this);
        }
    }
    connect(this, &QTextEdit::cursorPositionChanged, this, &ArticleBox::caretMoved);
    connect(this, &QTextEdit::selectionChanged, this, [this] {
        if (cursorInLongBlock())
            viewport()->update();
    });
    connect(document(), &QTextDocument::contentsChanged, this, &ArticleBox::prepareView);
}

bool ArticleBox::cursorInLongBlock() const
{
    return layout_->hasLongBlocks() && ArticleLayout::isLong(textCursor().block());
}

// The caret in viewport coordinates, as wide as the box: the pre-edit text may move it.
QRectF ArticleBox::caretRect() const
{
    const QRectF caret = layout_->cursorRect(textCursor().position());
    return {0, caret.top() - verticalScrollBar()->value(), qreal(viewport()->width()),
            caret.height()};
}

// The text control blinks its cursor by repainting where it would be, which in a long block means
// laying out the whole block: there the box blinks the caret instead.
bool ArticleBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == control_ && event->type() == QEvent::Timer && cursorInLongBlock())
        return true;
    return QTextEdit::eventFilter(watched, event);
}

void ArticleBox::showCaret(bool shown)
{
    caretShown_ = shown;
    const bool inLong = cursorInLongBlock();
    layout_->setCaret(inLong ? textCursor().position() : -1, inLong && shown && hasFocus());
    // Where the caret was, and where it is now.
    viewport()->update(caretArea_);
    caretArea_ = inLong ? caretRect().toAlignedRect() : QRect();
    viewport()->update(caretArea_);
}

void ArticleBox::restartBlink()
{
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (cursorInLongBlock() && hasFocus() && !isReadOnly() && flashTime >= 2)
        blink_.start(flashTime / 2, this);
    else
        blink_.stop();
    showCaret(true);
}

void ArticleBox::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != blink_.timerId()) {
        QTextEdit::timerEvent(event);
        return;
    }
    if (!cursorInLongBlock()) {
        blink_.stop();
        return;
    }
    showCaret(!caretShown_);
}

// On a change of focus the text control repaints the selection and the cursor where it finds them
// in the block's layout, which in a long block means analysing the whole block. While the cursor
// is in a long block the control keeps believing it has the focus, and the box shows the focus
// itself; once the cursor is out of long blocks the control learns the truth (syncControlFocus).
void ArticleBox::focusInEvent(QFocusEvent *event)
{
    if (cursorInLongBlock() && controlFocused_) {
        QAbstractScrollArea::focusInEvent(event);
    } else {
        QTextEdit::focusInEvent(event);
        controlFocused_ = true;
    }
    restartBlink();
}

void ArticleBox::focusOutEvent(QFocusEvent *event)
{
    if (cursorInLongBlock()) {
        QAbstractScrollArea::focusOutEvent(event);
    } else {
        QTextEdit::focusOutEvent(event);
        controlFocused_ = false;
    }
    blink_.stop();
    showCaret(false);
}

void ArticleBox::syncControlFocus()
{
    if (cursorInLongBlock() || controlFocused_ == hasFocus())
        return;
    QFocusEvent event(hasFocus() ? QEvent::FocusIn : QEvent::FocusOut, Qt::OtherFocusReason);
    if (hasFocus())
        QTextEdit::focusInEvent(&event);
    else
        QTextEdit::focusOutEvent(&event);
    controlFocused_ = hasFocus();
}

void ArticleBox::caretMoved()
{
    if (!movingVertically_)
        preferredX_ = -1;
    syncControlFocus();
    restartBlink();
    if (!cursorInLongBlock())
        return;
    if (!std::exchange(caretToShow_, true))
        QMetaObject::invokeMethod(this, &ArticleBox::ensureCaretVisible, Qt::QueuedConnection);
}

void ArticleBox::ensureCaretVisible()
{
    if (!std::exchange(caretToShow_, false) || !cursorInLongBlock())
        return;
    const QRectF caret = layout_->cursorRect(textCursor().position());
    layout_->flushSize();
    QScrollBar *bar = verticalScrollBar();
    const int height = viewport()->height();
    if (caret.top() < bar->value())
        bar->setValue(int(std::floor(caret.top())));
    else if (caret.bottom() > bar->value() + height)
        bar->setValue(int(std::ceil(caret.bottom())) - height);
    prepareView();
}

// Lays out what the view shows before it is painted; where that changes the height of text above
// the view, scrolls by as much so that the same text stays in view.
void ArticleBox::prepareView()
{
    if (preparing_)
        return;
    const QScopedValueRollback guard(preparing_, true);
    QScrollBar *bar = verticalScrollBar();
    layout_->setViewTop(bar->value());
    const qreal grown = layout_->prepare(bar->value(), bar->value() + viewport()->height());
    if (grown != 0)
        bar->setValue(bar->value() + qRound(grown));
    layout_->setViewTop(bar->value());
}

void ArticleBox::scrollContentsBy(int dx, int dy)
{
    QTextEdit::scrollContentsBy(dx, dy);
    layout_->setViewTop(verticalScrollBar()->value());
    prepareView();
}

void ArticleBox::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    prepareView();
}

int ArticleBox::linesPerPage() const
{
    const qreal line = layout_->cursorRect(textCursor().position()).height();
    return std::max(1, int(viewport()->height() / std::max<qreal>(line, 1)) - 1);
}

bool ArticleBox::moveByLayout(QKeyEvent *event)
{
    if (!layout_->hasLongBlocks())
        return false;
    const bool inLong = cursorInLongBlock();
    QTextCursor cursor = textCursor();
    const int position = cursor.position();
    auto target = [&](Move move) {
        switch (move) {
        case Move::NextChar:
            return layout_->nextPosition(position, QTextLayout::SkipCharacters);
        case Move::PreviousChar:
            return layout_->previousPosition(position, QTextLayout::SkipCharacters);
        case Move::NextWord:
            return layout_->nextPosition(position, QTextLayout::SkipWords);
        case Move::PreviousWord:
            return layout_->previousPosition(position, QTextLayout::SkipWords);
        case Move::LineStart:
            return layout_->lineStart(position);
        case Move::LineEnd:
            return layout_->lineEnd(position);
        default:
            break;
        }
        if (preferredX_ < 0)
            preferredX_ = layout_->cursorRect(position).x();
        const int lines = move == Move::NextLine       ? 1
                          : move == Move::PreviousLine ? -1
                          : move == Move::NextPage     ? linesPerPage()
                                                       : -linesPerPage();
        return layout_->verticalMove(position, preferredX_, lines);
    };

    for (const KeyMove &key : keyMoves) {
        if (!event->matches(key.key))
            continue;
        const bool vertical = isVertical(key.move);
        if (!inLong && !vertical)
            return false;
        const int to = target(key.move);
        {
            const QScopedValueRollback keepX(movingVertically_, vertical);
            cursor.setPosition(to, key.select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
            setTextCursor(cursor);
        }
        if (key.select)
            offerSelection();
        if (key.move == Move::NextPage || key.move == Move::PreviousPage) {
            QScrollBar *bar = verticalScrollBar();
            const int page = viewport()->height();
            bar->setValue(bar->value() + (key.move == Move::NextPage ? page : -page));
        }
        caretToShow_ = true;
        return true;
    }
    return false;
}

// Typing and erasing in a long block, done here because the text control would look for the
// cursor's line in the block's own layout after each of them, analysing the whole block. The
// edit goes through a copy of the control's cursor, which the document moves along with it; an
// edit block keeps the copy from doing the same. A run of typing, or of erasing, is joined into
// one step to undo, as the control's are.
bool ArticleBox::editInLongBlock(QKeyEvent *event)
{
    if (!cursorInLongBlock() || isReadOnly())
        return false;
    Edit kind = Edit::None;
    Move erase = Move::NextChar;
    const bool backspace = event->key() == Qt::Key_Backspace &&
                           !(event->modifiers() & ~(Qt::ShiftModifier | Qt::GroupSwitchModifier));
    if (backspace) {
        kind = Edit::Erasing;
        erase = Move::PreviousChar;
    } else if (const auto found =
                   std::find_if(std::cbegin(keyErases), std::cend(keyErases),
                                [event](const KeyErase &e) { return event->matches(e.key); });
               found != std::cend(keyErases)) {
        erase = found->move;
    } else if (isTyped(event)) {
        kind = Edit::Typing;
    } else {
        return false;
    }

    QTextCursor cursor = textCursor();
    const bool join = kind != Edit::None && kind == lastEdit_ && !cursor.hasSelection() &&
                      cursor.position() == editPosition_ &&
                      document()->revision() == editRevision_ &&
                      document()->availableUndoSteps() == editUndoSteps_;
    if (join)
        cursor.joinPreviousEditBlock();
    else
        cursor.beginEditBlock();
    if (kind == Edit::Typing) {
        cursor.insertText(event->text());
    } else {
        if (cursor.hasSelection()) {
            cursor.removeSelectedText();
        } else if (erase == Move::PreviousChar) {
            cursor.deletePreviousChar(); // one code point, as Backspace takes back an accent
        } else {
            const int position = cursor.position();
            cursor.setPosition(erase == Move::NextChar
                                   ? layout_->nextPosition(position, QTextLayout::SkipCharacters)
                               : erase == Move::NextWord
                                   ? layout_->nextPosition(position, QTextLayout::SkipWords)
                                   : layout_->previousPosition(position, QTextLayout::SkipWords),
                               QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
    }
    cursor.endEditBlock();
    lastEdit_ = kind;
    editPosition_ = cursor.position();
    editRevision_ = document()->revision();
    editUndoSteps_ = document()->availableUndoSteps();
    caretToShow_ = true;
    restartBlink();
    return true;
}

void ArticleBox::keyPressEvent(QKeyEvent *event)
{
    // After pasting, the text control would place the cursor through the block's own layout.
    if (event->matches(QKeySequence::Paste) && !isReadOnly()) {
        paste();
        if (!cursorInLongBlock())
            ensureCursorVisible();
        event->accept();
    } else if (editInLongBlock(event) || moveByLayout(event)) {
        event->accept();
    } else {
        QTextEdit::keyPressEvent(event);
    }
    ensureCaretVisible();
}

// The input method in a long block: the text control would keep the pre-edit text in the block's
// layout and so have Qt analyse the whole block at every key of the composition. The box inserts
// the committed text itself, as one step to undo, and has its layout show the pre-edit text.
void ArticleBox::inputMethodEvent(QInputMethodEvent *event)
{
    const auto attributes = event->attributes();
    const bool selects = std::any_of(attributes.cbegin(), attributes.cend(), [](const auto &a) {
        return a.type == QInputMethodEvent::Selection;
    });
    if (!cursorInLongBlock() || isReadOnly() || selects) {
        layout_->setPreedit(-1, QString(), {}, 0);
        QTextEdit::inputMethodEvent(event);
        ensureCaretVisible();
        return;
    }
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    if (!event->commitString().isEmpty() || event->preeditString() != layout_->preeditText() ||
        event->replacementLength() > 0)
        cursor.removeSelectedText();
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        QTextCursor replaced = cursor;
        replaced.setPosition(cursor.position() + event->replacementStart());
        replaced.setPosition(replaced.position() + event->replacementLength(),
                             QTextCursor::KeepAnchor);
        replaced.insertText(event->commitString());
    }
    cursor.endEditBlock();

    int preeditCursor = int(event->preeditString().size());
    QList<QTextLayout::FormatRange> formats;
    for (const QInputMethodEvent::Attribute &attribute : attributes) {
        if (attribute.type == QInputMethodEvent::Cursor) {
            preeditCursor = attribute.start;
        } else if (attribute.type == QInputMethodEvent::TextFormat) {
            QTextCharFormat format = textCursor().charFormat();
            format.merge(qvariant_cast<QTextFormat>(attribute.value).toCharFormat());
            formats.append({attribute.start, attribute.length, format});
        }
    }
    layout_->setPreedit(textCursor().position(), event->preeditString(), formats, preeditCursor);
    lastEdit_ = Edit::None;
    caretToShow_ = true;
    restartBlink();
    ensureCaretVisible();
    updateMicroFocus();
    event->accept();
}

QVariant ArticleBox::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (!cursorInLongBlock())
        return QTextEdit::inputMethodQuery(query);
    const QTextCursor cursor = textCursor();
    const QPoint offset =
        viewport()->pos() - QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const QTextBlock block = cursor.block();
    const int blockStart = block.position();
    const int blockEnd = blockStart + block.length() - 1;
    const int start = std::max(blockStart, cursor.position() - surroundingLength);
    const int end = std::min(blockEnd, cursor.position() + surroundingLength);
    auto textBetween = [this](int from, int to) {
        QTextCursor range(document());
        range.setPosition(from);
        range.setPosition(to, QTextCursor::KeepAnchor);
        return range.selectedText();
    };
    switch (query) {
    case Qt::ImCursorRectangle:
        return layout_->cursorRect(cursor.position()).toAlignedRect().translated(offset);
    case Qt::ImAnchorRectangle:
        return layout_->cursorRect(cursor.anchor()).toAlignedRect().translated(offset);
    // The whole block would be millions of characters on every query: the text around the
    // cursor does.
    case Qt::ImSurroundingText:
        return textBetween(start, end);
    case Qt::ImCursorPosition:
        return cursor.position() - start;
    case Qt::ImAnchorPosition:
        return std::clamp(cursor.anchor(), start, end) - start;
    case Qt::ImTextBeforeCursor:
        return textBetween(start, cursor.position());
    case Qt::ImTextAfterCursor:
        return textBetween(cursor.position(), end);
    default:
        return QTextEdit::inputMethodQuery(query);
    }
}

void ArticleBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QTextCursor at = cursorForPosition(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !ArticleLayout::isLong(at.block())) {
        QTextEdit::mouseDoubleClickEvent(event);
        return;
    }
    const auto [start, end] = layout_->wordAt(at.position());
    QTextCursor word = textCursor();
    word.setPosition(start);
    word.setPosition(end, QTextCursor::KeepAnchor);
    setTextCursor(word);
    offerSelection();
    event->accept();
    ensureCaretVisible();
}

// Pasted or dropped text. The text control would first build a document of its own from it and
// then place the cursor in both; text that is or goes into a long block is inserted here instead,
// with the same line breaks (CR LF, a lone CR and a lone LF each make one) and as one step to
// undo.
void ArticleBox::insertFromMimeData(const QMimeData *source)
{
    const QString text = source && !isReadOnly() && source->hasText() ? source->text() : QString();
    if (text.size() <= ArticleLayout::longBlockLength && !cursorInLongBlock()) {
        QTextEdit::insertFromMimeData(source);
        return;
    }
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.insertText(text);
    cursor.endEditBlock();
    lastEdit_ = Edit::None;
    caretToShow_ = true;
    if (!cursorInLongBlock())
        ensureCursorVisible();
}

// What the text control offers as the X11 primary selection when it selects.
void ArticleBox::offerSelection()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (textCursor().hasSelection() && clipboard->supportsSelection())
        clipboard->setMimeData(createMimeDataFromSelection(), QClipboard::Selection);
}

// The text control shows where a drop would go only where it can place the cursor.
void ArticleBox::dragMoveEvent(QDragMoveEvent *event)
{
    QTextEdit::dragMoveEvent(event);
    if (layout_->hasLongBlocks())
        viewport()->update();
}

} // namespace tavrinel
