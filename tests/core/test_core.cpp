#include "checks/checks.h"
#include "generate/run.h"
#include "generate/sizetext.h"
#include "reference.h"
#include "segment/segmenters.h"

#include <QElapsedTimer>
#include <QTest>
#include <random>

using namespace tavrinel;
using namespace Qt::StringLiterals;

namespace
{

std::u16string u16(const QString &text)
{
    return text.toStdU16String();
}

QString q(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Articles mixing everything a pasted text can hold: Latin and CJK letters, full-width
// punctuation that never breaks, CR LF, tabs, surrogate pairs, runs of breaks, spaces at the ends.
class ArticleMaker
{
public:
    explicit ArticleMaker(std::uint32_t seed) : random_(seed) {}

    std::u16string article(std::size_t maxPieces)
    {
        static const std::u16string_view pieces[] = {
            u"a",  u"Word", u"e",  u"你", u"好世界",     u"\u3002", u"\uFF0C", u"\uFF01", u"\u3000",
            u".",  u"?",    u"!",  u";",  u",",          u":",      u" ",      u"  ",     u"...",
            u"?!", u"\r\n", u"\n", u"\t", u"\U0001F600", u"<",      u"&",      u"\u00A0", u"x",
            u"3",  u"\"",   u")",  u"”",  u"」",         u"…",      u"？",     u"、",     u"：",
        };
        std::u16string text;
        const std::size_t count = pick(maxPieces + 1);
        for (std::size_t i = 0; i < count; ++i)
            text += pieces[pick(std::size(pieces))];
        if (pick(4) == 0)
            text = u"  " + text + u"   ";
        return text;
    }

    std::int16_t size()
    {
        static const std::int16_t fixed[] = {-32768, -5, -1, 0,  1,  2,  3,
                                             4,      5,  7,  10, 16, 50, 32767};
        if (pick(3) == 0)
            return static_cast<std::int16_t>(static_cast<int>(pick(65536)) - 32768);
        return fixed[pick(std::size(fixed))];
    }

    std::size_t pick(std::size_t bound)
    {
        return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_);
    }

private:
    std::mt19937 random_;
};

// Whether a paragraph that is not the last keeps the rule of its mode: by characters at least N
// characters up to the first break from the N-th on, by sentences exactly N sentences.
bool keepsRule(std::u16string_view paragraph, const GenerationSettings &settings)
{
    if (paragraph.empty())
        return false;
    if (settings.split == SplitMode::ByCharacters) {
        const auto n = static_cast<std::size_t>(std::max<int>(settings.size, 1));
        const auto isModeBreak = [&](char16_t c) {
            return isBreak(c, settings.completeness);
        };
        return paragraph.size() >= n && isModeBreak(paragraph.back()) &&
               std::none_of(paragraph.begin() + static_cast<std::ptrdiff_t>(n) - 1,
                            paragraph.end() - 1, isModeBreak);
    }
    const auto sentences = std::count_if(paragraph.begin(), paragraph.end(), isSentenceBreak);
    return sentences == settings.size && isSentenceBreak(paragraph.back());
}

struct Cut {
    std::size_t count = 0;
    std::size_t lastLength = 0;
    bool consecutive = true; // every paragraph starts where the previous ended, none empty
    bool coversArticle = false;
    bool rulesKept = true;
};

// Cuts the article without building the paragraph text and checks every paragraph on the way.
Cut cutAndCheck(std::u16string_view article, const GenerationSettings &settings)
{
    Cut cut;
    const char16_t *next = article.data();
    std::u16string_view previous;
    forEachParagraph(article, settings, [&](std::u16string_view paragraph) {
        if (cut.count > 0)
            cut.rulesKept = cut.rulesKept && keepsRule(previous, settings);
        cut.consecutive = cut.consecutive && !paragraph.empty() && paragraph.data() == next;
        next = paragraph.data() + paragraph.size();
        previous = paragraph;
        ++cut.count;
    });
    cut.lastLength = previous.size();
    cut.coversArticle = next == article.data() + article.size();
    return cut;
}

std::u16string repeated(std::u16string_view piece, std::size_t length)
{
    std::u16string text;
    text.reserve(length + piece.size());
    while (text.size() < length)
        text += piece;
    text.resize(length);
    return text;
}

// Fifty million characters of everything an article holds, made once for all the tests using it.
const std::u16string &fiftyMillionCharacterArticle()
{
    static const std::u16string article = repeated(
        u"Ab cd, \u4F60\u597D\u3002ef\r\n\U0001F600 gh. Ij? kl\tmn! \u518D; op: q ", 50'000'000);
    return article;
}

} // namespace

