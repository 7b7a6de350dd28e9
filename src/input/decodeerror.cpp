#include "decodeerror.h"

using namespace Qt::StringLiterals;

namespace tavrinel::input
{

QString describeError(const DecodeError &error)
{
    switch (error.kind) {
    case DecodeError::Kind::Utf32Mark:
        return u"UTF-32 byte order mark: UTF-32 text is not read; convert it to UTF-8"_s;
    case DecodeError::Kind::Utf16WithoutMark:
        return u"looks like %1 without a byte order mark: use --encoding %2"_s.arg(
            displayName(error.encoding), optionName(error.encoding));
    case DecodeError::Kind::NotText:
        return u"not text in any encoding this tool reads (it holds NUL bytes)"_s;
    case DecodeError::Kind::Unavailable:
        return u"this build cannot read %1"_s.arg(displayName(error.encoding));
    case DecodeError::Kind::Invalid:
        break;
    }
    if (error.encoding == Encoding::Auto)
        return u"neither UTF-8 (invalid at byte offset %1) nor GB18030 (invalid at byte offset %2)"_s
            .arg(error.offset)
            .arg(error.gb18030Offset);
    if (error.readsAsGb18030)
        return u"not UTF-8 (invalid at byte offset %1); it reads as GB18030: use --encoding "
               u"gb18030"_s.arg(error.offset);
    return u"invalid %1 at byte offset %2"_s.arg(displayName(error.encoding)).arg(error.offset);
}

} // namespace tavrinel::input
