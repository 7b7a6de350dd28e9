#include "article.h"

#include "checks/utf8check.h"
#include "exitcodes.h"
#include "inputfile.h"

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
    const std::size_t offset =
        firstInvalidUtf8({bytes.data(), static_cast<std::size_t>(bytes.size())}).value_or(0);
    return InputError{exitBadInput, u"invalid UTF-8 at byte offset %1"_s.arg(offset)};
}

namespace
{

// The whole input, read in blocks; its expected size, when known, only sizes the buffer.
std::optional<QString> readAll(InputFile &input, QByteArray &bytes)
{
    constexpr qint64 block = qint64{1} << 20;
    bytes.reserve(input.expectedSize() + 1); // one more, to see the end without growing
    for (;;) {
        if (bytes.capacity() - bytes.size() < block / 4)
            bytes.reserve(std::max(bytes.capacity() * 2, bytes.size() + block));
        const qsizetype used = bytes.size();
        bytes.resize(bytes.capacity());
        const qint64 got = input.read(bytes.data() + used, bytes.size() - used);
        bytes.resize(used + std::max<qint64>(got, 0));
        if (got < 0)
            return input.errorString();
        if (got == 0)
            return input.unchangedSinceOpen() ? std::nullopt
                                              : std::optional<QString>(input.errorString());
    }
}

} // namespace

std::variant<Utf16Text, InputError> loadArticle(const QString &path)
{
    InputFile input(path);
    QByteArray bytes;
    std::optional<QString> problem;
    if (!input.open())
        problem = input.errorString();
    else
        problem = readAll(input, bytes);
    if (problem)
        return InputError{exitIoError, u"cannot read %1: %2"_s.arg(input.displayName(), *problem)};
    auto decoded = decodeArticle(bytes);
    if (auto *error = std::get_if<InputError>(&decoded))
        error->message = input.displayName() + u": "_s + error->message;
    return decoded;
}

} // namespace tavrinel::cli
