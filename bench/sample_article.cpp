#include "sample_article.h"

#include <random>

namespace
{

const char *const englishWords[] = {"the",      "article", "paragraph", "of",    "web",
                                    "page",     "and",     "a",         "text",  "is",
                                    "cut",      "into",    "pieces",    "for",   "reading",
                                    "Tavrinel", "word",    "sentence",  "quick", "brown"};
const char *const chineseWords[] = {"文章", "段落", "网页", "内容", "生成", "分割", "句子",
                                    "字符", "数量", "标准", "完整", "我们", "今天", "世界"};
const char *const englishEnds[] = {".", ".", ".", "?", "!", ";"};
const char *const chineseEnds[] = {"。", "。", "！", "？", "；", "."};

template<std::size_t N> const char *pick(const char *const (&items)[N], std::mt19937 &random)
{
    return items[std::uniform_int_distribution<std::size_t>(0, N - 1)(random)];
}

void appendSentence(std::string &text, std::mt19937 &random)
{
    const bool chinese = random() % 2 == 0;
    const unsigned words = 3 + random() % 12;
    for (unsigned i = 0; i < words; ++i) {
        if (chinese) {
            text += pick(chineseWords, random);
            if (random() % 7 == 0)
                text += "，";
        } else {
            if (i > 0)
                text += random() % 9 == 0 ? ", " : " ";
            text += pick(englishWords, random);
        }
    }
    text += chinese ? pick(chineseEnds, random) : pick(englishEnds, random);
    text += random() % 6 == 0 ? "\r\n" : " ";
}

const char *const fullWidthEnds[] = {"。", "。", "。", "！", "？", "；", "…", "。”", "？！"};
const char *const fullWidthPauses[] = {"，", "，", "、", "：", "；"};

void appendChineseSentence(std::string &text, std::mt19937 &random)
{
    const unsigned words = 3 + random() % 12;
    for (unsigned i = 0; i < words; ++i) {
        text += pick(chineseWords, random);
        if (random() % 5 == 0)
            text += pick(fullWidthPauses, random);
    }
    text += pick(fullWidthEnds, random);
    if (random() % 6 == 0)
        text += "\r\n";
}

} // namespace

std::string chineseArticle(std::size_t bytes)
{
    std::mt19937 random(static_cast<std::mt19937::result_type>(bytes));
    std::string text;
    text.reserve(bytes + 256);
    while (text.size() < bytes)
        appendChineseSentence(text, random);
    return text;
}

std::string sampleArticle(std::size_t bytes)
{
    std::mt19937 random(static_cast<std::mt19937::result_type>(bytes));
    std::string text;
    text.reserve(bytes + 256);
    while (text.size() < bytes)
        appendSentence(text, random);
    return text;
}
