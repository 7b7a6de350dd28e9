#include "engine.h"

#include "cutter.h"
#include "runmasks.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tavrinel::utf8
{

namespace
{

constexpr unsigned char byteOrderMark[] = {0xEF, 0xBB, 0xBF};

const unsigned char *bytesOf(const char *text)
{
    return reinterpret_cast<const unsigned char *>(text);
}

// Reads the source chunk by chunk and hands on the text in validated pieces that end on
// character boundaries, the byte order mark left out. The at most three bytes of a sequence cut
// by the end of a chunk are carried over in front of the next one.
class Reader
{
public:
    Reader(ByteSource &source, const EngineOptions &options)
        : source_(source), kernels_(kernelsFor(options.kernel)),
          chunk_(std::max<std::size_t>(options.chunkSize, 1)),
          buffer_(std::make_unique_for_overwrite<char[]>(carryRoom + chunk_))
    {
    }

    // Calls onText(bytes, size) for each piece; it returns Ok to go on.
    template<class OnText> Result run(OnText &&onText)
    {
        std::size_t carried = 0;
        std::uint64_t offset = 0; // of the first carried byte in the whole input
        bool atStart = true;
        for (;;) {
            const std::optional<std::size_t> got = source_.read(buffer_.get() + carryRoom, chunk_);
            if (!got)
                return {Outcome::ReadFailed};
            const bool end = *got == 0;
            char *text = buffer_.get() + carryRoom - carried;
            const std::size_t size = carried + *got;
            const std::size_t complete = end ? size : completePrefix(bytesOf(text), size);
            if (!kernels_.valid(bytesOf(text), complete))
                return {Outcome::InvalidUtf8, offset + firstInvalid(bytesOf(text), complete)};
            std::size_t skip = 0;
            if (atStart && complete > 0) {
                atStart = false;
                if (complete >= 3 && std::memcmp(text, byteOrderMark, 3) == 0)
                    skip = 3;
            }
            if (complete > skip) {
                if (const Result result = onText(text + skip, complete - skip); !result.ok())
                    return result;
            }
            if (end)
                return {};
            carried = size - complete;
            std::memmove(buffer_.get() + carryRoom - carried, text + complete, carried);
            offset += complete;
        }
    }

    const Kernels &kernels() const { return kernels_; }

private:
    static constexpr std::size_t carryRoom = 4;

    ByteSource &source_;
    const Kernels &kernels_;
    std::size_t chunk_;
    std::unique_ptr<char[]> buffer_;
};

// The start of the character `count` characters from the end; 0 when there are no more than
// that many.
std::size_t startOfLast(const char *text, std::size_t size, int count)
{
    std::size_t at = size;
    for (int k = 0; k < count && at > 0; ++k) {
        --at;
        while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
            --at;
    }
    return at;
}

// Splits text into blocks of whole characters small enough for their masks to stay in the
// first-level cache, and classifies each. Under a rule with runs, whether a character is a stop
// depends on the two characters after it, so the last two characters of each piece wait for the
// next piece (or the end of the text) in a small buffer of their own.
class Classifier
{
public:
    Classifier(const Kernels &kernels, BreakSet set)
        : kernels_(kernels), set_(set), runs_(breakTable(set.rule).runs),
          windows_(blockBytes / windowBytes)
    {
    }

    // Calls onBlock(block, tally) for each block; it returns Ok to go on.
    template<class OnBlock> Result run(const char *text, std::size_t size, OnBlock &&onBlock)
    {
        if (!runs_)
            return classify(text, size, size, onBlock);
        if (heldSize_ > 0) {
            // The held characters, looked at with (up to) the first two of this piece.
            const std::size_t head = firstTwo(text, size);
            std::memcpy(held_ + heldSize_, text, head);
            const std::size_t all = heldSize_ + head;
            const std::size_t ready = startOfLast(held_, all, 2);
            if (const Result result = classify(held_, ready, all, onBlock); !result.ok())
                return result;
            if (head == size) { // all of the piece is held
                heldSize_ = all - ready;
                std::memmove(held_, held_ + ready, heldSize_);
                return {};
            }
            heldSize_ = 0;
        }
        const std::size_t ready = startOfLast(text, size, 2);
        if (const Result result = classify(text, ready, size, onBlock); !result.ok())
            return result;
        heldSize_ = size - ready;
        std::memcpy(held_, text + ready, heldSize_);
        return {};
    }

    // The text has ended: the held characters go out.
    template<class OnBlock> Result finish(OnBlock &&onBlock)
    {
        const std::size_t held = std::exchange(heldSize_, 0);
        return classify(held_, held, held, onBlock);
    }

    // Whether the last character classified holds a stop.
    bool endsWithStop() const { return endsWithStop_; }

private:
    static constexpr std::size_t blockBytes = 16 * 1024;

    // Bytes of the first two characters of the text, or all of it.
    static std::size_t firstTwo(const char *text, std::size_t size)
    {
        std::size_t at = 0;
        for (int k = 0; k < 2 && at < size; ++k) {
            ++at;
            while (at < size && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
                ++at;
        }
        return at;
    }

    // Classifies text[0, size) in blocks; text[size, known) follows it (two characters at least,
    // unless the text ends there).
    template<class OnBlock>
    Result classify(const char *text, std::size_t size, std::size_t known, OnBlock &&onBlock)
    {
        std::size_t at = 0;
        while (at < size) {
            std::size_t length = std::min(size - at, blockBytes);
            while (at + length < size &&
                   (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80)
                --length;
            if (runs_)
                lookAhead(bytesOf(text + at + length), known - at - length);
            const Tally tally =
                kernels_.classify(bytesOf(text + at), length, set_, around_, windows_.data());
            const std::size_t last = length - 1;
            endsWithStop_ = ((windows_[last / windowBytes].brk >> (last % windowBytes)) & 1) != 0;
            if (const Result result = onBlock(Block{text + at, length, windows_.data()}, tally);
                !result.ok())
                return result;
            at += length;
        }
        return {};
    }

    void lookAhead(const unsigned char *next, std::size_t size)
    {
        if (set_.mode == Completeness::Word)
            describeNext<Breaks::Cjk, Completeness::Word>(next, size, around_);
        else
            describeNext<Breaks::Cjk, Completeness::Sentence>(next, size, around_);
    }

    const Kernels &kernels_;
    BreakSet set_;
    bool runs_;
    std::vector<Window> windows_;
    Surroundings around_;
    char held_[16] = {}; // at most two characters held and two looked at after them
    std::size_t heldSize_ = 0;
    bool endsWithStop_ = false;
};

// Leaves out the spaces at both ends of the article. A run of spaces at the end of a piece may
// be the article's last: it is only counted, and written once more text shows that it is not,
// so a run of any length needs no memory.
class SpaceTrimmer
{
public:
    template<class OnText> Result add(const char *text, std::size_t size, OnText &&onText)
    {
        std::size_t from = 0;
        if (leading_) {
            while (from < size && text[from] == ' ')
                ++from;
            if (from == size)
                return {};
            leading_ = false;
        }
        std::size_t to = size;
        while (to > from && text[to - 1] == ' ')
            --to;
        if (to == from) {
            pending_ += size - from;
            return {};
        }
        if (const Result result = releasePending(onText); !result.ok())
            return result;
        pending_ = size - to;
        return onText(text + from, to - from);
    }

private:
    template<class OnText> Result releasePending(OnText &&onText)
    {
        static constexpr std::size_t runBytes = 4096;
        static const std::string spaces(runBytes, ' ');
        for (; pending_ > 0;) {
            const std::size_t length =
                static_cast<std::size_t>(std::min<std::uint64_t>(pending_, runBytes));
            if (const Result result = onText(spaces.data(), length); !result.ok())
                return result;
            pending_ -= length;
        }
        return {};
    }

    bool leading_ = true;
    std::uint64_t pending_ = 0;
};

} // namespace

Result validate(ByteSource &source, const EngineOptions &options)
{
    Reader reader(source, options);
    return reader.run([](const char *, std::size_t) { return Result{}; });
}

Result cut(ByteSource &source, const GenerationSettings &settings, ByteSink &sink,
           const EngineOptions &options)
{
    Reader reader(source, options);
    const bool wordBreaks =
        settings.split == SplitMode::ByCharacters && settings.completeness == Completeness::Word;
    Classifier classifier(reader.kernels(), {settings.breaks, wordBreaks ? Completeness::Word
                                                                         : Completeness::Sentence});
    SpaceTrimmer trimmer;
    // As large as a chunk: small chunks in tests also make text go past the buffer.
    Output output(sink, options.escapeHtml, options.chunkSize);
    Cutter cutter(settings, output);
    std::uint64_t length = 0;

    const auto onBlock = [&](const Block &block, const Tally &tally) {
        length += tally.units;
        if (length > options.maxArticleLength)
            return Result{Outcome::TooLong};
        cutter.feed(block);
        return output.failed() ? Result{Outcome::WriteFailed} : Result{};
    };
    const auto onArticle = [&](const char *text, std::size_t size) {
        return classifier.run(text, size, onBlock);
    };
    Result result = reader.run(
        [&](const char *text, std::size_t size) { return trimmer.add(text, size, onArticle); });
    if (result.ok())
        result = classifier.finish(onBlock);
    if (!result.ok())
        return result;
    cutter.finish();
    return output.flush() ? Result{} : Result{Outcome::WriteFailed};
}

CountResult count(ByteSource &source, const EngineOptions &options, Breaks rule)
{
    Reader reader(source, options);
    Classifier classifier(reader.kernels(), {rule, Completeness::Sentence});
    Counts counts;
    std::int64_t sentenceEnds = 0;
    const auto onBlock = [&](const Block &, const Tally &tally) {
        counts.characters += static_cast<std::int64_t>(tally.units);
        sentenceEnds += static_cast<std::int64_t>(tally.breaks);
        return Result{};
    };
    Result result = reader.run(
        [&](const char *text, std::size_t size) { return classifier.run(text, size, onBlock); });
    if (result.ok())
        result = classifier.finish(onBlock);
    counts.sentences = sentenceEnds + (classifier.endsWithStop() ? 0 : 1);
    return {result, counts};
}

} // namespace tavrinel::utf8
