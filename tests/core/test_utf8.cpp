#include "checks/checks.h"
#include "memorysink.h"
#include "utf16run.h"
#include "utf8/engine.h"

#include <QTest>
#include <random>

using namespace tavrinel;
using namespace tavrinel::utf8;
using namespace Qt::StringLiterals;
using testsupport::MemorySink;

Q_DECLARE_METATYPE(tavrinel::GenerationSettings)
Q_DECLARE_METATYPE(tavrinel::Breaks)

namespace
{

// An endless article: `byte` over and over, never stored.
class EndlessSource : public ByteSource
{
public:
    explicit EndlessSource(char byte) : byte_(byte) {}
    std::optional<std::size_t> read(char *buffer, std::size_t capacity) override
    {
        std::memset(buffer, byte_, capacity);
        read_ += capacity;
        return capacity;
    }
    std::uint64_t bytesRead() const { return read_; }

private:
    char byte_;
    std::uint64_t read_ = 0;
};

class FailingSource : public ByteSource
{
public:
    std::optional<std::size_t> read(char *, std::size_t) override { return std::nullopt; }
};

const std::size_t chunkSizes[] = {1, 2, 3, 5, 63, 64, 65, 1 << 20};

std::vector<Kernel> kernels()
{
    std::vector<Kernel> all;
    for (const Kernel kernel : {Kernel::Scalar, Kernel::Sse2, Kernel::Avx2})
        if (kernelAvailable(kernel))
            all.push_back(kernel);
    return all;
}

struct CutOutput {
    Result result;
    QByteArray text;
};

std::string_view bytesOf(const QByteArray &bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

CutOutput runCut(const QByteArray &input, const GenerationSettings &settings, EngineOptions options,
                 std::size_t piece = SIZE_MAX)
{
    MemorySource source(bytesOf(input), piece);
    MemorySink sink;
    const Result result = cut(source, settings, sink, options);
    return {result, sink.text};
}

GenerationSettings byChars(std::int16_t size, bool word = false)
{
    return settingsFor(size, SplitMode::ByCharacters, completenessOf(word));
}

GenerationSettings bySentences(std::int16_t size)
{
    return settingsFor(size, SplitMode::BySentences, Completeness::Sentence);
}

GenerationSettings cjk(GenerationSettings settings)
{
    settings.breaks = Breaks::Cjk;
    return settings;
}

QByteArray spaces(qsizetype count)
{
    return QByteArray(count, ' ');
}

// Articles of everything a UTF-8 article holds, in runs long enough to cross 64-byte windows.
QByteArray randomArticle(std::mt19937 &random)
{
    // clang-format off
    static const char *const pieces[] = {
        "a", "Word", "\xe4\xbd\xa0", "\xe5\xa5\xbd\xe4\xb8\x96", "\xe3\x80\x82", ".", "?", "!", ";",
        ",", ":", " ", "  ", "...", "\r\n", "\t", "\xf0\x9f\x98\x80", "<", "&", "\"", "\xc2\xa0",
        "\xc3\xa9", "x y. ", "3", "\"", "')", "]}",
        "\xe2\x80\x9d", // closing quotation mark
        "\xe3\x80\x8d", // closing corner bracket
        "\xef\xbc\x81", // full-width exclamation mark
        "\xe3\x80\x81", // ideographic comma
        "\xe3\x80\x80", // ideographic space
        "\xe2\x80\xa6", // ellipsis
        "\xe2\x80\x9c", // opening quotation mark: same lead, no class
        "\xef\xbc\x90", // full-width digit zero: same lead, no class
    };
    // clang-format on
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    QByteArray text = random() % 8 == 0 ? "\xef\xbb\xbf" : "";
    text += spaces(static_cast<qsizetype>(random() % 3 == 0 ? random() % 80 : 0));
    const std::size_t count = random() % 120;
    for (std::size_t i = 0; i < count; ++i)
        text += pieces[pick(random)];
    text += spaces(static_cast<qsizetype>(random() % 3 == 0 ? random() % 80 : 0));
    return text;
}

} // namespace

class TestUtf8 : public QObject
{
    Q_OBJECT

private slots:
    void boundaries_data();
    void boundaries();
    void escapeHtml_data();
    void escapeHtml();
    void invalidUtf8_data();
    void invalidUtf8();
    void counts_data();
    void counts();
    void lengthLimit_data();
    void lengthLimit();
    void readAndWriteFailures();
    void kernelsAgreeWithScalar();
    void agreesWithUtf16Core();
};

// Each article is cut with every kernel and chunk size, from one byte on, so that characters,
// breaks, paragraphs and the held look-ahead fall on every chunk and window boundary.
void TestUtf8::boundaries_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<GenerationSettings>("settings");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray filler(61, 'x'); // puts the next bytes at the end of a 64-byte window
    QTest::newRow("break at a window end")
        << filler + "ab.cd" << byChars(2) << "<p>" + filler + "ab.</p><p>cd</p>";
    QTest::newRow("character across a window end")
        << filler + "\xe4\xbd\xa0\xe5\xa5\xbd." << byChars(62)
        << "<p>" + filler + "\xe4\xbd\xa0\xe5\xa5\xbd.</p>";
    QTest::newRow("paragraph across windows")
        << filler + filler + "." + filler << byChars(100)
        << "<p>" + filler + filler + ".</p><p>" + filler + "</p>";
    QTest::newRow("three-byte character led by E0 across a chunk end")
        << QByteArray("a\xe0\xb8\x81. b") << bySentences(1)
        << QByteArray("<p>a\xe0\xb8\x81.</p><p> b</p>");
    QTest::newRow("four-byte character at the N-th unit")
        << QByteArray("a\xf0\x9f\x98\x80.b.cd") << byChars(2)
        << QByteArray("<p>a\xf0\x9f\x98\x80.</p><p>b.</p><p>cd</p>");
    QTest::newRow("four-byte character straddles N, rest taken whole")
        << QByteArray("ab\xf0\x9f\x98\x80.") << byChars(3)
        << QByteArray("<p>ab\xf0\x9f\x98\x80.</p>");
    QTest::newRow("break at N with two more units")
        << QByteArray("a.bc") << byChars(2) << QByteArray("<p>a.</p><p>bc</p>");
    QTest::newRow("break at N, rest of N + 1 taken whole")
        << QByteArray("a.b") << byChars(2) << QByteArray("<p>a.b</p>");
    QTest::newRow("break at N, rest whole once trailing spaces go")
        << QByteArray("a.b") + spaces(200) << byChars(2, true) << QByteArray("<p>a.b</p>");
    QTest::newRow("break at N, a surrogate pair settles it")
        << QByteArray("a.\xf0\x9f\x98\x80") << byChars(2)
        << QByteArray("<p>a.</p><p>\xf0\x9f\x98\x80</p>");
    QTest::newRow("interior space run longer than a chunk")
        << "a" + spaces(70) + "b" << byChars(30, true)
        << "<p>a" + spaces(29) + "</p><p>" + spaces(30) + "</p><p>" + spaces(11) + "b</p>";
    QTest::newRow("trailing space run longer than a chunk")
        << "  ab. cd." + spaces(100) << byChars(3) << QByteArray("<p>ab.</p><p> cd.</p>");
    QTest::newRow("only spaces") << spaces(150) << byChars(3) << QByteArray();
    QTest::newRow("byte order mark skipped")
        << QByteArray("\xef\xbb\xbf  x. y") << bySentences(1) << QByteArray("<p>x.</p><p> y</p>");
    QTest::newRow("sentences across windows")
        << filler + ". a. b" << bySentences(1) << "<p>" + filler + ".</p><p> a.</p><p> b</p>";
    QTest::newRow("sentences: size 0 takes all")
        << QByteArray("a. b. c") << bySentences(0) << QByteArray("<p>a. b. c</p>");
    QTest::newRow("chars: size 1 takes all")
        << QByteArray("a. b. c") << byChars(1) << QByteArray("<p>a. b. c</p>");
    QTest::newRow("ends on a chunk end")
        << QByteArray(64, 'y') << byChars(10) << "<p>" + QByteArray(64, 'y') + "</p>";
    // The rule for Chinese text: a run of 。” across window and chunk ends, and ASCII ends
    // decided by the character after them, in the next chunk or past the trimmed spaces.
    QTest::newRow("cjk: run across boundaries")
        << filler + "\xe5\xa5\xbd\xe3\x80\x82\xe2\x80\x9d\xe7\x84\xb6" << cjk(bySentences(1))
        << "<p>" + filler + "\xe5\xa5\xbd\xe3\x80\x82\xe2\x80\x9d</p><p>\xe7\x84\xb6</p>";
    QTest::newRow("cjk: ASCII end before a letter, a space, the end")
        << QByteArray("a.b c!  d.") + spaces(70) << cjk(bySentences(1))
        << QByteArray("<p>a.b c!</p><p>  d.</p>");
    QTest::newRow("cjk: run of ASCII ends and closing marks, word-complete")
        << filler + "ab.\") c" << cjk(byChars(2, true)) << "<p>" + filler + "ab.\") </p><p>c</p>";
    // A block that ends one byte into a window: the window before it must see what follows.
    const QByteArray dots(64, '.');
    QTest::newRow("cjk: run of ASCII ends into a window's second byte")
        << "x" + dots + ".x" << cjk(bySentences(1)) << "<p>x" + dots + "</p><p>.x</p>";
}