class TestCore : public QObject
{
    Q_OBJECT

private slots:
    void characterSegmenter_data();
    void characterSegmenter();
    void sentenceSegmenter_data();
    void sentenceSegmenter();
    void generationRun_data();
    void generationRun();
    void sizeConversion_data();
    void sizeConversion();
    void statistics_data();
    void statistics();
    void cjkRule_data();
    void cjkRule();
    void segmentersAgreeWithDefinitionAtEveryStart();
    void runsAgreeWithDefinitionAndKeepTheArticle();
    void sizeConversionAgreesWithFloatingPoint();
    void longArticleRunsInOnePass();
    void fiftyMillionCharacters_data();
    void fiftyMillionCharacters();
    void articleWithoutBreaks_data();
    void articleWithoutBreaks();
    void articleOfBreaksOnly_data();
    void articleOfBreaksOnly();
};

void TestCore::characterSegmenter_data()
{
    QTest::addColumn<QString>("src");
    QTest::addColumn<int>("num");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("next");

    const QString hello = u"Hello world. This is a test. End."_s;
    QTest::newRow("sentence first") << hello << 10 << 1 << 1 << u"Hello world."_s << 13;
    QTest::newRow("sentence second") << hello << 10 << 13 << 1 << u" This is a test."_s << 29;
    QTest::newRow("sentence rest") << hello << 10 << 29 << 1 << u" End."_s << 34;
    QTest::newRow("word first") << hello << 10 << 1 << 2 << u"Hello world."_s << 13;
    QTest::newRow("word second") << hello << 10 << 13 << 2 << u" This is a "_s << 24;
    QTest::newRow("word third") << hello << 10 << 24 << 2 << u"test. End."_s << 34;
    QTest::newRow("shorter than N") << u"abc"_s << 10 << 1 << 1 << u"abc"_s << 4;
    QTest::newRow("N = 1 takes all") << hello << 1 << 1 << 1 << hello << 34;
    QTest::newRow("N = 0 takes all") << hello << 0 << 1 << 2 << hello << 34;
    QTest::newRow("N < 0 takes all") << hello << -5 << 1 << 1 << hello << 34;
    QTest::newRow("aaa b first") << u"aaa b"_s << 3 << 1 << 2 << u"aaa "_s << 5;
    QTest::newRow("aaa b second") << u"aaa b"_s << 3 << 5 << 2 << u"b"_s << 6;
    QTest::newRow("Hi. X first") << u"Hi. X"_s << 2 << 1 << 1 << u"Hi."_s << 4;
    QTest::newRow("Hi. X second") << u"Hi. X"_s << 2 << 4 << 1 << u" X"_s << 6;
    QTest::newRow("N+1 left is taken whole")
        << u"abcdefghijk."_s << 10 << 1 << 1 << u"abcdefghijk."_s << 13;
    QTest::newRow("break is the Nth character")
        << u"abcd.fghijklmn"_s << 5 << 1 << 1 << u"abcd."_s << 6;
    QTest::newRow("no break: appended dot")
        << u"abcdefghijklmn"_s << 3 << 1 << 1 << u"abcdefghijklmn"_s << 16;
    QTest::newRow("full-width never breaks")
        << u"\u4F60\u597D\u3002\u4E16\u754C\uFF0C\u518D\u89C1\uFF01"_s << 2 << 1 << 2
        << u"\u4F60\u597D\u3002\u4E16\u754C\uFF0C\u518D\u89C1\uFF01"_s << 11;
    QTest::newRow("ctype 0 is sentence") << hello << 10 << 13 << 0 << u" This is a test."_s << 29;
    QTest::newRow("question mark kept")
        << u"Why not? Yes sir."_s << 4 << 1 << 1 << u"Why not?"_s << 9;
    QTest::newRow("line break is no break")
        << u"ab\r\ncd\r\nef. gh"_s << 3 << 1 << 2 << u"ab\r\ncd\r\nef."_s << 12;
    QTest::newRow("past the end") << hello << 10 << 40 << 1 << QString() << 34;
}

