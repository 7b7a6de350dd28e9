#include "articlelayout.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

namespace tavrinel
{

namespace
{

// A piece of a long block: about pieceLength characters, never more than maxPieceLength; a piece
// that an edit leaves shorter than minPieceLength joins its neighbour. A key press lays out one
// piece, well under a millisecond; larger pieces would end lines early less often but make each
// key slower than in an article with line breaks.
constexpr int pieceLength = 2048;
constexpr int minPieceLength = 512;
constexpr int maxPieceLength = 4096;
// How far from the wanted place a cut looks for the start of a sentence or a line break
// opportunity.
constexpr int cutWindow = 512;
// Laid-out pieces of long blocks kept with their glyphs (a few hundred kilobytes each); the
// others keep only their height.
constexpr int keptLayouts = 24;

int blockEnd(const QTextBlock &block)
{
    return block.position() + block.length() - 1;
}

} // namespace

ArticleLayout::ArticleLayout(QTextDocument *document) : QAbstractTextDocumentLayout(document)
{
    rebuildAll();
}

ArticleLayout::~ArticleLayout() = default;

bool ArticleLayout::isLong(const QTextBlock &block)
{
    return block.length() - 1 > longBlockLength;
}

bool ArticleLayout::hasLongBlocks() const
{
    return longBlocks_ > 0;
}

void ArticleLayout::setViewTop(qreal y)
{
    viewTop_ = y;
}

void ArticleLayout::setCaret(int position, bool shown)
{
    caret_ = position;
    caretShown_ = shown;
}

int ArticleLayout::pageCount() const
{
    return 1;
}

qreal ArticleLayout::availableWidth() const
{
    const qreal page = document()->pageSize().width();
    if (page <= 0)
        return qreal(INT_MAX);
    return std::max<qreal>(1, page - 2 * document()->documentMargin());
}

QSizeF ArticleLayout::documentSize() const
{
    const qreal margin = document()->documentMargin();
    const qreal page = document()->pageSize().width();
    return {page > 0 ? page : 2 * margin, pieceTop(int(pieces_.size())) + margin};
}

QRectF ArticleLayout::frameBoundingRect(QTextFrame *) const
{
    return {QPointF(0, 0), documentSize()};
}

QRectF ArticleLayout::blockBoundingRect(const QTextBlock &block) const
{
    if (!block.isValid())
        return {};
    if (isLong(block))
        return {0, viewTop_, 0, 0};
    const int index = pieceAt(block.position());
    layOut(index);
    return {0, pieceTop(index), documentSize().width(), pieces_[index].height};
}

// The document's text between two positions, as the document holds it. Not through a text
// cursor: placing one in a long block has the block's own layout analyse the whole block.
QString ArticleLayout::text(int from, int to) const
{
    if (!raw_.isNull())
        return raw_.mid(from, to - from);
    QString text(to - from, Qt::Uninitialized);
    for (int i = from; i < to; ++i)
        text[i - from] = document()->characterAt(i);
    return text;
}

// Where to cut a long block near target, within (from, to): at the start of a sentence nearest
// before it, else after it, else likewise at a line break opportunity or a grapheme boundary. The
// piece's last line then ends with a sentence where the text has any, and a cut never splits a
// word, a surrogate pair or a character from its accents where the text allows.
int ArticleLayout::cutNear(int target, int from, int to) const
{
    const int windowStart = std::max(from, target - cutWindow);
    const int windowEnd = std::min(to, target + cutWindow);
    const QString window = text(windowStart, windowEnd);
    for (const auto type : {QTextBoundaryFinder::Sentence, QTextBoundaryFinder::Line,
                            QTextBoundaryFinder::Grapheme}) {
        QTextBoundaryFinder finder(type, window);
        finder.setPosition(target - windowStart);
        const qsizetype before =
            finder.isAtBoundary() ? finder.position() : finder.toPreviousBoundary();
        if (before > 0 && before < window.size())
            return windowStart + int(before);
        finder.setPosition(target - windowStart);
        const qsizetype after = finder.toNextBoundary();
        if (after > 0 && after < window.size())
            return windowStart + int(after);
    }
    return target;
}

qreal ArticleLayout::estimateHeight(QStringView text) const
{
    const QFont font = document()->defaultFont();
    if (advances_.empty()) {
        advances_.assign(0x10000, -1.0f);
        lineHeight_ = QFontMetricsF(font).height();
    }
    const QFontMetricsF metrics(font);
    double width = 0;
    for (const QChar c : text) {
        float &advance = advances_[c.unicode()];
        if (advance < 0)
            advance = c.isSurrogate() ? float(metrics.horizontalAdvance(QChar(0x4E2D))) / 2
                                      : float(metrics.horizontalAdvance(c));
        width += advance;
    }
    // Wrapping at word ends leaves some room at the end of each line.
    const double lines = std::max(1.0, std::ceil(width / (availableWidth() * 0.96)));
    return lines * lineHeight_;
}

// Pieces for the document text from `from` (a block's start or a cut) to `to` (a block's end or
// a cut).
std::vector<ArticleLayout::Piece> ArticleLayout::buildPieces(int from, int to) const
{
    // Much text at once (a paste, a new width) is read from the document in one go.
    const bool bulk = raw_.isNull() && to - from > 65536;
    if (bulk)
        raw_ = document()->toRawText();
    std::vector<Piece> pieces;
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        const int start = std::max(from, block.position());
        const int end = std::min(to, blockEnd(block));
        auto add = [&](int position, int length, bool whole) {
            Piece piece;
            piece.position = position;
            piece.length = length;
            piece.wholeBlock = whole;
            piece.height = estimateHeight(text(position, position + length));
            pieces.push_back(std::move(piece));
        };
        // A long block's own layout must stay empty: the text cursor looks there for the
        // cursor's line, and lines left from when the block was short would have it work
        // through the whole block on every move.
        block.clearLayout();
        if (!isLong(block)) {
            add(block.position(), block.length() - 1, true);
            continue;
        }
        int position = start;
        while (end - position > maxPieceLength) {
            const int cut = cutNear(position + pieceLength, position, end);
            add(position, cut - position, false);
            position = cut;
        }
        add(position, end - position, false);
    }
    if (bulk)
        raw_ = QString();
    return pieces;
}

