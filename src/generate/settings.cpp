#include "settings.h"

#include "sizetext.h"

namespace tavrinel
{

GenerationSettings settingsFor(std::int16_t size, SplitMode split, Completeness completeness)
{
    GenerationSettings settings;
    settings.size = size;
    settings.split = split;
    settings.completeness = completeness;
    return settings;
}

std::optional<GenerationSettings> deriveSettings(std::u16string_view sizeText, SplitMode split,
                                                 Completeness completeness)
{
    const auto size = convertSize(sizeText);
    if (!size)
        return std::nullopt;
    return settingsFor(*size, split, completeness);
}

} // namespace tavrinel