void TestCore::characterSegmenter()
{
    QFETCH(QString, src);
    QFETCH(int, num);
    QFETCH(int, start);
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(int, next);
    const std::u16string article = u16(src);
    const SegmentResult result = getNumberOfWords(article, static_cast<std::int16_t>(num), start,
                                                  static_cast<std::int16_t>(type));
    QCOMPARE(q(result.text), text);
    QCOMPARE(result.next, next);
}

void TestCore::sentenceSegmenter_data()
{
    QTest::addColumn<QString>("src");
    QTest::addColumn<int>("num");
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("next");

    const QString letters = u"A. B. C. D. E."_s;
    QTest::newRow("A B") << letters << 2 << 1 << u"A. B."_s << 6;
    QTest::newRow("C D") << letters << 2 << 6 << u" C. D."_s << 12;
    QTest::newRow("E") << letters << 2 << 12 << u" E."_s << 15;
    const QString numbers = u"One. Two. Three. Four. Five"_s;
    QTest::newRow("One Two") << numbers << 2 << 1 << u"One. Two."_s << 10;
    QTest::newRow("Three Four") << numbers << 2 << 10 << u" Three. Four."_s << 23;
    QTest::newRow("Five, unclosed") << numbers << 2 << 23 << u" Five"_s << 29;
    QTest::newRow("x.") << u"x.y.z"_s << 1 << 1 << u"x."_s << 3;
    QTest::newRow("y.") << u"x.y.z"_s << 1 << 3 << u"y."_s << 5;
    QTest::newRow("z") << u"x.y.z"_s << 1 << 5 << u"z"_s << 7;
    QTest::newRow("Wait..") << u"Wait... what?"_s << 2 << 1 << u"Wait.."_s << 7;
    QTest::newRow(". what?") << u"Wait... what?"_s << 2 << 7 << u". what?"_s << 14;
    QTest::newRow("N = -1 closed") << letters << -1 << 1 << letters << 15;
    QTest::newRow("N = -1 unclosed") << numbers << -1 << 1 << numbers << 29;
    QTest::newRow("N = 0 takes the rest") << numbers << 0 << 10 << u" Three. Four. Five"_s << 29;
    QTest::newRow("N = 0 closed") << letters << 0 << 1 << letters << 15;
    QTest::newRow("past the end") << letters << 3 << 16 << QString() << 15;
}

void TestCore::sentenceSegmenter()
{
    QFETCH(QString, src);
    QFETCH(int, num);
    QFETCH(int, start);
    QFETCH(QString, text);
    QFETCH(int, next);
    const std::u16string article = u16(src);
    const SegmentResult result = getNumberOfClauses(article, static_cast<std::int16_t>(num), start);
    QCOMPARE(q(result.text), text);
    QCOMPARE(result.next, next);
}