void TestUtf8::boundaries()
{
    QFETCH(QByteArray, input);
    QFETCH(GenerationSettings, settings);
    QFETCH(QByteArray, expected);

    QCOMPARE(testutf16::paragraphText(input, settings, false).value(), expected);
    for (const Kernel kernel : kernels()) {
        for (const std::size_t chunk : chunkSizes) {
            const CutOutput out = runCut(input, settings, {.chunkSize = chunk, .kernel = kernel});
            QVERIFY2(out.result.ok() && out.text == expected,
                     qPrintable(u"chunk %1, kernel %2: %3"_s.arg(chunk)
                                    .arg(static_cast<int>(kernel))
                                    .arg(QString::fromUtf8(out.text))));
        }
    }
}

void TestUtf8::escapeHtml_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<GenerationSettings>("settings");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("all four") << QByteArray(R"(a<b>&"c")") << byChars(1)
                              << QByteArray("<p>a&lt;b&gt;&amp;&quot;c&quot;</p>");
    QTest::newRow("counted as written, break after an escaped character")
        << QByteArray("&<. x") << byChars(3) << QByteArray("<p>&amp;&lt;.</p><p> x</p>");
    QTest::newRow("escaped character opens the next paragraph")
        << QByteArray("ab.<c") << byChars(2) << QByteArray("<p>ab.</p><p>&lt;c</p>");
    QTest::newRow("held character is escaped")
        << QByteArray("a.\"") << byChars(2) << QByteArray("<p>a.&quot;</p>");
    QTest::newRow("by sentences") << QByteArray("1 < 2. 3 > 2.") << bySentences(1)
                                  << QByteArray("<p>1 &lt; 2.</p><p> 3 &gt; 2.</p>");
}

