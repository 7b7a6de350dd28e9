#pragma once

#include "blockscan.h"
#include "generate/settings.h"
#include "output.h"

#include <cstdint>

namespace tavrinel::utf8
{

// The paragraph rules of the generation run, applied to the trimmed article as it arrives in
// blocks. A paragraph's "<p>" goes out with its first character and its text as it is passed,
// so a paragraph without any break streams through. The only look-ahead the rules need is the
// "rest of at most N + 1 units is taken whole" test, which can hang on the two units after a
// break at the N-th unit: what comes of them in this block (at most one character) is held back
// until the next block settles it.
class Cutter
{
public:
    Cutter(const GenerationSettings &settings, Output &output);

    void feed(const Block &block);
    // The article has ended: the open paragraph takes what is held back and is closed.
    void finish();

private:
    enum class Phase {
        Whole,     // the rest of the article is one paragraph
        Sentences, // counting sentence ends
        Count,     // passing the paragraph's first N - 1 units, which cannot end it
        Search,    // looking for the first break from the N-th unit on
        Pending,   // a break found near the N-th unit waits for the units after it
    };

    std::size_t settlePending(const Block &block);
    // Called per paragraph: kept inline in feed().
    [[gnu::always_inline]] inline std::size_t cutAt(const Block &block, std::size_t position,
                                                    std::size_t &textFrom);
    [[gnu::always_inline]] inline std::size_t search(const Block &block, std::size_t position,
                                                     std::size_t &textFrom);
    void startParagraph(std::uint64_t unitsTaken);
    void close();

    Output &out_;
    std::int64_t size_;
    Phase start_; // the phase every paragraph starts in
    Phase phase_;
    bool open_ = false;        // "<p>" written, "</p>" not yet
    std::uint64_t need_ = 0;   // Count: units still to pass; Sentences: sentence ends to go
    std::uint64_t pastN_ = 0;  // Search: units from the N-th unit to here, up to 1
    std::uint64_t wanted_ = 0; // Pending: units still needed to settle the break
    char held_[4] = {};        // Pending: the character after the break, not yet written
    std::size_t heldSize_ = 0;
    std::uint64_t heldUnits_ = 0;
};

} // namespace tavrinel::utf8
