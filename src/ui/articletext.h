#pragma once

#include <QString>

class QTextDocument;

namespace tavrinel
{

// The article box's text as the rest of the program sees it: every line break is the pair CR LF,
// every other character stays as typed or pasted. The document's plain text will not do: it hands
// out a lone LF per line break and turns no-break spaces into ordinary ones.
QString articleText(const QTextDocument &document);

} // namespace tavrinel