void TestUtf8::escapeHtml()
{
    QFETCH(QByteArray, input);
    QFETCH(GenerationSettings, settings);
    QFETCH(QByteArray, expected);

    QCOMPARE(testutf16::paragraphText(input, settings, true).value(), expected);
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 20}) {
        const CutOutput out = runCut(input, settings, {.chunkSize = chunk, .escapeHtml = true});
        QVERIFY(out.result.ok());
        QCOMPARE(out.text, expected);
    }
    // Without the option the article's own markup passes through.
    QCOMPARE(runCut(input, settings, {}).text,
             testutf16::paragraphText(input, settings, false).value());
}

void TestUtf8::invalidUtf8_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<qulonglong>("offset");

    QTest::newRow("overlong three-byte") << QByteArray("ab\xe0\x80\x80"
                                                       "cd")
                                         << 2ULL;
    QTest::newRow("overlong two-byte") << QByteArray("\xc1\xbf") << 0ULL;
    QTest::newRow("stray continuation") << QByteArray("abc\x80") << 3ULL;
    QTest::newRow("surrogate") << QByteArray("x\xed\xa0\x80") << 1ULL;
    QTest::newRow("above U+10FFFF") << QByteArray("xy\xf4\x90\x80\x80") << 2ULL;
    QTest::newRow("F5 lead") << QByteArray("\xf5\x80\x80\x80") << 0ULL;
    QTest::newRow("cut off at the end") << QByteArray("ok \xe4\xbd") << 3ULL;
    QTest::newRow("lead then ASCII") << QByteArray("\xe4"
                                                   "a")
                                     << 0ULL;
    QTest::newRow("after a byte order mark") << QByteArray("\xef\xbb\xbf\xff") << 3ULL;
    QTest::newRow("cut-off byte order mark") << QByteArray("\xef\xbb") << 0ULL;
    QTest::newRow("past a window") << QByteArray(100, 'a') + "\xe4\xbd\xa0\xbd" << 103ULL;
    QTest::newRow("after trailing spaces") << "a" + spaces(100) + "\xc2" << 101ULL;
}

