#include "systemerror.h"

#if defined(Q_OS_WIN)
#include <cstring>
#endif

namespace tavrinel
{

QString systemErrorText(int errorNumber)
{
#if defined(Q_OS_WIN)
    // There qt_error_string() reads the number as a Windows error code, not an errno value.
    return QString::fromWCharArray(::_wcserror(errorNumber));
#else
    return qt_error_string(errorNumber);
#endif
}

} // namespace tavrinel
