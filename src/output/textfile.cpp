#include "textfile.h"

#include <QDir>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace tavrinel
{

namespace
{

QString failureText(const QString &path, const QString &reason)
{
    return u"文件保存失败：%1\n%2"_s.arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

bool writeUtf8(QIODevice &device, QStringView text)
{
    const QByteArray bytes = text.toUtf8();
    return device.write(bytes) == bytes.size();
}

std::optional<QString> saveTextFile(const QString &path, QStringView text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failureText(path, file.errorString());
    if (!writeUtf8(file, text)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failureText(path, reason);
    }
    if (!file.commit())
        return failureText(path, file.errorString());
    return std::nullopt;
}

} // namespace tavrinel
