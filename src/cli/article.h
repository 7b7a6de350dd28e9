#pragma once

#include "input/utf8.h"

#include <QByteArrayView>
#include <QString>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <variant>

namespace tavrinel::cli
{

// Why the input could not be turned into an article, in words for standard error.
struct InputError {
    int exitCode = 0;
    QString message;
};

// UTF-16 text in storage of its own, sized once for the decoded input.
class Utf16Text
{
public:
    explicit Utf16Text(std::size_t capacity);

    char16_t *data() { return units_.get(); }
    void setSize(std::size_t size) { size_ = size; }
    std::u16string_view view() const { return {units_.get(), size_}; }

private:
    struct Free {
        void operator()(char16_t *units) const { std::free(units); }
    };
    std::unique_ptr<char16_t[], Free> units_;
    std::size_t size_ = 0;
};

using input::firstInvalidUtf8;

// The UTF-8 bytes as UTF-16 text, verbatim except for a leading byte order mark.
std::variant<Utf16Text, InputError> decodeArticle(QByteArrayView bytes);

// The article in a UTF-8 file, or on standard input for an empty path.
std::variant<Utf16Text, InputError> loadArticle(const QString &path);

} // namespace tavrinel::cli
