#pragma once

#include "segment/breakcopy.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace tavrinel
{

enum class SplitMode : std::int16_t { BySentences = 1, ByCharacters = 2 };

// What one generation run cuts by; derived afresh from the window's contents on every run.
struct GenerationSettings {
    SplitMode split = SplitMode::ByCharacters;
    Completeness completeness = Completeness::Sentence;
    std::int16_t size = 10;
    Breaks breaks = Breaks::Ascii; // the window always cuts by the ASCII rule

    friend bool operator==(const GenerationSettings &, const GenerationSettings &) = default;
};

// The window's two option states, "by characters" and "word-complete", as the modes they select.
constexpr SplitMode splitModeOf(bool byCharacters)
{
    return byCharacters ? SplitMode::ByCharacters : SplitMode::BySentences;
}

constexpr Completeness completenessOf(bool wordComplete)
{
    return wordComplete ? Completeness::Word : Completeness::Sentence;
}

// The settings for a paragraph size and the two modes.
GenerationSettings settingsFor(std::int16_t size, SplitMode split, Completeness completeness);

// The settings for a size text and the two modes; nothing when the size text is not a number or
// does not fit 16 bits. The completeness is kept even in sentence mode, where it has no effect.
std::optional<GenerationSettings> deriveSettings(std::u16string_view sizeText, SplitMode split,
                                                 Completeness completeness);

} // namespace tavrinel
