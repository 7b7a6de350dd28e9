#pragma once

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QTextLayout>
#include <memory>
#include <vector>

namespace tavrinel
{

// The article box's document layout. Blocks up to longBlockLength characters are laid out whole
// in their own QTextLayout, as a plain text edit does. A longer block (an article pasted as one
// line) is laid out in pieces of a few thousand characters, each with a layout of its own, cut
// at the start of a sentence or where a line may break: an edit lays out again only the piece it
// falls in, and only pieces that are looked at are laid out at all; the others take their height
// from their characters' widths until they are. A piece ends its last line where it ends, so a
// long block shows a line that ends a little early every few thousand characters; its text is
// untouched.
//
// Qt's text control and cursor find a position's line in the block's own layout, which a long
// block never gets (that would shape the whole block on every key; even finding no line there
// analyses the whole block once after every change). For a long block
// blockBoundingRect() is therefore the top left of the view (setViewTop()): the control's own
// idea of the cursor rectangle then never scrolls, and the box (ArticleBox) takes cursor
// rectangles, cursor movement and scrolling from the functions below instead.
class ArticleLayout final : public QAbstractTextDocumentLayout
{
    Q_OBJECT

public:
    static constexpr int longBlockLength = 16384;

    explicit ArticleLayout(QTextDocument *document);
    ~ArticleLayout() override;

    void draw(QPainter *painter, const PaintContext &context) override;
    int hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override;
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame *frame) const override;
    QRectF blockBoundingRect(const QTextBlock &block) const override;

    static bool isLong(const QTextBlock &block);
    bool hasLongBlocks() const;
    void setViewTop(qreal y);
    // The caret the box blinks in a long block: where it is (-1 outside long blocks) and
    // whether it shows.
    void setCaret(int position, bool shown);
    // Lays out the pieces between the two heights and returns by how much the pieces above top
    // grew, which the view scrolls by to keep showing the same text.
    qreal prepare(qreal top, qreal bottom);
    // Tells the view of a new height once pieces were laid out.
    void flushSize();

    // An input method's pre-edit text at a position of a long block, with its formats and its
    // cursor, both relative to it; an empty text for none.
    void setPreedit(int position, const QString &text,
                    const QList<QTextLayout::FormatRange> &formats, int cursor);
    QString preeditText() const;

    QRectF cursorRect(int position) const;
    int nextPosition(int position, QTextLayout::CursorMode mode) const;
    int previousPosition(int position, QTextLayout::CursorMode mode) const;
    int lineStart(int position) const;
    int lineEnd(int position) const;
    // The position `lines` lines below (above, when negative) at x, and where that line is.
    int verticalMove(int position, qreal x, int lines) const;
    std::pair<int, int> wordAt(int position) const;
    int laidOutPieces() const;

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    struct Piece {
        int position = 0; // document position of its first character
        int length = 0;   // characters, never the block's separator
        qreal height = 0; // exact once laid out, estimated before
        bool exact = false;
        bool wholeBlock = false;             // laid out in the block's own layout
        std::unique_ptr<QTextLayout> layout; // a long block's piece, while kept
        int end() const { return position + length; }
    };
    struct LinePlace {
        int piece = -1;
        int line = -1;
    };

    std::vector<Piece> buildPieces(int from, int to) const;
    int cutNear(int target, int from, int to) const;
    QString text(int from, int to) const;
    qreal estimateHeight(QStringView text) const;
    qreal availableWidth() const;
    void rebuildAll();
    void invalidate(int first, int last);
    void replacePieces(int first, int last, std::vector<Piece> pieces);
    void normalizeBlockAt(int position);
    void finishChange(const QRectF &dirty);
    bool sameStructure(int first, int last) const;

    int pieceAt(int position) const;
    int pieceAtY(qreal y) const;
    qreal pieceTop(int index) const;
    QTextLayout *layoutOf(int index) const;
    void layOut(int index) const;
    void dropFarLayouts(int keep) const;
    void placePreedit(int index, QTextLayout &layout) const;
    LinePlace lineAt(int position) const;
    int layoutOffset(int index, int position) const;

    mutable std::vector<Piece> pieces_;
    mutable std::vector<qreal> tops_; // tops_[i]: y of piece i; the last entry: the bottom
    mutable bool topsValid_ = false;
    mutable bool sizeChanged_ = false;
    mutable QString raw_;                 // the document's text while much of it is read
    mutable std::vector<float> advances_; // per UTF-16 unit, for the estimates
    mutable qreal lineHeight_ = 0;
    int length_ = 0;
    int longBlocks_ = 0;
    qreal viewTop_ = 0;
    int caret_ = -1;
    int preeditAt_ = -1;
    QString preeditText_;
    QList<QTextLayout::FormatRange> preeditFormats_;
    int preeditCursor_ = 0;
    bool caretShown_ = false;
    qreal width_ = 0;
    QFont font_;
};

} // namespace tavrinel
