#include "article.h"

#include "exitcodes.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <cstdio>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

QString inputName(const QString &path)
{
    return path.isEmpty() ? u"standard input"_s : QDir::toNativeSeparators(path);
}

InputError unreadable(const QString &path, const QString &reason)
{
    return {exitIoError, u"cannot read %1: %2"_s.arg(inputName(path), reason)};
}

// Large texts are faulted in by the huge page where the system allows it, which saves most of
// the page faults of filling a fresh buffer of a hundred megabytes.
constexpr std::size_t hugePage = std::size_t{2} << 20;

char16_t *allocateUnits(std::size_t capacity)
{
    const std::size_t bytes = std::max<std::size_t>(capacity, 1) * sizeof(char16_t);
    void *memory = nullptr;
    if (bytes >= 2 * hugePage) {
        memory = std::aligned_alloc(hugePage, (bytes + hugePage - 1) / hugePage * hugePage);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (memory)
            madvise(memory, bytes, MADV_HUGEPAGE);
#endif
    } else {
        memory = std::malloc(bytes);
    }
    if (!memory)
        throw std::bad_alloc();
    return static_cast<char16_t *>(memory);
}

} // namespace

Utf16Text::Utf16Text(std::size_t capacity) : units_(allocateUnits(capacity)) {}

std::variant<Utf16Text, InputError> decodeArticle(QByteArrayView bytes)
{
    // Stateless: a sequence cut off by the end of the input is an error, not pending state.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    Utf16Text text(static_cast<std::size_t>(decoder.requiredSpace(bytes.size())));
    QChar *begin = reinterpret_cast<QChar *>(text.data());
    const QChar *end = decoder.appendToBuffer(begin, bytes);
    if (!decoder.hasError()) {
        text.setSize(static_cast<std::size_t>(end - begin));
        return text;
    }
    // The fast decoder only says that something is wrong; find where, for the message.
    const qsizetype offset = firstInvalidUtf8(bytes).value_or(0);
    return InputError{exitBadInput, u"invalid UTF-8 at byte offset %1"_s.arg(offset)};
}

std::variant<Utf16Text, InputError> loadArticle(const QString &path)
{
    QFile file;
    const bool opened = path.isEmpty() ? file.open(stdin, QIODevice::ReadOnly)
                                       : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        return unreadable(path, file.errorString());
    // A regular file is decoded straight from its mapping; pipes and terminals are read.
    QByteArray bytes;
    QByteArrayView input;
    const qint64 size = file.isSequential() ? 0 : file.size();
    if (const uchar *mapped = size > 0 ? file.map(0, size) : nullptr) {
        input = QByteArrayView(mapped, size);
    } else {
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return unreadable(path, file.errorString());
        input = bytes;
    }
    auto decoded = decodeArticle(input);
    if (auto *error = std::get_if<InputError>(&decoded))
        error->message = inputName(path) + u": "_s + error->message;
    return decoded;
}

} // namespace tavrinel::cli