void TestCore::generationRun_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("article");
    QTest::addColumn<bool>("byCharacters");
    QTest::addColumn<bool>("wordComplete");
    QTest::addColumn<bool>("converts");
    QTest::addColumn<QString>("paragraphs");

    const QString hello = u"Hello world. This is a test. End."_s;
    QTest::newRow("sentence-complete")
        << u"10"_s << hello << true << false << true
        << u"<p>Hello world.</p><p> This is a test.</p><p> End.</p>"_s;
    QTest::newRow("word-complete") << u"10"_s << hello << true << true << true
                                   << u"<p>Hello world.</p><p> This is a </p><p>test. End.</p>"_s;
    QTest::newRow("aaa b") << u"3"_s << u"aaa b"_s << true << true << true
                           << u"<p>aaa </p><p>b</p>"_s;
    QTest::newRow("empty article") << u"10"_s << QString() << true << false << true << QString();
    QTest::newRow("spaces only") << u"10"_s << u"    "_s << false << false << true << QString();
    QTest::newRow("trimmed of spaces only")
        << u"10"_s << u"  \tab. \r\n  "_s << true << false << true << u"<p>\tab. \r\n</p>"_s;
    QTest::newRow("sentences ignore word-complete")
        << u"2"_s << u"A, b. C: d. E f."_s << false << true << true
        << u"<p>A, b. C: d.</p><p> E f.</p>"_s;
    QTest::newRow("no escaping") << u"1"_s << u"a<b & c>d"_s << true << false << true
                                 << u"<p>a<b & c>d</p>"_s;
    QTest::newRow("full-width only")
        << u"2"_s << u"\u4F60\u597D\u3002\u4E16\u754C\u3002"_s << true << true << true
        << u"<p>\u4F60\u597D\u3002\u4E16\u754C\u3002</p>"_s;
    QTest::newRow("size with spaces")
        << u" 12 "_s << hello << true << false << true
        << u"<p>Hello world.</p><p> This is a test.</p><p> End.</p>"_s;
    QTest::newRow("2.5 is 2") << u"2.5"_s << u"x.y.z"_s << false << false << true
                              << u"<p>x.y.</p><p>z</p>"_s;
    QTest::newRow("sentence N = 0")
        << u"0"_s << u"a. b. c"_s << false << false << true << u"<p>a. b. c</p>"_s;
    // Lone surrogates are code units like any other: cut and copied, never dropped or mended.
    const QString lone = QString::fromStdU16String(u"ab\xD800. \xDC00"
                                                   u"x\xDBFF\xDFFF? \xDFFF"
                                                   u"y\xD800");
    const QString loneCut = QString::fromStdU16String(u"<p>ab\xD800.</p><p> \xDC00"
                                                      u"x\xDBFF\xDFFF?</p><p> \xDFFF"
                                                      u"y\xD800</p>");
    QTest::newRow("lone surrogates by characters")
        << u"2"_s << lone << true << false << true << loneCut;
    QTest::newRow("lone surrogates by sentences")
        << u"1"_s << lone << false << false << true << loneCut;
    QTest::newRow("abc fails") << u"abc"_s << hello << true << false << false << QString();
    QTest::newRow("40000 fails") << u"40000"_s << hello << true << false << false << QString();
}

void TestCore::generationRun()
{
    QFETCH(QString, size);
    QFETCH(QString, article);
    QFETCH(bool, byCharacters);
    QFETCH(bool, wordComplete);
    QFETCH(bool, converts);
    QFETCH(QString, paragraphs);
    const auto result = runGeneration(u16(size), u16(article), byCharacters, wordComplete);
    QCOMPARE(result.has_value(), converts);
    if (result)
        QCOMPARE(q(*result), paragraphs);
}

void TestCore::sizeConversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<bool>("converts");
    QTest::addColumn<int>("value");

    QTest::newRow("12") << u"12"_s << true << true << 12;
    QTest::newRow("spaces around") << u"  12 "_s << true << true << 12;
    QTest::newRow("-3") << u"-3"_s << true << true << -3;
    QTest::newRow("+5") << u"+5"_s << true << true << 5;
    QTest::newRow("2.5 to even") << u"2.5"_s << true << true << 2;
    QTest::newRow("3.5 to even") << u"3.5"_s << true << true << 4;
    QTest::newRow(".5 to even") << u".5"_s << true << true << 0;
    QTest::newRow("-2.5 to even") << u"-2.5"_s << true << true << -2;
    QTest::newRow("just over half") << u"2.5000000000000000000001"_s << true << true << 3;
    QTest::newRow("just under half") << u"2.4999999999999999999999"_s << true << true << 2;
    QTest::newRow("trailing point") << u"12."_s << true << true << 12;
    QTest::newRow("+.5") << u"+.5"_s << true << true << 0;
    QTest::newRow("leading zeros") << u"0000032767"_s << true << true << 32767;
    QTest::newRow("max") << u"32767.4"_s << true << true << 32767;
    QTest::newRow("max rounds over") << u"32767.5"_s << true << false << 0;
    QTest::newRow("min") << u"-32768"_s << true << true << -32768;
    QTest::newRow("min half to even") << u"-32768.5"_s << true << true << -32768;
    QTest::newRow("min rounds under") << u"-32768.6"_s << true << false << 0;
    QTest::newRow("40000") << u"40000"_s << true << false << 0;
    QTest::newRow("huge") << u"123456789012345678901234567890"_s << true << false << 0;
    QTest::newRow("empty") << QString() << false << false << 0;
    QTest::newRow("spaces only") << u"   "_s << false << false << 0;
    QTest::newRow("abc") << u"abc"_s << false << false << 0;
    QTest::newRow("sign only") << u"-"_s << false << false << 0;
    QTest::newRow("point only") << u"."_s << false << false << 0;
    QTest::newRow("space inside") << u"1 2"_s << false << false << 0;
    QTest::newRow("sign then space") << u"- 3"_s << false << false << 0;
    QTest::newRow("two points") << u"1.2.3"_s << false << false << 0;
    QTest::newRow("exponent") << u"1e3"_s << false << false << 0;
    QTest::newRow("separator") << u"1,000"_s << false << false << 0;
    QTest::newRow("hex") << u"0x10"_s << false << false << 0;
    QTest::newRow("tab") << u"\t12"_s << false << false << 0;
    QTest::newRow("ideographic space") << u"12\u3000"_s << false << false << 0;
    QTest::newRow("full-width digits") << u"\uFF11\uFF12"_s << false << false << 0;
}

