#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace tavrinel::input
{

// The encodings an article file can be read in. Auto takes a byte order mark, else UTF-8 when
// the bytes are valid UTF-8, else GB18030.
enum class Encoding { Utf8, Utf16LE, Utf16BE, Gb18030, Auto };

// The encoding named as the command line takes it: utf-8, utf-16le, utf-16be, gb18030 or auto,
// in any letter case.
std::optional<Encoding> encodingFromName(QStringView name);

// That name again, lower case, for messages that suggest an option ("use --encoding gb18030").
QString optionName(Encoding encoding);

// The encoding's usual name for people: "UTF-8", "UTF-16LE", "UTF-16BE", "GB18030".
QString displayName(Encoding encoding);

} // namespace tavrinel::input
