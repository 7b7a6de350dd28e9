#include "run.h"

#include "sizetext.h"

namespace tavrinel
{

std::size_t countParagraphs(std::u16string_view article, const GenerationSettings &settings)
{
    std::size_t count = 0;
    forEachParagraph(article, settings, [&count](std::u16string_view) { ++count; });
    return count;
}

std::u16string wrapParagraphs(std::u16string_view article, const GenerationSettings &settings)
{
    const std::size_t tagLength = paragraphOpen.size() + paragraphClose.size();
    std::u16string text;
    text.reserve(article.size() + tagLength * countParagraphs(article, settings));
    forEachParagraph(article, settings, [&text](std::u16string_view paragraph) {
        text.append(paragraphOpen).append(paragraph).append(paragraphClose);
    });
    return text;
}

std::optional<std::u16string> runGeneration(std::u16string_view sizeText,
                                            std::u16string_view articleText, bool byCharacters,
                                            bool wordComplete)
{
    const auto settings =
        deriveSettings(sizeText, splitModeOf(byCharacters), completenessOf(wordComplete));
    if (!settings)
        return std::nullopt;
    return wrapParagraphs(trimSpaces(articleText), *settings);
}

} // namespace tavrinel