void TestCore::sizeConversion()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(bool, converts);
    QFETCH(int, value);
    const std::u16string size = u16(text);
    QCOMPARE(sizeTextAcceptable(size), isNumber);
    const auto converted = convertSize(size);
    QCOMPARE(converted.has_value(), converts);
    if (converted)
        QCOMPARE(int(*converted), value);
}

void TestCore::statistics_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("characters");
    QTest::addColumn<qint64>("sentences");
    QTest::addColumn<bool>("tooShort");

    QTest::newRow("four sentences") << u"Hi? Yes! No; ok."_s << 16LL << 4LL << false;
    QTest::newRow("unclosed") << u"Hello"_s << 5LL << 1LL << true;
    QTest::newRow("a.b") << u"a.b"_s << 3LL << 2LL << true;
    QTest::newRow("dots") << u"..."_s << 3LL << 3LL << true;
    QTest::newRow("trailing space") << u"a. "_s << 3LL << 2LL << true;
    QTest::newRow("empty") << QString() << 0LL << 1LL << true;
    QTest::newRow("six") << u"abcdef"_s << 6LL << 1LL << false;
    QTest::newRow("CR LF counts two") << u"ab\r\ncd"_s << 6LL << 1LL << false;
    QTest::newRow("word breaks are no sentences") << u"a, b: c d"_s << 9LL << 1LL << false;
    QTest::newRow("full-width") << u"\u4F60\u597D\u3002\u4E16\u754C\uFF01"_s << 6LL << 1LL << false;
    QTest::newRow("surrogate pair counts two") << u"\U0001F600\U0001F600."_s << 5LL << 1LL << true;
}

void TestCore::statistics()
{
    QFETCH(QString, text);
    QFETCH(qint64, characters);
    QFETCH(qint64, sentences);
    QFETCH(bool, tooShort);
    const std::u16string article = u16(text);
    QCOMPARE(characterCount(article), characters);
    QCOMPARE(sentenceCount(article), sentences);
    QCOMPARE(articleTooShort(characterCount(article)), tooShort);
}