void ArticleLayout::rebuildAll()
{
    length_ = document()->characterCount();
    advances_.clear();
    width_ = availableWidth();
    font_ = document()->defaultFont();
    pieces_ = buildPieces(0, length_ - 1);
    topsValid_ = false;
}

// Forgets the layout of pieces first to last, keeping their heights as estimates.
void ArticleLayout::invalidate(int first, int last)
{
    for (int i = first; i <= last; ++i) {
        Piece &piece = pieces_[i];
        piece.exact = false;
        piece.layout.reset();
        if (piece.wholeBlock)
            document()->findBlock(piece.position).clearLayout();
    }
}

void ArticleLayout::replacePieces(int first, int last, std::vector<Piece> pieces)
{
    pieces_.erase(pieces_.begin() + first, pieces_.begin() + last + 1);
    pieces_.insert(pieces_.begin() + first, std::make_move_iterator(pieces.begin()),
                   std::make_move_iterator(pieces.end()));
    topsValid_ = false;
}

// After an edit the block at position must be one piece if it is short, and must have no piece
// too short to be worth its own layout if it is long.
void ArticleLayout::normalizeBlockAt(int position)
{
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid())
        return;
    const int first = pieceAt(block.position());
    const int last = pieceAt(blockEnd(block));
    if (!isLong(block)) {
        if (first != last || !pieces_[first].wholeBlock)
            replacePieces(first, last, buildPieces(block.position(), blockEnd(block)));
        return;
    }
    for (int i = first; i <= last && last > first; ++i) {
        if (pieces_[i].length >= minPieceLength && !pieces_[i].wholeBlock)
            continue;
        const int a = i == last ? i - 1 : i;
        const int from = pieces_[a].position;
        const int to = pieces_[a + 1].end();
        replacePieces(a, a + 1, buildPieces(from, to));
        return;
    }
}

// Whether pieces first to last still lie each within one block, as before a change that kept the
// length of the text.
bool ArticleLayout::sameStructure(int first, int last) const
{
    for (int i = first; i <= last; ++i) {
        const Piece &piece = pieces_[i];
        const QTextBlock block = document()->findBlock(piece.position);
        if (piece.end() > blockEnd(block) || piece.wholeBlock == isLong(block))
            return false;
        if (piece.wholeBlock &&
            (piece.position != block.position() || piece.end() != blockEnd(block)))
            return false;
        const bool lastInBlock =
            i + 1 == int(pieces_.size()) || pieces_[i + 1].position > piece.end();
        if (lastInBlock != (piece.end() == blockEnd(block)))
            return false;
    }
    return true;
}

