#include "settings.h"

#include "sizetext.h"

namespace tavrinel
{

std::optional<GenerationSettings> deriveSettings(std::u16string_view sizeText, bool byCharacters,
                                                 bool wordComplete)
{
    const auto size = convertSize(sizeText);
    if (!size)
        return std::nullopt;
    GenerationSettings settings;
    settings.size = *size;
    settings.split = byCharacters ? SplitMode::ByCharacters : SplitMode::BySentences;
    settings.completeness = wordComplete ? Completeness::Word : Completeness::Sentence;
    return settings;
}

} // namespace tavrinel
