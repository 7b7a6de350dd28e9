#pragma once

#include "segment/segmenters.h"
#include "settings.h"
#include "tags.h"

#include <cassert>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tavrinel
{

inline constexpr std::u16string_view paragraphOpen = ParagraphTags<char16_t>::open;
inline constexpr std::u16string_view paragraphClose = ParagraphTags<char16_t>::close;

// Calls onParagraph(text) for every paragraph of an already trimmed article, in order. The texts
// are views into the article; together they are the article, each character in exactly one.
template<class OnParagraph>
void forEachParagraph(std::u16string_view article, const GenerationSettings &settings,
                      OnParagraph &&onParagraph)
{
    const bool byCharacters = settings.split == SplitMode::ByCharacters;
    const BreakCopy copy(article, byCharacters ? settings.completeness : Completeness::Sentence,
                         settings.breaks);
    const std::int32_t length = copy.articleLength();
    std::int32_t start = 1;
    while (start <= length) {
        const SegmentResult paragraph = byCharacters
                                            ? getNumberOfWords(copy, settings.size, start)
                                            : getNumberOfClauses(copy, settings.size, start);
        // A segmenter that does not move on would never end the run. That is a fault of the
        // segmenter, which a debug build stops at; a release build ends the run with an
        // exception, which the window's command swallows as it does every failure.
        const bool advanced = paragraph.next > start;
        assert(advanced && "segmenter did not advance");
        if (!advanced)
            throw std::logic_error("segmenter did not advance");
        start = paragraph.next;
        onParagraph(paragraph.text);
    }
}

std::size_t countParagraphs(std::u16string_view article, const GenerationSettings &settings);

// The paragraph text: every paragraph of the trimmed article wrapped in <p> and </p>, with
// nothing in between. Built in storage reserved once for its exact length.
std::u16string wrapParagraphs(std::u16string_view article, const GenerationSettings &settings);

// One generation run from the window's contents, its two option states as the window hands them
// over: nothing when the size text does not convert. The article text is trimmed of surrounding
// spaces first.
std::optional<std::u16string> runGeneration(std::u16string_view sizeText,
                                            std::u16string_view articleText, bool byCharacters,
                                            bool wordComplete);

} // namespace tavrinel
