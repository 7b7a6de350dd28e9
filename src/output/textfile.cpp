#include "textfile.h"

#include "displayname.h"
#include "outputfile.h"
#include "systemerror.h"

#include <QStringEncoder>

using namespace Qt::StringLiterals;

namespace tavrinel
{

namespace
{

// The reason in the window's language; the system's own reasons come in the user's language
// where the system has them.
QString reasonFor(const OutputFile &file)
{
    const WriteProblem problem = file.problem();
    switch (problem.kind) {
    case WriteProblem::Kind::CannotCreateIn:
        return u"无法在文件夹 %1 中新建文件：%2"_s.arg(problem.subject,
                                                       systemErrorText(problem.error));
    case WriteProblem::Kind::ForeignLink:
        return u"这是其他用户在共享文件夹 %1 中放置的符号链接，为安全起见不跟随它"_s.arg(
            problem.subject);
    case WriteProblem::Kind::ForeignFile:
        return u"这是其他用户在共享文件夹 %1 中放置的文件，为安全起见不写入它"_s.arg(
            problem.subject);
    case WriteProblem::Kind::NotRegularFile:
        return u"不是普通文件"_s;
    case WriteProblem::Kind::IsInput:
        return u"它就是正在读取的文件"_s;
    case WriteProblem::Kind::None:
    case WriteProblem::Kind::System:
        break;
    }
    return file.errorString();
}

QString failureText(const QString &path, const QString &reason)
{
    return u"文件保存失败：%1\n%2"_s.arg(displayFileName(path), reason);
}

} // namespace

QByteArray encodeUtf8(QStringView text)
{
    // Stateless: a high surrogate at the very end is replaced, not held back for a partner.
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    return encoder.encode(text);
}

std::optional<QString> saveTextFile(const QString &path, QStringView text)
{
    const QByteArray bytes = encodeUtf8(text);
    OutputFile file(path);
    if (!file.open() || !file.write(bytes) || !file.commit())
        return failureText(path, reasonFor(file));
    return std::nullopt;
}

} // namespace tavrinel