// The rule for Chinese text, a row or two per clause of its definition. Sizes are by characters
// when positive, by sentences when negative (-1: one sentence a paragraph); "w" marks
// word-complete rows.
void TestCore::cjkRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("word");
    QTest::addColumn<QString>("paragraphs");
    QTest::addColumn<qint64>("sentences");

    const QString chinese = u"今天天气很好。我们去公园散步吧！你觉得怎么样？好的，我们走。"_s;
    QTest::newRow("1: full-width sentence ends")
        << u"一。二！三？四；五．六｡七…八"_s << -1 << false
        << u"<p>一。</p><p>二！</p><p>三？</p><p>四；</p><p>五．</p><p>六｡</p><p>七…</p><p>八</p>"_s
        << 8LL;
    QTest::newRow("1: word ends, w")
        << u"甲，乙：丙、丁　戊 己"_s << 2 << true
        << u"<p>甲，</p><p>乙：</p><p>丙、</p><p>丁　</p><p>戊 己</p>"_s << 1LL;
    QTest::newRow("1: word ends end no sentence")
        << u"甲，乙：丙、丁　戊 己"_s << 2 << false << u"<p>甲，乙：丙、丁　戊 己</p>"_s << 1LL;
    QTest::newRow("1: example by characters")
        << chinese << 10 << false
        << u"<p>今天天气很好。我们去公园散步吧！</p><p>你觉得怎么样？好的，我们走。</p>"_s << 4LL;
    QTest::newRow("2: no cut inside numbers, names, versions")
        << u"Pi is 3.14159. Visit example.com now."_s << 5 << false
        << u"<p>Pi is 3.14159.</p><p> Visit example.com now.</p>"_s << 2LL;
    QTest::newRow("2: nor in a,b or 12:30, w")
        << u"a,b 12:30"_s << 2 << true << u"<p>a,b </p><p>12:30</p>"_s << 1LL;
    QTest::newRow("2: before Chinese, white space, the end")
        << u"好.很好!\r\nv1.2;\tok?"_s << -1 << false
        << u"<p>好.</p><p>很好!</p><p>\r\nv1.2;</p><p>\tok?</p>"_s << 4LL;
    QTest::newRow("3: closing marks stay with their sentence")
        << u"他说：“好。”然后走了。"_s << -1 << false << u"<p>他说：“好。”</p><p>然后走了。</p>"_s
        << 2LL;
    QTest::newRow("3: ASCII closing marks")
        << u"He said \"Hi.\" Then (ok.) end"_s << -1 << false
        << u"<p>He said \"Hi.\"</p><p> Then (ok.)</p><p> end</p>"_s << 3LL;
    QTest::newRow("3: a run is one stop")
        << u"真的吗？！是的...好」』）》〉】〕〗］｝＂＇’"_s << -1 << false
        << u"<p>真的吗？！</p><p>是的...</p><p>好」』）》〉】〕〗］｝＂＇’</p>"_s << 3LL;
    QTest::newRow("3: the space after an end is in its run, w")
        << u"test. End"_s << 2 << true << u"<p>test. </p><p>End</p>"_s << 2LL;
    QTest::newRow("3: an ASCII end before a digit is not in the run")
        << u"好。.5倍"_s << -1 << false << u"<p>好。</p><p>.5倍</p>"_s << 2LL;
    QTest::newRow("4: a stop appended after an open last sentence")
        << u"好的。再见"_s << -1 << false << u"<p>好的。</p><p>再见</p>"_s << 2LL;
    QTest::newRow("5: counted untrimmed, the trailing space a sentence")
        << u"好。 "_s << -1 << false << u"<p>好。</p>"_s << 2LL;
}

void TestCore::cjkRule()
{
    QFETCH(QString, text);
    QFETCH(int, size);
    QFETCH(bool, word);
    QFETCH(QString, paragraphs);
    QFETCH(qint64, sentences);

    GenerationSettings settings = settingsFor(static_cast<std::int16_t>(std::abs(size)),
                                              splitModeOf(size > 0), completenessOf(word));
    settings.breaks = Breaks::Cjk;
    const std::u16string article = u16(text);
    QCOMPARE(q(wrapParagraphs(trimSpaces(article), settings)), paragraphs);
    QCOMPARE(sentenceCount(article, Breaks::Cjk), sentences);
    QCOMPARE(q(reference::run(article, settings.size, size > 0, word, true)), paragraphs);
}

void TestCore::segmentersAgreeWithDefinitionAtEveryStart()
{
    ArticleMaker maker(20261208);
    for (int round = 0; round < 400; ++round) {
        const std::u16string article = maker.article(40);
        const auto length = static_cast<std::int32_t>(article.size());
        const std::int16_t size = maker.size();
        for (std::int32_t start = 1; start <= length + 2; ++start) {
            for (const std::int16_t type : {std::int16_t{1}, std::int16_t{2}}) {
                const auto fast = getNumberOfWords(article, size, start, type);
                const auto slow = reference::words(article, size, start, type);
                QCOMPARE(q(fast.text), q(slow.first));
                QCOMPARE(fast.next, slow.second);
            }
            const auto fast = getNumberOfClauses(article, size, start);
            const auto slow = reference::clauses(article, size, start);
            QCOMPARE(q(fast.text), q(slow.first));
            QCOMPARE(fast.next, slow.second);
            // The rule for Chinese text looks back from any start for a run begun before it.
            const Completeness mode = start % 2 == 0 ? Completeness::Word : Completeness::Sentence;
            const auto cjk = getNumberOfWords(BreakCopy(article, mode, Breaks::Cjk), size, start);
            const auto model = reference::words(article, size, start, start % 2 == 0 ? 2 : 1, true);
            QCOMPARE(q(cjk.text), q(model.first));
            QCOMPARE(cjk.next, model.second);
        }
    }
}

