#pragma once

#include "cli/inputfile.h"
#include "input/nulbytes.h"
#include "utf8/bytesource.h"

#include <QByteArray>
#include <optional>

namespace tavrinel::cli
{

// An input file as the UTF-8 engine reads it. Its first bytes can be looked at before they are
// handed out, which is how the byte order mark and the encoding are told; the first 64 KiB are
// kept for the hint of a refusal. NUL bytes are counted at even and odd offsets as the bytes pass,
// because UTF-16 without a mark, which is valid UTF-8, gives itself away by them.
class ArticleSource final : public utf8::ByteSource
{
public:
    static constexpr qsizetype headLength = 64 * 1024;

    // Which bytes the NULs are counted in: the first ones alone, or all handed out so far.
    enum class Counted { Head, HandedOut };

    explicit ArticleSource(InputFile &input) : input_(input) {}
    std::optional<std::size_t> read(char *buffer, std::size_t capacity) override;

    // Reads ahead up to the first headLength bytes (fewer at the end) without handing them out
    // yet; false when reading failed.
    bool readHead();
    QByteArrayView head() const { return ahead_; }
    // Whether the head is all there is.
    bool headIsWhole() const { return headHitEnd_; }

    // What the NUL bytes say (see input::nulRefusal()), the head being the sample either way.
    std::optional<input::DecodeError> nulRefusal(Counted counted) const;

    // All the bytes not handed out yet; nothing when reading failed.
    std::optional<QByteArray> readRest();

    // Starts over after the input was rewound.
    void restart();

private:
    void count(const char *bytes, std::size_t size);

    InputFile &input_;
    QByteArray ahead_;
    qsizetype aheadUsed_ = 0;
    bool atEnd_ = false;
    bool headHitEnd_ = false;
    input::NulCounts nuls_;
};

} // namespace tavrinel::cli
