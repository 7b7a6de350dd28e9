#include "articletext.h"

#include <QTextDocument>
#include <algorithm>

namespace tavrinel
{

namespace
{

// Blocks are separated by U+2029 in the raw text; Shift+Enter puts U+2028 within a block. A CR LF
// pasted or set into the box has already become one block break.
bool isLineBreak(QChar c)
{
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

} // namespace

QString articleText(const QTextDocument &document)
{
    const QString raw = document.toRawText();
    const auto breaks = std::count_if(raw.cbegin(), raw.cend(), isLineBreak);
    if (breaks == 0)
        return raw;

    QString text;
    text.reserve(raw.size() + breaks);
    const QStringView rest(raw);
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (isLineBreak(rest[i])) {
            text.append(rest.sliced(lineStart, i - lineStart)).append(u"\r\n");
            lineStart = i + 1;
        }
    }
    text.append(rest.sliced(lineStart));
    return text;
}

} // namespace tavrinel
