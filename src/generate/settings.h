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

// The settings for a paragraph size and the two option states.
GenerationSettings settingsFor(std::int16_t size, bool byCharacters, bool wordComplete);

// The settings for a size text and the two option states; nothing when the size text is not a
// number or does not fit 16 bits. The word-complete state is taken even in sentence mode, where
// it has no effect.
std::optional<GenerationSettings> deriveSettings(std::u16string_view sizeText, bool byCharacters,
                                                 bool wordComplete);

} // namespace tavrinel
