#include "savefile.h"

#include "output/displayname.h"
#include "output/textfile.h"
#include "reasons.h"

using namespace Qt::StringLiterals;

namespace tavrinel
{

std::optional<QString> saveTextFile(const QString &path, QStringView text)
{
    const std::optional<WriteProblem> problem = writeTextFile(path, text);
    if (!problem)
        return std::nullopt;
    return u"文件保存失败：%1\n%2"_s.arg(displayFileName(path), reasonText(*problem));
}

} // namespace tavrinel
