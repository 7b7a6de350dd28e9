#include "cutter.h"

#include "generate/tags.h"

#include <cstring>

namespace tavrinel::utf8
{

namespace
{

constexpr std::string_view openTag = ParagraphTags<char>::open;
constexpr std::string_view closeTag = ParagraphTags<char>::close;

} // namespace

Cutter::Cutter(const GenerationSettings &settings, Output &output)
    : out_(output), size_(settings.size)
{
    if (settings.split == SplitMode::ByCharacters)
        start_ = size_ <= 1 ? Phase::Whole : Phase::Count;
    else
        start_ = size_ <= 0 ? Phase::Whole : Phase::Sentences;
    startParagraph(0);
}

void Cutter::startParagraph(std::uint64_t unitsTaken)
{
    phase_ = start_;
    need_ = phase_ == Phase::Count ? static_cast<std::uint64_t>(size_ - 1) - unitsTaken
                                   : static_cast<std::uint64_t>(size_);
    pastN_ = 0;
    if (phase_ == Phase::Count && need_ == 0)
        phase_ = Phase::Search;
}

void Cutter::close()
{
    out_.tag(closeTag);
    open_ = false;
    startParagraph(0);
}

// The paragraph ends with the break at `position`: write it and close.
std::size_t Cutter::cutAt(const Block &block, std::size_t position, std::size_t &textFrom)
{
    out_.text(block.bytes + textFrom, position + 1 - textFrom);
    close();
    textFrom = position + 1;
    return textFrom;
}

// A break at the N-th unit itself ends the paragraph only when at least two units follow it;
// otherwise the rest of at most N + 1 units is taken whole. A later break needs no look-ahead:
// when it is the article's last unit, ending the paragraph there is taking the rest.
std::size_t Cutter::search(const Block &block, std::size_t position, std::size_t &textFrom)
{
    const std::size_t found = findBreak(block, position);
    if (found == block.size) {
        pastN_ += unitsUpTo(block, position, found, 1);
        return found;
    }
    // The stop is on the last byte of its character, which is one unit whatever its length.
    const std::uint64_t offset = pastN_ + unitsUpTo(block, position, found + 1, 2) - 1;
    if (offset > 0)
        return cutAt(block, found, textFrom);
    const std::uint64_t after = unitsUpTo(block, found + 1, block.size, 2);
    if (after == 2)
        return cutAt(block, found, textFrom);
    // The block ends first: write up to the break and hold the rest (under two units).
    out_.text(block.bytes + textFrom, found + 1 - textFrom);
    heldSize_ = block.size - found - 1;
    std::memcpy(held_, block.bytes + found + 1, heldSize_);
    heldUnits_ = after;
    wanted_ = 2 - after;
    phase_ = Phase::Pending;
    textFrom = block.size;
    return block.size;
}

// Where this block's own paragraph work starts: at 0 once the break is settled (the held
// character then opens the next paragraph), at the end when the block only adds to what is held.
std::size_t Cutter::settlePending(const Block &block)
{
    const std::uint64_t units = unitsUpTo(block, 0, block.size, wanted_);
    if (units < wanted_) {
        std::memcpy(held_ + heldSize_, block.bytes, block.size);
        heldSize_ += block.size;
        heldUnits_ += units;
        wanted_ -= units;
        return block.size;
    }
    out_.tag(closeTag);
    out_.tag(openTag);
    out_.text(held_, heldSize_);
    startParagraph(heldUnits_);
    heldSize_ = 0;
    return 0;
}

void Cutter::feed(const Block &block)
{
    std::size_t position = phase_ == Phase::Pending ? settlePending(block) : 0;
    std::size_t textFrom = position;
    while (position < block.size) {
        if (!open_) {
            out_.tag(openTag);
            open_ = true;
        }
        switch (phase_) {
        case Phase::Whole:
            position = block.size;
            break;
        case Phase::Sentences: {
            const std::size_t end = nthBreak(block, position, need_);
            position = end == block.size ? end : cutAt(block, end, textFrom);
            break;
        }
        case Phase::Count: {
            const Skipped skipped = skipUnits(block, position, need_);
            position = skipped.position;
            if (skipped.units < need_) {
                need_ -= skipped.units;
                break;
            }
            // A surrogate pair may straddle the N-th unit: the search starts after it.
            pastN_ = skipped.units - need_;
            phase_ = Phase::Search;
            [[fallthrough]];
        }
        case Phase::Search:
            position = search(block, position, textFrom);
            break;
        case Phase::Pending:
            return; // everything after the break is held
        }
    }
    out_.text(block.bytes + textFrom, block.size - textFrom);
}

void Cutter::finish()
{
    if (phase_ == Phase::Pending)
        out_.text(held_, heldSize_);
    if (open_)
        out_.tag(closeTag);
    open_ = false;
}

} // namespace tavrinel::utf8