void TestCore::runsAgreeWithDefinitionAndKeepTheArticle()
{
    ArticleMaker maker(42);
    for (int round = 0; round < 3000; ++round) {
        const std::u16string text = maker.article(round % 10 == 0 ? 400 : 60);
        const std::int16_t size = maker.size();
        const bool byCharacters = maker.pick(2) == 0;
        const bool wordComplete = maker.pick(2) == 0;
        const bool cjk = maker.pick(2) == 0;
        const std::u16string_view article = trimSpaces(text);
        GenerationSettings settings =
            settingsFor(size, splitModeOf(byCharacters), completenessOf(wordComplete));
        settings.breaks = cjk ? Breaks::Cjk : Breaks::Ascii;

        std::vector<std::u16string_view> paragraphs;
        forEachParagraph(article, settings,
                         [&](std::u16string_view p) { paragraphs.push_back(p); });
        std::u16string joined;
        std::u16string wrapped;
        for (const auto p : paragraphs) {
            joined += p;
            wrapped += u"<p>" + std::u16string(p) + u"</p>";
        }
        QCOMPARE(q(joined), q(article));
        QCOMPARE(q(wrapParagraphs(article, settings)), q(wrapped));
        QCOMPARE(q(wrapped), q(reference::run(text, size, byCharacters, wordComplete, cjk)));
        QCOMPARE(countParagraphs(article, settings), paragraphs.size());
        const std::u16string sentenceCopy = reference::breakCopy(text, false, cjk);
        QCOMPARE(sentenceCount(text, settings.breaks),
                 std::count(sentenceCopy.begin(), sentenceCopy.end(), u'.'));

        if (!byCharacters || cjk)
            continue;
        const Completeness mode = settings.completeness;
        for (std::size_t i = 0; i + 1 < paragraphs.size(); ++i) {
            QVERIFY(paragraphs[i].size() >= static_cast<std::size_t>(size));
            QVERIFY(isBreak(paragraphs[i].back(), mode));
        }
    }
}

void TestCore::sizeConversionAgreesWithFloatingPoint()
{
    std::mt19937 random(7);
    const std::u16string alphabet = u"0123456789.+- 5";
    for (int round = 0; round < 20000; ++round) {
        std::u16string text;
        const int length = std::uniform_int_distribution<int>(0, 9)(random);
        for (int i = 0; i < length; ++i)
            text += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() -
                                                                               1)(random)];
        const auto fast = convertSize(text);
        const auto slow = reference::convertSize(text);
        QVERIFY2(fast == slow, qPrintable(q(text)));
        QCOMPARE(isSizeNumber(text), reference::isNumber(text));
    }
}

void TestCore::longArticleRunsInOnePass()
{
    // Rebuilding the break copy per paragraph would make this quadratic and time the test out.
    std::u16string article;
    for (int i = 0; i < 200000; ++i)
        article += u"Ab, cd. ";
    for (const auto byCharacters : {true, false}) {
        const auto settings = settingsFor(1 + static_cast<std::int16_t>(byCharacters),
                                          splitModeOf(byCharacters), Completeness::Word);
        const std::u16string text = wrapParagraphs(trimSpaces(article), settings);
        QVERIFY(text.size() > article.size());
    }
}

void TestCore::fiftyMillionCharacters_data()
{
    QTest::addColumn<bool>("byCharacters");
    QTest::addColumn<bool>("wordComplete");
    QTest::addColumn<int>("size");

    QTest::newRow("by characters, N = 1") << true << false << 1;
    QTest::newRow("by characters, N = 10") << true << false << 10;
    QTest::newRow("by characters, N = 10, word-complete") << true << true << 10;
    QTest::newRow("by characters, N = 32767") << true << false << 32767;
    QTest::newRow("by sentences, N = 1") << false << false << 1;
    QTest::newRow("by sentences, N = -32768") << false << false << -32768;
}

void TestCore::fiftyMillionCharacters()
{
    QFETCH(bool, byCharacters);
    QFETCH(bool, wordComplete);
    QFETCH(int, size);
    const std::u16string_view article = trimSpaces(fiftyMillionCharacterArticle());
    const auto settings = settingsFor(static_cast<std::int16_t>(size), splitModeOf(byCharacters),
                                      completenessOf(wordComplete));

    QElapsedTimer timer;
    timer.start();
    const Cut cut = cutAndCheck(article, settings);
    qInfo("%lld ms for %zu paragraphs", timer.elapsed(), cut.count);
    QVERIFY(cut.consecutive);
    QVERIFY(cut.coversArticle);
    QVERIFY(cut.rulesKept);
    const bool wholeArticle = byCharacters ? size <= 1 : size <= 0;
    if (wholeArticle)
        QCOMPARE(cut.count, std::size_t{1});
    else if (!byCharacters && size == 1) // a paragraph per sentence
        QCOMPARE(static_cast<std::int64_t>(cut.count), sentenceCount(article));
    else // all but the last paragraph hold at least N characters or sentences
        QVERIFY(cut.count <= article.size() / static_cast<std::size_t>(size) + 1);
}