// The document reports some changes loosely (clearing it reports the old length removed although
// its last separator stays; a new page width reports the whole text added): a change that does not
// add up to the new length lays out everything again.
void ArticleLayout::documentChanged(int from, int charsRemoved, int charsAdded)
{
    const int length = document()->characterCount();
    const int all = int(pieces_.size()) - 1;
    if (availableWidth() != width_ || document()->defaultFont() != font_) {
        width_ = availableWidth();
        if (document()->defaultFont() != font_)
            advances_.clear();
        font_ = document()->defaultFont();
        invalidate(0, all);
        if (length == length_) {
            raw_ = document()->toRawText();
            for (Piece &piece : pieces_)
                piece.height = estimateHeight(text(piece.position, piece.end()));
            raw_ = QString();
        }
    }
    const bool addsUp =
        length_ - charsRemoved + charsAdded == length && from >= 0 && from + charsAdded <= length;
    if (!addsUp) {
        if (length == length_ && sameStructure(0, all))
            invalidate(0, all);
        else
            rebuildAll();
    } else if (const int first = pieceAt(from), last = pieceAt(from + charsRemoved);
               charsRemoved == charsAdded && sameStructure(first, last)) {
        // A format or input method pre-edit change: same text, same pieces.
        invalidate(first, last);
    } else {
        const int delta = charsAdded - charsRemoved;
        const int start = pieces_[first].position;
        const int end = pieces_[last].end() + delta;
        const qreal oldHeight = pieces_[first].height;
        const bool wasShown = pieces_[first].exact;
        std::vector<Piece> pieces = buildPieces(start, end);
        const bool onePiece = first == last && pieces.size() == 1;
        if (onePiece)
            pieces.front().height = oldHeight; // a good guess until it is laid out
        for (std::size_t i = last + 1; i < pieces_.size(); ++i)
            pieces_[i].position += delta;
        replacePieces(first, last, std::move(pieces));
        normalizeBlockAt(start);
        normalizeBlockAt(end);
        // An edit within a piece on view that keeps its height repaints that piece from the line
        // before the edit on: the lines above keep where they break.
        if (onePiece && wasShown && pieceAt(start) == first && pieces_[first].position == start) {
            layOut(first);
            if (pieces_[first].height == oldHeight) {
                const QTextLayout *layout = layoutOf(first);
                const QTextLine edited = layout->lineForTextPosition(from - start);
                const QTextLine above =
                    layout->lineAt(edited.isValid() ? std::max(0, edited.lineNumber() - 1) : 0);
                const qreal top = pieceTop(first) + (above.isValid() ? above.y() : 0);
                finishChange(QRectF(0, top, qreal(INT_MAX), pieceTop(first) + oldHeight - top));
                return;
            }
        }
    }
    finishChange(QRectF(0, 0, qreal(INT_MAX), qreal(INT_MAX)));
}

void ArticleLayout::finishChange(const QRectF &dirty)
{
    length_ = document()->characterCount();
    longBlocks_ = int(std::count_if(pieces_.cbegin(), pieces_.cend(),
                                    [](const Piece &piece) { return !piece.wholeBlock; }));
    topsValid_ = false;
    sizeChanged_ = false;
    emit documentSizeChanged(documentSize());
    emit update(dirty);
}

int ArticleLayout::pieceAt(int position) const
{
    const auto after =
        std::upper_bound(pieces_.cbegin(), pieces_.cend(), position,
                         [](int p, const Piece &piece) { return p < piece.position; });
    return std::max(0, int(after - pieces_.cbegin()) - 1);
}

qreal ArticleLayout::pieceTop(int index) const
{
    if (!topsValid_) {
        tops_.resize(pieces_.size() + 1);
        qreal y = document()->documentMargin();
        for (std::size_t i = 0; i < pieces_.size(); ++i) {
            tops_[i] = y;
            y += pieces_[i].height;
        }
        tops_[pieces_.size()] = y;
        topsValid_ = true;
    }
    return tops_[index];
}

