// The generation run over any UTF-16 article and size, in all three modes and by both break rules.
// Input: one byte that picks where a single segmenter call starts, the size N in two bytes, then
// the article.

#include "checks/checks.h"
#include "fuzzinput.h"
#include "generate/run.h"
#include "generate/sizetext.h"
#include "reference.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

using namespace tavrinel;
using fuzz::check;

namespace
{

// The plain model rebuilds its break copy per paragraph; keep it to articles it does quickly.
constexpr std::size_t modelLimit = 400;

// Break characters of the mode in the text, counted one by one (not by the vector scan).
std::size_t breaksIn(std::u16string_view text, Completeness mode)
{
    std::size_t count = 0;
    for (const char16_t c : text)
        count += isBreak(c, mode) ? 1 : 0;
    return count;
}

// A paragraph cut by characters holds at least N characters and ends at the first break at or
// after its N-th character; only the last one may fall short.
void checkCharacterParagraph(std::u16string_view paragraph, std::int16_t size, Completeness mode)
{
    check(size > 1, "a size of 1 or less split the article");
    const auto n = static_cast<std::size_t>(size);
    check(paragraph.size() >= n, "paragraph shorter than N");
    check(isBreak(paragraph.back(), mode), "paragraph does not end with a break");
    check(breaksIn(paragraph.substr(n - 1, paragraph.size() - n), mode) == 0,
          "paragraph runs past the first break after its N-th character");
}

// A paragraph cut by sentences holds exactly N of them, the last one closed by its break.
void checkSentenceParagraph(std::u16string_view paragraph, std::int16_t size)
{
    check(size > 0, "a size of 0 or less split the article");
    check(breaksIn(paragraph, Completeness::Sentence) == static_cast<std::size_t>(size),
          "paragraph does not hold N sentences");
    check(isSentenceBreak(paragraph.back()), "paragraph does not end with a sentence break");
}

// Under the rule for Chinese text a paragraph that is not the last ends at the end of a run: on an
// end character or a closing mark, not before a closing mark of its own, and not at an ASCII end
// character that stands in a number or name.
void checkRunEnd(std::u16string_view paragraph, char16_t next, const GenerationSettings &settings)
{
    const Completeness mode =
        settings.split == SplitMode::ByCharacters ? settings.completeness : Completeness::Sentence;
    const char16_t last = paragraph.back();
    const unsigned lastClasses = classOf(last, Breaks::Cjk, mode);
    check((lastClasses & (charclass::end | charclass::closing)) != 0,
          "paragraph ends on neither an end character nor a closing mark");
    check((classOf(next, Breaks::Cjk, mode) & charclass::closing) == 0,
          "paragraph ends before a closing mark");
    const bool asciiEnd =
        last < 0x80 && (lastClasses & (charclass::end | charclass::white)) == charclass::end;
    const bool alphanumeric = (next >= u'0' && next <= u'9') || (next >= u'a' && next <= u'z') ||
                              (next >= u'A' && next <= u'Z');
    check(!(asciiEnd && alphanumeric), "paragraph ends at an ASCII end before a letter or digit");
    if (settings.split == SplitMode::ByCharacters)
        check(paragraph.size() >= static_cast<std::size_t>(settings.size),
              "paragraph shorter than N");
}

// Every paragraph is wrapped once, in order, with nothing in between.
void checkWrapped(std::u16string_view wrapped, const std::vector<std::u16string_view> &paragraphs)
{
    std::size_t at = 0;
    for (const std::u16string_view paragraph : paragraphs) {
        check(wrapped.substr(at, paragraphOpen.size()) == paragraphOpen, "missing <p>");
        at += paragraphOpen.size();
        check(wrapped.substr(at, paragraph.size()) == paragraph, "paragraph text changed");
        at += paragraph.size();
        check(wrapped.substr(at, paragraphClose.size()) == paragraphClose, "missing </p>");
        at += paragraphClose.size();
    }
    check(at == wrapped.size(), "text after the last paragraph");
}

// One run: the paragraphs are the trimmed article cut into consecutive non-empty pieces.
std::u16string checkRun(std::u16string_view article, const GenerationSettings &settings)
{
    std::vector<std::u16string_view> paragraphs;
    forEachParagraph(article, settings, [&](std::u16string_view p) { paragraphs.push_back(p); });

    const char16_t *next = article.data();
    for (const std::u16string_view paragraph : paragraphs) {
        check(!paragraph.empty(), "empty paragraph");
        check(paragraph.data() == next, "paragraphs skip or repeat text");
        next += paragraph.size();
    }
    check(next == article.data() + article.size(), "paragraphs do not cover the article");
    check(countParagraphs(article, settings) == paragraphs.size(), "paragraph count differs");

    for (std::size_t i = 0; i + 1 < paragraphs.size(); ++i) {
        if (settings.breaks == Breaks::Cjk)
            checkRunEnd(paragraphs[i], paragraphs[i + 1].front(), settings);
        else if (settings.split == SplitMode::ByCharacters)
            checkCharacterParagraph(paragraphs[i], settings.size, settings.completeness);
        else
            checkSentenceParagraph(paragraphs[i], settings.size);
    }
    if (!paragraphs.empty() && settings.split == SplitMode::BySentences && settings.size > 0 &&
        settings.breaks == Breaks::Ascii)
        check(breaksIn(paragraphs.back(), Completeness::Sentence) <=
                  static_cast<std::size_t>(settings.size),
              "last paragraph holds more than N sentences");

    std::u16string wrapped = wrapParagraphs(article, settings);
    checkWrapped(wrapped, paragraphs);
    return wrapped;
}

void checkTrim(std::u16string_view text, std::u16string_view article)
{
    const std::size_t leading = static_cast<std::size_t>(article.data() - text.data());
    check(leading <= text.size() && article.size() <= text.size() - leading, "trim left the text");
    check(article.empty() || (article.front() != u' ' && article.back() != u' '),
          "spaces left at an end");
    const std::u16string_view before = text.substr(0, leading);
    const std::u16string_view after = text.substr(leading + article.size());
    check(before.find_first_not_of(u' ') == std::u16string_view::npos &&
              after.find_first_not_of(u' ') == std::u16string_view::npos,
          "trim removed more than spaces");
}

// The count by the rule for Chinese text: the stops of the plain model's sentence-complete copy.
void checkCjkCount(const std::u16string &text)
{
    const std::u16string copy = reference::breakCopy(text, false, true);
    check(sentenceCount(text, Breaks::Cjk) == std::count(copy.begin(), copy.end(), u'.'),
          "sentence count by the rule for Chinese text");
}

void checkCounts(std::u16string_view text)
{
    check(characterCount(text) == static_cast<std::int64_t>(text.size()), "character count");
    const bool closed = !text.empty() && isSentenceBreak(text.back());
    check(sentenceCount(text) ==
              static_cast<std::int64_t>(breaksIn(text, Completeness::Sentence) + (closed ? 0 : 1)),
          "sentence count");
}

// Small articles: the fast segmenters agree with the plain model, for the whole run and for
// one call from an arbitrary start.
void checkAgainstModel(const std::u16string &text, std::u16string_view article, std::int16_t size,
                       std::int32_t start, const std::u16string (&runs)[3])
{
    check(runs[0] == reference::run(text, size, false, false), "sentence run differs from model");
    check(runs[1] == reference::run(text, size, true, false), "character run differs from model");
    check(runs[2] == reference::run(text, size, true, true), "word run differs from model");

    const std::u16string trimmed(article);
    for (const std::int16_t type : {std::int16_t{1}, std::int16_t{2}}) {
        const SegmentResult fast = getNumberOfWords(trimmed, size, start, type);
        const reference::Segment slow = reference::words(trimmed, size, start, type);
        check(fast.text == slow.first && fast.next == slow.second, "character cut differs");
    }
    const SegmentResult fast = getNumberOfClauses(trimmed, size, start);
    const reference::Segment slow = reference::clauses(trimmed, size, start);
    check(fast.text == slow.first && fast.next == slow.second, "sentence cut differs");
}

GenerationSettings cjkSettings(std::int16_t size, SplitMode split, Completeness completeness)
{
    GenerationSettings settings = settingsFor(size, split, completeness);
    settings.breaks = Breaks::Cjk;
    return settings;
}

// Small articles by the rule for Chinese text: the run and one call from an arbitrary start
// agree with the plain model, which walks the article position by position.
void checkCjkAgainstModel(const std::u16string &text, std::u16string_view article,
                          std::int16_t size, std::int32_t start, const std::u16string (&runs)[3])
{
    check(runs[0] == reference::run(text, size, false, false, true), "cjk sentence run");
    check(runs[1] == reference::run(text, size, true, false, true), "cjk character run");
    check(runs[2] == reference::run(text, size, true, true, true), "cjk word run");
    const std::u16string trimmed(article);
    for (const Completeness mode : {Completeness::Sentence, Completeness::Word}) {
        const SegmentResult fast =
            getNumberOfWords(BreakCopy(trimmed, mode, Breaks::Cjk), size, start);
        const reference::Segment slow =
            reference::words(trimmed, size, start, mode == Completeness::Word ? 2 : 1, true);
        check(fast.text == slow.first && fast.next == slow.second, "cjk character cut differs");
    }
    const SegmentResult fast =
        getNumberOfClauses(BreakCopy(trimmed, Completeness::Sentence, Breaks::Cjk), size, start);
    const reference::Segment slow = reference::clauses(trimmed, size, start, true);
    check(fast.text == slow.first && fast.next == slow.second, "cjk sentence cut differs");
}

std::u16string decimal(std::int16_t value)
{
    const std::string digits = std::to_string(value);
    return {digits.begin(), digits.end()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The input: a byte for the position where the model starts, the size, then the article.
    fuzz::Input input(data, size);
    const std::uint8_t startProbe = input.byte();
    const std::int16_t n = input.int16();
    const std::u16string text = input.text();

    const std::u16string_view article = trimSpaces(text);
    checkTrim(text, article);
    checkCounts(text);

    const std::u16string runs[3] = {
        checkRun(article, settingsFor(n, SplitMode::BySentences, Completeness::Sentence)),
        checkRun(article, settingsFor(n, SplitMode::ByCharacters, Completeness::Sentence)),
        checkRun(article, settingsFor(n, SplitMode::ByCharacters, Completeness::Word))};
    // The window's entry point: the size as typed, the untrimmed article.
    const auto generated = runGeneration(decimal(n), text, true, true);
    check(generated && *generated == runs[2], "runGeneration differs from the run");

    checkCjkCount(text);
    const std::u16string cjkRuns[3] = {
        checkRun(article, cjkSettings(n, SplitMode::BySentences, Completeness::Sentence)),
        checkRun(article, cjkSettings(n, SplitMode::ByCharacters, Completeness::Sentence)),
        checkRun(article, cjkSettings(n, SplitMode::ByCharacters, Completeness::Word))};

    if (text.size() <= modelLimit) {
        const auto start = static_cast<std::int32_t>(startProbe % (article.size() + 3)) + 1;
        checkAgainstModel(text, article, n, start, runs);
        checkCjkAgainstModel(text, article, n, start, cjkRuns);
    }
    return 0;
}
