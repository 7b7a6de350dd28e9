#include "reasons.h"

using namespace Qt::StringLiterals;
using namespace tavrinel::input;

namespace tavrinel
{

QString reasonText(const DecodeError &error)
{
    switch (error.kind) {
    case DecodeError::Kind::Utf32Mark:
        return u"不支持 UTF-32 编码的文件，请另存为 UTF-8"_s;
    case DecodeError::Kind::Utf16WithoutMark:
        return u"文件像是没有字节顺序标记（BOM）的 %1 文本，请另存为 UTF-8 或带 BOM 的 UTF-16"_s
            .arg(displayName(error.encoding));
    case DecodeError::Kind::NotText:
        return u"文件含有 NUL 字节，不是本程序能读取的任何编码的文本"_s;
    case DecodeError::Kind::Unavailable:
        return u"本程序无法读取 %1 编码"_s.arg(displayName(error.encoding));
    case DecodeError::Kind::Invalid:
        break;
    }
    if (error.encoding == Encoding::Auto)
        return u"文件既不是 UTF-8 也不是 GB18030 编码的文本（按 UTF-8 读，字节偏移 %1 处无效；"
               u"按 GB18030 读，字节偏移 %2 处无效）"_s.arg(error.offset)
                   .arg(error.gb18030Offset);
    return u"文件不是有效的 %1 文本：字节偏移 %2 处无效"_s.arg(displayName(error.encoding))
        .arg(error.offset);
}

QString reasonText(const WriteProblem &problem)
{
    static constexpr WriteProblemWords chinese{
        u"无法在文件夹 %1 中新建文件：%2",
        u"这是其他用户在共享文件夹 %1 中放置的符号链接，为安全起见不跟随它",
        u"这是其他用户在共享文件夹 %1 中放置的文件，为安全起见不写入它",
        u"不是普通文件",
        u"它就是正在读取的文件",
    };
    return describeProblem(problem, chinese);
}

} // namespace tavrinel