int ArticleLayout::pieceAtY(qreal y) const
{
    pieceTop(0);
    const auto after = std::upper_bound(tops_.cbegin(), tops_.cend() - 1, y);
    return std::clamp(int(after - tops_.cbegin()) - 1, 0, int(pieces_.size()) - 1);
}

QTextLayout *ArticleLayout::layoutOf(int index) const
{
    Piece &piece = pieces_[index];
    if (piece.wholeBlock)
        return document()->findBlock(piece.position).layout();
    if (!piece.layout) {
        piece.layout = std::make_unique<QTextLayout>(text(piece.position, piece.end()),
                                                     document()->defaultFont());
        // Keep the glyphs: drawing the caret or finding a position must not shape it again.
        piece.layout->setCacheEnabled(true);
        placePreedit(index, *piece.layout);
        piece.exact = false;
    }
    return piece.layout.get();
}

// In a long block the box keeps an input method's pre-edit text here (setPreedit); it shows in
// the piece it falls in.
void ArticleLayout::placePreedit(int index, QTextLayout &layout) const
{
    if (preeditAt_ < 0 || pieceAt(preeditAt_) != index)
        return;
    const int at = preeditAt_ - pieces_[index].position;
    layout.setPreeditArea(at, preeditText_);
    QList<QTextLayout::FormatRange> formats = preeditFormats_;
    for (QTextLayout::FormatRange &range : formats)
        range.start += at;
    layout.setFormats(formats);
}

void ArticleLayout::setPreedit(int position, const QString &text,
                               const QList<QTextLayout::FormatRange> &formats, int cursor)
{
    for (const int at : {preeditAt_, position}) {
        if (at >= 0 && at < length_) {
            const int index = pieceAt(at);
            if (!pieces_[index].wholeBlock)
                invalidate(index, index);
        }
    }
    preeditAt_ = text.isEmpty() ? -1 : position;
    preeditText_ = text;
    preeditFormats_ = formats;
    preeditCursor_ = cursor;
    emit update(QRectF(0, 0, qreal(INT_MAX), qreal(INT_MAX)));
}

QString ArticleLayout::preeditText() const
{
    return preeditText_;
}

// Where a position is in its piece's layout: past the pre-edit text's cursor when the position
// holds the pre-edit text.
int ArticleLayout::layoutOffset(int index, int position) const
{
    const int offset = position - pieces_[index].position;
    return position == preeditAt_ && !pieces_[index].wholeBlock ? offset + preeditCursor_ : offset;
}

void ArticleLayout::layOut(int index) const
{
    Piece &piece = pieces_[index];
    if (piece.exact && (piece.wholeBlock ? layoutOf(index)->lineCount() > 0 : bool(piece.layout)))
        return;
    QTextLayout *layout = layoutOf(index);
    const qreal margin = document()->documentMargin();
    const qreal width = availableWidth();
    layout->setTextOption(document()->defaultTextOption());
    layout->beginLayout();
    qreal height = 0;
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(width);
        line.setPosition(QPointF(margin, height));
        height += line.height();
    }
    layout->endLayout();
    if (layout->lineCount() > 0)
        lineHeight_ = height / layout->lineCount();
    if (height != piece.height) {
        topsValid_ = false;
        sizeChanged_ = true;
    }
    piece.height = height;
    piece.exact = true;
    if (!piece.wholeBlock)
        dropFarLayouts(index);
}

// Keeps the glyphs of the pieces nearest the one just laid out; the others keep their height.
void ArticleLayout::dropFarLayouts(int keep) const
{
    std::vector<int> kept;
    for (int i = 0; i < int(pieces_.size()); ++i)
        if (pieces_[i].layout)
            kept.push_back(i);
    if (int(kept.size()) <= keptLayouts)
        return;
    std::sort(kept.begin(), kept.end(),
              [keep](int a, int b) { return std::abs(a - keep) < std::abs(b - keep); });
    for (std::size_t i = keptLayouts; i < kept.size(); ++i)
        pieces_[kept[i]].layout.reset();
}

int ArticleLayout::laidOutPieces() const
{
    return int(std::count_if(pieces_.cbegin(), pieces_.cend(), [](const Piece &piece) {
        return piece.exact && (piece.wholeBlock || piece.layout);
    }));
}

