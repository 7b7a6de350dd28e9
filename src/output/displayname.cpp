#include "displayname.h"

#include "filename.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace tavrinel
{

namespace
{

QString hexByte(unsigned value)
{
    return u"\\x"_s + QString::number(value, 16).toUpper().rightJustified(2, u'0');
}

} // namespace

QString displayFileName(const QString &name)
{
    const QString native = QDir::toNativeSeparators(name);
    QString shown;
    shown.reserve(native.size());
    for (qsizetype i = 0; i < native.size(); ++i) {
        const char16_t unit = native[i].unicode();
        if (const std::optional<unsigned char> kept = keptByteAt(native, i))
            shown += hexByte(*kept);
        else if (unit < 0x20 || unit == 0x7F)
            shown += hexByte(unit);
        else if (unit >= 0x80 && unit <= 0x9F) // C1 controls, U+009B a terminal's CSI: as UTF-8
            shown += hexByte(0xC2) + hexByte(unit);
        else
            shown += native[i];
    }
    return shown;
}

} // namespace tavrinel
