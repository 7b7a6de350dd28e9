#include "settings.h"

#include "sizetext.h"

namespace tavrinel
{

GenerationSettings settingsFor(std::int16_t size, bool byCharacters, bool wordComplete)
{
    GenerationSettings settings;
    settings.size = size;
    settings.split = byCharacters ? SplitMode::ByCharacters : SplitMode::BySentences;
    settings.completeness = wordComplete ? Completeness::Word : Completeness::Sentence;
    return settings;
}

std::optional<GenerationSettings> deriveSettings(std::u16string_view sizeText, bool byCharacters,
                                                 bool wordComplete)
{
    const auto size = convertSize(sizeText);
    if (!size)
        return std::nullopt;
    return settingsFor(*size, byCharacters, wordComplete);
}

} // namespace tavrinel