qreal ArticleLayout::prepare(qreal top, qreal bottom)
{
    qreal grownAbove = 0;
    for (int i = pieceAtY(top); i < int(pieces_.size()) && pieceTop(i) <= bottom; ++i) {
        const qreal before = pieces_[i].height;
        const bool above = pieceTop(i) < top;
        layOut(i);
        if (above)
            grownAbove += pieces_[i].height - before;
    }
    flushSize();
    return grownAbove;
}

void ArticleLayout::flushSize()
{
    if (std::exchange(sizeChanged_, false))
        emit documentSizeChanged(documentSize());
}

void ArticleLayout::draw(QPainter *painter, const PaintContext &context)
{
    const QRectF clip = context.clip.isValid() ? context.clip : QRectF(0, 0, INT_MAX, INT_MAX);
    painter->setPen(context.palette.color(QPalette::Text));
    const int cursorWidth = property("cursorWidth").isValid() ? property("cursorWidth").toInt() : 1;
    int i = pieceAtY(clip.top());
    qreal y = pieceTop(i);
    for (; i < int(pieces_.size()) && y <= clip.bottom(); ++i) {
        layOut(i);
        const Piece &piece = pieces_[i];
        QTextLayout *layout = layoutOf(i);
        QList<QTextLayout::FormatRange> selections;
        for (const Selection &selection : context.selections) {
            const int start = std::max(selection.cursor.selectionStart(), piece.position);
            const int end = std::min(selection.cursor.selectionEnd(), piece.end() + 1);
            if (end > start)
                selections.append({start - piece.position, end - start, selection.format});
        }
        const QPointF at(0, y);
        layout->draw(painter, at, selections, clip);

        const bool lastInBlock =
            i + 1 == int(pieces_.size()) || pieces_[i + 1].position > piece.end();
        const int end = lastInBlock ? piece.end() + 1 : piece.end();
        auto inPiece = [&](int position) {
            return position >= piece.position && position < end;
        };
        const int cursor = context.cursorPosition;
        if (cursor < -1 && !layout->preeditAreaText().isEmpty()) {
            layout->drawCursor(painter, at, layout->preeditAreaPosition() - (cursor + 2),
                               cursorWidth);
        } else if (piece.wholeBlock) {
            if (inPiece(cursor))
                layout->drawCursor(painter, at, cursor - piece.position, cursorWidth);
        } else {
            // In a long block the box blinks the caret; the text control's cursor elsewhere is
            // where a drop would go.
            if (inPiece(cursor) && cursor != caret_)
                layout->drawCursor(painter, at, cursor - piece.position, cursorWidth);
            if (caretShown_ && inPiece(caret_))
                layout->drawCursor(painter, at, layoutOffset(i, caret_), cursorWidth);
        }
        y += piece.height;
    }
    // The scroll bars follow once the painting is over.
    if (sizeChanged_)
        QMetaObject::invokeMethod(this, &ArticleLayout::flushSize, Qt::QueuedConnection);
}

ArticleLayout::LinePlace ArticleLayout::lineAt(int position) const
{
    const int index = pieceAt(position);
    layOut(index);
    const QTextLayout *layout = layoutOf(index);
    const QTextLine line = layout->lineForTextPosition(layoutOffset(index, position));
    return {index, line.isValid() ? line.lineNumber() : layout->lineCount() - 1};
}

int ArticleLayout::hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const
{
    const int index = pieceAtY(point.y());
    layOut(index);
    const QTextLayout *layout = layoutOf(index);
    const qreal y = point.y() - pieceTop(index);
    int number = 0;
    while (number + 1 < layout->lineCount() && layout->lineAt(number).rect().bottom() <= y)
        ++number;
    const QTextLine line = layout->lineAt(number);
    if (!line.isValid())
        return pieces_[index].position;
    if (accuracy == Qt::ExactHit && !line.naturalTextRect().contains(point.x(), y))
        return -1;
    const int offset = std::min(line.xToCursor(point.x()), pieces_[index].length);
    return pieces_[index].position + offset;
}

