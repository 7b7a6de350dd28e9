#pragma once

#include "cli/failure.h"
#include "input/encoding.h"
#include "utf8/engine.h"

#include <QString>
#include <optional>
#include <string_view>

namespace tavrinel::cli
{

class InputFile;

// How inputs are read: the encoding asked for (a byte order mark always decides) and the UTF-8
// engine's settings.
struct Reading {
    input::Encoding encoding = input::Encoding::Utf8;
    bool encodingGiven = false; // by name, rather than the default
    utf8::EngineOptions engine;

    // NUL bytes are judged (UTF-16 without a mark, or no text) for the default encoding and
    // auto; an encoding asked for by name is obeyed.
    bool judgesNuls() const { return !encodingGiven || encoding == input::Encoding::Auto; }
};

// What is done with an article: cut into paragraphs, or counted. Each input reaches the work in
// one of two forms, chosen once for it: UTF-8 bytes, which the UTF-8 engine streams, or text
// decoded whole from another encoding, which the UTF-16 core takes.
class ArticleWork
{
public:
    virtual ~ArticleWork() = default;

    // Once the input is open and before anything is read from it: a failure ends the work there.
    virtual std::optional<Failure> start(const InputFile &) { return std::nullopt; }
    // Whether what the work writes cannot be taken back (standard output): a regular file is
    // then read once through before the work starts, so that nothing is written for an input
    // that is not valid.
    virtual bool validatesFirst() const { return false; }

    // The UTF-8 engine's run over the input's bytes.
    virtual utf8::Result onBytes(utf8::ByteSource &source) = 0;
    // The UTF-16 core's run over the decoded text; false when writing failed.
    virtual bool onText(std::u16string_view text) = 0;
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
ArticleOutcome processArticle(const QString &path, const Reading &reading, ArticleWork &work);

} // namespace tavrinel::cli