void TestUtf8::invalidUtf8()
{
    QFETCH(QByteArray, input);
    QFETCH(qulonglong, offset);

    const Result expected{Outcome::InvalidUtf8, offset};
    QVERIFY(!testutf16::decode(input));
    for (const Kernel kernel : kernels()) {
        for (const std::size_t chunk : chunkSizes) {
            const EngineOptions options{.chunkSize = chunk, .kernel = kernel};
            MemorySource forValidate(bytesOf(input));
            QCOMPARE(validate(forValidate, options), expected);
            QCOMPARE(runCut(input, byChars(2, true), options).result, expected);
            MemorySource forCount(bytesOf(input));
            QCOMPARE(count(forCount, options).result, expected);
        }
    }
}

void TestUtf8::counts_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<qlonglong>("characters");
    QTest::addColumn<qlonglong>("sentences");
    QTest::addColumn<Breaks>("rule");

    QTest::newRow("empty") << QByteArray() << 0LL << 1LL << Breaks::Ascii;
    QTest::newRow("byte order mark only")
        << QByteArray("\xef\xbb\xbf") << 0LL << 1LL << Breaks::Ascii;
    QTest::newRow("closed") << QByteArray("Hi? Yes! No; ok.") << 16LL << 4LL << Breaks::Ascii;
    QTest::newRow("spaces count, open last sentence")
        << QByteArray(" a. ") << 4LL << 2LL << Breaks::Ascii;
    QTest::newRow("CR LF, CJK and a surrogate pair")
        << QByteArray("\xe4\xbd\xa0\r\n\xf0\x9f\x98\x80.") << 6LL << 1LL << Breaks::Ascii;
    QTest::newRow("cjk: a run is one sentence, the ASCII end at the end counts")
        << QByteArray("\xe5\x90\x97\xef\xbc\x9f\xef\xbc\x81 3.14 ok.") << 12LL << 2LL
        << Breaks::Cjk;
    QTest::newRow("cjk: open last sentence") << QByteArray("a. b") << 4LL << 2LL << Breaks::Cjk;
}

void TestUtf8::counts()
{
    QFETCH(QByteArray, input);
    QFETCH(qlonglong, characters);
    QFETCH(qlonglong, sentences);
    QFETCH(Breaks, rule);

    const std::u16string text = testutf16::decode(input).value();
    QCOMPARE(characterCount(text), characters);
    QCOMPARE(sentenceCount(text, rule), sentences);
    for (const Kernel kernel : kernels()) {
        for (const std::size_t chunk : chunkSizes) {
            MemorySource source(bytesOf(input));
            const CountResult got = count(source, {.chunkSize = chunk, .kernel = kernel}, rule);
            QVERIFY(got.result.ok());
            QCOMPARE(got.counts, (Counts{characters, sentences}));
        }
    }
}

// The limit is on the trimmed article in UTF-16 units: spaces after the last character do not
// count, a surrogate pair counts two.
void TestUtf8::lengthLimit_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("accepted");

    const QByteArray limit(1000, 'a');
    QTest::newRow("at the limit") << limit << true;
    QTest::newRow("one past") << limit + "b" << false;
    QTest::newRow("trailing spaces not counted") << "   " + limit + spaces(5000) << true;
    QTest::newRow("surrogate pair counts two") << limit.left(999) + "\xf0\x9f\x98\x80" << false;
    QTest::newRow("a CJK character counts one")
        << QByteArray("\xe4\xbd\xa0").repeated(1000) << true;
}

void TestUtf8::lengthLimit()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, accepted);

    for (const std::size_t chunk : {std::size_t{7}, std::size_t{1} << 20}) {
        const CutOutput out =
            runCut(input, byChars(10), {.chunkSize = chunk, .maxArticleLength = 1000});
        QCOMPARE(out.result.outcome, accepted ? Outcome::Ok : Outcome::TooLong);
    }
    QCOMPARE(EngineOptions{}.maxArticleLength, std::uint64_t{BreakCopy::maxArticleLength});
}