QRectF ArticleLayout::cursorRect(int position) const
{
    const LinePlace place = lineAt(position);
    const QTextLine line = layoutOf(place.piece)->lineAt(place.line);
    const int cursorWidth = property("cursorWidth").isValid() ? property("cursorWidth").toInt() : 1;
    if (!line.isValid())
        return {0, pieceTop(place.piece), qreal(cursorWidth), lineHeight_};
    const qreal x = line.cursorToX(layoutOffset(place.piece, position));
    return {x, pieceTop(place.piece) + line.y(), qreal(cursorWidth), line.height()};
}

int ArticleLayout::nextPosition(int position, QTextLayout::CursorMode mode) const
{
    const int index = pieceAt(position);
    const Piece &piece = pieces_[index];
    if (position >= piece.end())
        return std::min(position + 1, length_ - 1);
    return piece.position + layoutOf(index)->nextCursorPosition(position - piece.position, mode);
}

int ArticleLayout::previousPosition(int position, QTextLayout::CursorMode mode) const
{
    int index = pieceAt(position);
    if (position == pieces_[index].position) {
        if (index == 0 || pieces_[index - 1].end() != position)
            return std::max(position - 1, 0); // the previous block's end
        --index;
    }
    const Piece &piece = pieces_[index];
    return piece.position +
           layoutOf(index)->previousCursorPosition(position - piece.position, mode);
}

int ArticleLayout::lineStart(int position) const
{
    const LinePlace place = lineAt(position);
    const QTextLine line = layoutOf(place.piece)->lineAt(place.line);
    return pieces_[place.piece].position + (line.isValid() ? line.textStart() : 0);
}

// The end of the line, before the space a wrapped line ends with, as the cursor's own end of
// line is.
int ArticleLayout::lineEnd(int position) const
{
    const LinePlace place = lineAt(position);
    const Piece &piece = pieces_[place.piece];
    const QTextLayout *layout = layoutOf(place.piece);
    const QTextLine line = layout->lineAt(place.line);
    if (!line.isValid())
        return piece.end();
    const int end = line.textStart() + line.textLength();
    const bool lastInBlock =
        place.piece + 1 == int(pieces_.size()) || pieces_[place.piece + 1].position > piece.end();
    if ((place.line + 1 < layout->lineCount() || !lastInBlock) && end > line.textStart() &&
        layout->text().at(end - 1).isSpace())
        return piece.position + end - 1;
    return piece.position + end;
}

int ArticleLayout::verticalMove(int position, qreal x, int lines) const
{
    LinePlace place = lineAt(position);
    for (; lines > 0; --lines) {
        if (place.line + 1 < layoutOf(place.piece)->lineCount()) {
            ++place.line;
        } else if (place.piece + 1 < int(pieces_.size())) {
            ++place.piece;
            layOut(place.piece);
            place.line = 0;
        } else {
            return length_ - 1; // below the last line: the end
        }
    }
    for (; lines < 0; ++lines) {
        if (place.line > 0) {
            --place.line;
        } else if (place.piece > 0) {
            --place.piece;
            layOut(place.piece);
            place.line = std::max(0, layoutOf(place.piece)->lineCount() - 1);
        } else {
            return 0; // above the first line: the start
        }
    }
    const QTextLine line = layoutOf(place.piece)->lineAt(place.line);
    const Piece &piece = pieces_[place.piece];
    if (!line.isValid())
        return piece.position;
    int offset = line.xToCursor(x);
    // A wrapped line's last position is the next line's first: stay on this line.
    if (offset == line.textStart() + line.textLength() &&
        place.line + 1 < layoutOf(place.piece)->lineCount())
        offset = lineEnd(piece.position + line.textStart()) - piece.position;
    return piece.position + std::min(offset, piece.length);
}

std::pair<int, int> ArticleLayout::wordAt(int position) const
{
    const int index = pieceAt(position);
    const Piece &piece = pieces_[index];
    const QString words = text(piece.position, piece.end());
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, words);
    finder.setPosition(std::min(position - piece.position, piece.length));
    const qsizetype start = finder.isAtBoundary() ? finder.position() : finder.toPreviousBoundary();
    finder.setPosition(std::max<qsizetype>(start, 0));
    qsizetype end = finder.toNextBoundary();
    if (end < 0)
        end = piece.length;
    return {piece.position + int(std::max<qsizetype>(start, 0)), piece.position + int(end)};
}

} // namespace tavrinel
