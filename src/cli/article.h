#pragma once

#include "cli/inputfile.h"
#include "generate/bytesink.h"
#include "generate/settings.h"
#include "input/decode.h"
#include "input/encoding.h"
#include "utf8/engine.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <string_view>

namespace tavrinel::cli
{

// Why a file was not converted or counted: the exit code and the message for standard error.
struct Failure {
    int exitCode = 0;
    QString message;
};

// How inputs are read: the encoding asked for (a byte order mark always decides) and the UTF-8
// engine's settings.
struct Reading {
    input::Encoding encoding = input::Encoding::Utf8;
    // NUL bytes are judged (UTF-16 without a mark, or no text) for the default encoding and
    // auto; an encoding asked for by name is obeyed.
    bool judgeNuls = true;
    utf8::EngineOptions engine;
};

// An input file as the UTF-8 engine reads it. Its first bytes can be looked at before they are
// handed out, which is how the byte order mark and the encoding are told; the first 64 KiB are
// kept for the hint of a refusal. NUL bytes are counted at even and odd offsets as the bytes pass,
// because UTF-16 without a mark, which is valid UTF-8, gives itself away by them.
class ArticleSource final : public utf8::ByteSource
{
public:
    static constexpr qsizetype headLength = 64 * 1024;

    explicit ArticleSource(InputFile &input) : input_(input) {}
    std::optional<std::size_t> read(char *buffer, std::size_t capacity) override;

    // Reads ahead up to the first headLength bytes (fewer at the end) without handing them out
    // yet; false when reading failed.
    bool readHead();
    QByteArrayView head() const { return ahead_; }
    // Whether the head is all there is.
    bool headIsWhole() const { return headHitEnd_; }

    // What the NUL bytes handed out so far say (see input::nulRefusal()).
    std::optional<input::DecodeError> nulRefusal() const;

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

// What is done with an article: cut into a sink, or counted. The same work has a way for the
// UTF-8 engine and one for text decoded from another encoding.
struct ArticleWork {
    std::function<utf8::Result(utf8::ByteSource &)> onBytes;
    // False when writing failed.
    std::function<bool(std::u16string_view)> onText;
    // A regular file is read once through before the work starts, so that nothing is written
    // for an input that is not valid (standard output cannot take back what it has written).
    bool validateFirst = false;
    // Once the input is open and before anything else: a failure ends the work there.
    std::function<std::optional<Failure>(const InputFile &)> whenOpened;
};

// What came of an input: nothing when all went well; a failure of reading or of the input's
// content, with its message; or a failed write, for the caller to report, who knows where the
// output went.
struct ArticleOutcome {
    std::optional<Failure> failure;
    bool writeFailed = false;
};

// Opens the input (an empty path is standard input), tells how to read it — a byte order mark,
// else the encoding asked for; "auto" takes valid UTF-8 as UTF-8 and anything else as GB18030 and
// says on standard error which it used, the mark's choice too — and does the work: UTF-8 streams
// through the engine, other encodings are decoded whole first. A regular file that changes while it
// is read is a failure.
ArticleOutcome processArticle(const QString &path, const Reading &reading, const ArticleWork &work);

} // namespace tavrinel::cli