void TestUtf8::readAndWriteFailures()
{
    // An endless article is refused as soon as the reading passes the limit.
    EndlessSource zeros('\0');
    MemorySink discard(SIZE_MAX);
    const EngineOptions options{.chunkSize = 4096, .maxArticleLength = 100'000};
    QCOMPARE(cut(zeros, byChars(10), discard, options).outcome, Outcome::TooLong);
    QVERIFY(zeros.bytesRead() <= 100'000 + 4096);

    FailingSource broken;
    MemorySink sink;
    QCOMPARE(cut(broken, byChars(10), sink).outcome, Outcome::ReadFailed);

    // A sink that fills up stops the run, also in the middle of the article.
    const QByteArray article = QByteArray("Hello world. ").repeated(200'000);
    for (const std::size_t room : {std::size_t{0}, std::size_t{100}, std::size_t{3'000'000}}) {
        MemorySource source(bytesOf(article));
        MemorySink full(room);
        QCOMPARE(cut(source, byChars(10), full).outcome, Outcome::WriteFailed);
    }
}

// The vector kernels against the scalar one, on bytes that are mostly UTF-8 with damage here
// and there, so that every error class lands at every place of a vector.
void TestUtf8::kernelsAgreeWithScalar()
{
    std::mt19937 random(7);
    static const unsigned char damage[] = {0x80, 0xBF, 0xC0, 0xC1, 0xC2, 0xE0, 0xED, 0xEF,
                                           0xF0, 0xF4, 0xF5, 0xFF, 0x9F, 0xA0, 0x8F, 0x90};
    std::vector<Window> expected(8), got(8);
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes = randomArticle(random).left(500);
        if (random() % 2 != 0 && !bytes.isEmpty())
            bytes[static_cast<qsizetype>(random() % static_cast<unsigned>(bytes.size()))] =
                static_cast<char>(damage[random() % std::size(damage)]);
        const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
        const auto size = static_cast<std::size_t>(bytes.size());
        const BreakSet set{random() % 2 != 0 ? Breaks::Cjk : Breaks::Ascii,
                           random() % 2 != 0 ? Completeness::Word : Completeness::Sentence};
        const Surroundings around{random() % 2 != 0, random() % 2 != 0, random() % 2 != 0};
        expected.resize(size / windowBytes + 1);
        got.resize(size / windowBytes + 1);
        Surroundings scalarAround = around;
        const Tally tally = classifyScalar(data, size, set, scalarAround, expected.data());
        const bool valid = validScalar(data, size);
        QCOMPARE(valid, testutf16::decode(bytes).has_value());
        for (const Kernel kernel : kernels()) {
            const Kernels &k = kernelsFor(kernel);
            QCOMPARE(k.valid(data, size), valid);
            Surroundings kernelAround = around;
            const Tally other = k.classify(data, size, set, kernelAround, got.data());
            QCOMPARE(kernelAround.inRun, scalarAround.inRun);
            QCOMPARE(other.units, tally.units);
            QCOMPARE(other.breaks, tally.breaks);
            for (std::size_t w = 0; w * windowBytes < size; ++w)
                QVERIFY(got[w] == expected[w]);
        }
    }
}

// Random articles, settings and chunk sizes: byte for byte what the UTF-16 core makes.
void TestUtf8::agreesWithUtf16Core()
{
    std::mt19937 random(2024);
    static const std::int16_t sizes[] = {-3, 0, 1, 2, 3, 4, 5, 7, 10, 31, 64, 32767};
    for (int round = 0; round < 3000; ++round) {
        const QByteArray input = randomArticle(random);
        const std::int16_t size = sizes[random() % std::size(sizes)];
        GenerationSettings settings =
            settingsFor(size, splitModeOf(random() % 3 != 0), completenessOf(random() % 2 != 0));
        settings.breaks = random() % 2 != 0 ? Breaks::Cjk : Breaks::Ascii;
        const bool escape = random() % 4 == 0;
        const std::vector<Kernel> available = kernels();
        const EngineOptions options{.chunkSize = 1 + random() % 70,
                                    .escapeHtml = escape,
                                    .kernel = available[random() % available.size()]};
        const CutOutput out = runCut(input, settings, options, 1 + random() % 100);
        const QByteArray expected = testutf16::paragraphText(input, settings, escape).value();
        if (!out.result.ok() || out.text != expected)
            QFAIL(qPrintable(u"size %1 split %2 word %3 chunk %4 escape %5 rule %9\ninput %6\n"
                             "engine %7\ncore   %8"_s.arg(size)
                                 .arg(static_cast<int>(settings.split))
                                 .arg(static_cast<int>(settings.completeness))
                                 .arg(options.chunkSize)
                                 .arg(escape)
                                 .arg(QString::fromLatin1(input.toHex()),
                                      QString::fromUtf8(out.text), QString::fromUtf8(expected))
                                 .arg(static_cast<int>(settings.breaks))));
    }
}

QTEST_GUILESS_MAIN(TestUtf8)
#include "test_utf8.moc"
