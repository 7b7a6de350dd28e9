#include "encoding.h"

#include <algorithm>
#include <iterator>

using namespace Qt::StringLiterals;

namespace tavrinel::input
{

namespace
{

struct Names {
    Encoding encoding;
    QStringView option;
    QStringView display;
};

constexpr Names names[] = {
    {Encoding::Utf8, u"utf-8", u"UTF-8"},          {Encoding::Utf16LE, u"utf-16le", u"UTF-16LE"},
    {Encoding::Utf16BE, u"utf-16be", u"UTF-16BE"}, {Encoding::Gb18030, u"gb18030", u"GB18030"},
    {Encoding::Auto, u"auto", u"automatic"},
};

const Names &namesOf(Encoding encoding)
{
    return *std::find_if(std::begin(names), std::end(names),
                         [encoding](const Names &n) { return n.encoding == encoding; });
}

} // namespace

std::optional<Encoding> encodingFromName(QStringView name)
{
    for (const Names &n : names) {
        if (name.compare(n.option, Qt::CaseInsensitive) == 0)
            return n.encoding;
    }
    return std::nullopt;
}

QString optionName(Encoding encoding)
{
    return namesOf(encoding).option.toString();
}

QString displayName(Encoding encoding)
{
    return namesOf(encoding).display.toString();
}

} // namespace tavrinel::input
