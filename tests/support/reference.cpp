#include "reference.h"

#include <cfenv>
#include <cmath>
#include <regex>
#include <string>

namespace reference
{

namespace
{

bool in(std::u16string_view set, char16_t c)
{
    return set.find(c) != std::u16string_view::npos;
}

// The rule for Chinese text, position by position: which characters are ends that count, which
// go on a run, and where runs end.
std::u16string cjkBreakCopy(const std::u16string &a, bool wordComplete)
{
    const std::u16string_view ends = wordComplete
                                         ? u".?!;\u3002\uFF01\uFF1F\uFF1B\uFF0E\uFF61\u2026 ,:"
                                           u"\uFF0C\uFF1A\u3001\u3000"
                                         : u".?!;\u3002\uFF01\uFF1F\uFF1B\uFF0E\uFF61\u2026";
    const std::u16string_view closing = u"\"')]}\u201D\u2019\u300D\u300F\uFF09\u300B\u3009\u3011"
                                        u"\u3015\u3017\uFF3D\uFF5D\uFF02\uFF07";
    const std::u16string_view white = u" \t\r\n\u00A0\u3000";
    const std::size_t n = a.size();
    const auto boundaryAt = [&](std::size_t i) {
        return i == n || a[i] >= 0x80 || in(white, a[i]) || in(ends, a[i]) || in(closing, a[i]);
    };
    const auto counts = [&](std::size_t i) {
        return in(ends, a[i]) && (a[i] >= 0x80 || a[i] == u' ' || boundaryAt(i + 1));
    };
    const auto goesOn = [&](std::size_t i) {
        return i < n && (counts(i) || in(closing, a[i]));
    };
    std::u16string w = a;
    bool inRun = false;
    for (std::size_t i = 0; i < n; ++i) {
        inRun = goesOn(i) && (counts(i) || inRun);
        if (inRun && !goesOn(i + 1))
            w[i] = u'.';
        else if (w[i] == u'.')
            w[i] = u'x';
    }
    if (w.empty() || w.back() != u'.')
        w += u'.';
    return w;
}

} // namespace

std::u16string breakCopy(const std::u16string &article, bool wordComplete, bool cjk)
{
    if (cjk)
        return cjkBreakCopy(article, wordComplete);
    std::u16string w = article;
    if (wordComplete) {
        for (auto &c : w)
            if (c == u' ' || c == u',' || c == u':')
                c = u'.';
    }
    for (auto &c : w)
        if (c == u'?' || c == u'!' || c == u';')
            c = u'.';
    if (w.empty() || w.back() != u'.')
        w += u'.';
    return w;
}

namespace
{

// Characters a..b, 1-based and inclusive, cut at the end of src.
std::u16string mid(const std::u16string &src, std::int64_t a, std::int64_t b)
{
    const auto len = static_cast<std::int64_t>(src.size());
    if (b > len)
        b = len;
    if (a > b)
        return {};
    return src.substr(static_cast<std::size_t>(a - 1), static_cast<std::size_t>(b - a + 1));
}

} // namespace

Segment words(const std::u16string &src, std::int16_t num, std::int32_t start, std::int16_t type,
              bool cjk)
{
    const auto len = static_cast<std::int64_t>(src.size());
    if (start > len)
        return {u"", static_cast<std::int32_t>(len + 1)};
    if (len <= std::int64_t{start} + num || num <= 1)
        return {mid(src, start, len), static_cast<std::int32_t>(len + 1)};
    const std::u16string w = breakCopy(src, type == 2, cjk);
    std::int64_t p = std::int64_t{start} + num - 1;
    while (w[static_cast<std::size_t>(p - 1)] != u'.')
        ++p;
    return {mid(src, start, p), static_cast<std::int32_t>(p + 1)};
}

Segment clauses(const std::u16string &src, std::int16_t num, std::int32_t start, bool cjk)
{
    const auto len = static_cast<std::int64_t>(src.size());
    if (start > len)
        return {u"", static_cast<std::int32_t>(len + 1)};
    const std::u16string w = breakCopy(src, false, cjk);
    std::int64_t count = 0;
    std::int64_t q = start;
    // Zero takes the rest, like a negative size.
    const std::int64_t limit = num == 0 ? -1 : num;
    while (count != limit && q <= len) {
        std::int64_t p = q;
        while (w[static_cast<std::size_t>(p - 1)] != u'.')
            ++p;
        ++count;
        q = p + 1;
    }
    return {mid(src, start, q - 1), static_cast<std::int32_t>(q)};
}

std::u16string run(const std::u16string &text, std::int16_t size, bool byCharacters,
                   bool wordComplete, bool cjk)
{
    std::u16string article = text;
    while (!article.empty() && article.front() == u' ')
        article.erase(0, 1);
    while (!article.empty() && article.back() == u' ')
        article.pop_back();
    std::u16string out;
    std::int32_t start = 1;
    while (start <= static_cast<std::int32_t>(article.size())) {
        const Segment s = byCharacters ? words(article, size, start, wordComplete ? 2 : 1, cjk)
                                       : clauses(article, size, start, cjk);
        start = s.second;
        out += u"<p>" + s.first + u"</p>";
    }
    return out;
}

namespace
{

// The number without its surrounding spaces, when the text is one.
std::optional<std::string> numberPart(const std::u16string &text)
{
    std::string ascii;
    for (const char16_t c : text) {
        if (c > 0x7F)
            return std::nullopt;
        ascii += static_cast<char>(c);
    }
    static const std::regex number(R"(^ *([+-]?(\d+(\.\d*)?|\.\d+)) *$)");
    std::smatch match;
    if (!std::regex_match(ascii, match, number))
        return std::nullopt;
    return match[1].str();
}

} // namespace

bool isNumber(const std::u16string &text)
{
    return numberPart(text).has_value();
}

std::optional<std::int16_t> convertSize(const std::u16string &text)
{
    const auto number = numberPart(text);
    if (!number)
        return std::nullopt;
    const long double value = std::strtold(number->c_str(), nullptr);
    std::fesetround(FE_TONEAREST);
    const long double rounded = std::nearbyintl(value);
    if (rounded < -32768.0L || rounded > 32767.0L)
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

} // namespace reference