void TestCore::articleWithoutBreaks_data()
{
    QTest::addColumn<bool>("byCharacters");
    QTest::addColumn<bool>("wordComplete");
    QTest::addColumn<int>("size");

    for (const int size : {-32768, -1, 0, 1, 2, 10, 32767}) {
        QTest::addRow("by characters, N = %d", size) << true << false << size;
        QTest::addRow("by characters, word-complete, N = %d", size) << true << true << size;
        QTest::addRow("by sentences, N = %d", size) << false << false << size;
    }
}

void TestCore::articleWithoutBreaks()
{
    QFETCH(bool, byCharacters);
    QFETCH(bool, wordComplete);
    QFETCH(int, size);
    // Full-width punctuation, line breaks and tabs, but not one of the seven break characters.
    static const std::u16string article =
        repeated(u"\u4F60\u597D\u3002\u4E16\u754C\uFF0C\u518D\u89C1\uFF01\r\n\t\u3000", 1'000'000);
    const auto settings = settingsFor(static_cast<std::int16_t>(size), splitModeOf(byCharacters),
                                      completenessOf(wordComplete));
    const Cut cut = cutAndCheck(article, settings);
    QCOMPARE(cut.count, std::size_t{1});
    QCOMPARE(cut.lastLength, article.size());
    QCOMPARE(sentenceCount(article), 1);
}

void TestCore::articleOfBreaksOnly_data()
{
    QTest::addColumn<QString>("piece");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("byCharacters");
    QTest::addColumn<bool>("wordComplete");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("lastLength");

    // By characters the N-th character is always a break, so paragraphs are exactly N long
    // until at most N + 1 are left; by sentences every character is a sentence.
    QTest::newRow("dots, by characters, N = 10")
        << u"."_s << 100005 << true << false << 10 << 10001 << 5;
    QTest::newRow("dots, by characters, N = 1")
        << u"."_s << 100000 << true << false << 1 << 1 << 100000;
    QTest::newRow("word breaks, word-complete, N = 7")
        << u",: ."_s << 100000 << true << true << 7 << 14286 << 5;
    QTest::newRow("mixed ends, by sentences, N = 3")
        << u"?!;."_s << 100000 << false << false << 3 << 33334 << 1;
    QTest::newRow("dots, by sentences, N = 1")
        << u"."_s << 100000 << false << false << 1 << 100000 << 1;
    QTest::newRow("dots, by sentences, N = 32767")
        << u"."_s << 100000 << false << false << 32767 << 4 << 1699;
    QTest::newRow("dots, by sentences, N = -1")
        << u"."_s << 100000 << false << false << -1 << 1 << 100000;
    QTest::newRow("spaces, word-complete: trimmed away")
        << u" "_s << 1000 << true << true << 3 << 0 << 0;
}

void TestCore::articleOfBreaksOnly()
{
    QFETCH(QString, piece);
    QFETCH(int, length);
    QFETCH(bool, byCharacters);
    QFETCH(bool, wordComplete);
    QFETCH(int, size);
    QFETCH(int, count);
    QFETCH(int, lastLength);
    const std::u16string text = repeated(u16(piece), static_cast<std::size_t>(length));
    const std::u16string_view article = trimSpaces(text);
    const auto settings = settingsFor(static_cast<std::int16_t>(size), splitModeOf(byCharacters),
                                      completenessOf(wordComplete));
    const Cut cut = cutAndCheck(article, settings);
    QVERIFY(cut.consecutive);
    QVERIFY(cut.coversArticle);
    QVERIFY(cut.rulesKept);
    QCOMPARE(cut.count, static_cast<std::size_t>(count));
    QCOMPARE(cut.lastLength, static_cast<std::size_t>(lastLength));
}

QTEST_GUILESS_MAIN(TestCore)
#include "test_core.moc"
