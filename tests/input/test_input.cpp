#include "input/decode.h"
#include "input/gb18030.h"
#include "input/nulbytes.h"
#include "testfiles.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace tavrinel::input;
using testfiles::encoded;

namespace
{

// An article with everything the encodings must carry: CJK, full-width punctuation, ASCII
// breaks, markup characters, CR LF and a character beyond the BMP.
const QString article =
    u"你好，世界。Hello, <b>world</b> & \"you\".\r\n第二段：一二三!\U0001F600"_s;

QByteArray bytes(const char *data, qsizetype size)
{
    return QByteArray(data, size);
}

const QByteArray utf8Mark = bytes("\xEF\xBB\xBF", 3);
const QByteArray utf16LEMark = bytes("\xFF\xFE", 2);
const QByteArray utf16BEMark = bytes("\xFE\xFF", 2);
const QByteArray gbNiHao = bytes("\xC4\xE3\xBA\xC3", 4); // 你好 in GBK, and so in GB18030

} // namespace

class TestInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decodeText_data();
    void decodeText();
    void gb18030Offset_data();
    void gb18030Offset();
    void encodingNames_data();
    void encodingNames();
};

void TestInput::decodeText_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<Encoding>("requested");
    QTest::addColumn<QString>("text"); // the text read, or empty when refused
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<bool>("mark");
    QTest::addColumn<QString>("message"); // the refusal, or empty when read

    const QByteArray utf8 = article.toUtf8();
    const QByteArray utf16LE = encoded("UTF-16LE", article);
    const QByteArray utf16BE = encoded("UTF-16BE", article);
    const QByteArray gb18030 = encoded("GB18030", article);
    const QString u8 = u"UTF-8"_s, le = u"UTF-16LE"_s, be = u"UTF-16BE"_s, gb = u"GB18030"_s;
    auto read = [](const char *name, const QByteArray &input, Encoding requested,
                   const QString &text, const QString &encoding, bool mark) {
        QTest::newRow(name) << input << requested << text << encoding << mark << QString();
    };
    auto refused = [](const char *name, const QByteArray &input, Encoding requested,
                      const QString &message) {
        QTest::newRow(name) << input << requested << QString() << QString() << false << message;
    };

    read("UTF-8", utf8, Encoding::Utf8, article, u8, false);
    read("UTF-8 with mark", utf8Mark + utf8, Encoding::Utf8, article, u8, true);
    read("UTF-8, a second mark is text", utf8Mark + utf8Mark + utf8, Encoding::Utf8,
         u"\uFEFF"_s + article, u8, true);
    read("UTF-8 mark only", utf8Mark, Encoding::Utf8, QString(), u8, true);
    read("empty", QByteArray(), Encoding::Utf8, QString(), u8, false);
    read("UTF-16LE with mark", utf16LEMark + utf16LE, Encoding::Utf8, article, le, true);
    read("UTF-16BE with mark", utf16BEMark + utf16BE, Encoding::Utf8, article, be, true);
    read("UTF-16LE, a second mark is text", utf16LEMark + utf16LEMark + utf16LE, Encoding::Utf8,
         u"\uFEFF"_s + article, le, true);
    read("the mark decides over gb18030", utf16BEMark + utf16BE, Encoding::Gb18030, article, be,
         true);
    read("the mark decides over utf-16le", utf8Mark + utf8, Encoding::Utf16LE, article, u8, true);
    read("GB18030 as gb18030", gb18030, Encoding::Gb18030, article, gb, false);
    read("GBK bytes as gb18030", gbNiHao, Encoding::Gb18030, u"你好"_s, gb, false);
    read("UTF-16LE without mark as utf-16le", utf16LE, Encoding::Utf16LE, article, le, false);
    read("UTF-16BE without mark as utf-16be", utf16BE, Encoding::Utf16BE, article, be, false);
    read("auto: UTF-8", utf8, Encoding::Auto, article, u8, false);
    read("auto: GB18030", gb18030, Encoding::Auto, article, gb, false);
    read("auto: UTF-16LE mark", utf16LEMark + utf16LE, Encoding::Auto, article, le, true);
    // A stray NUL in a long UTF-8 text is not taken for UTF-16.
    const QString padded = QString(5000, u'a') + QChar(0) + u"b"_s;
    read("one NUL in 5000 characters", padded.toUtf8(), Encoding::Utf8, padded, u8, false);
    const QByteArray nulsBothHalves = bytes("\0\0ab\0\0cd", 8);
    read("NULs in both halves", nulsBothHalves, Encoding::Utf8, QString::fromUtf8(nulsBothHalves),
         u8, false);

    refused("GB18030 as utf-8", gb18030, Encoding::Utf8,
            u"not UTF-8 (invalid at byte offset 0); it reads as GB18030: use --encoding gb18030"_s);
    refused("GB18030 after ASCII as utf-8", "Hi " + gbNiHao, Encoding::Utf8,
            u"not UTF-8 (invalid at byte offset 3); it reads as GB18030: use --encoding gb18030"_s);
    refused("neither, as utf-8", bytes("abc\xFF", 4), Encoding::Utf8,
            u"invalid UTF-8 at byte offset 3"_s);
    refused("UTF-8 offsets count the mark", utf8Mark + bytes("a\xC0\x80", 3), Encoding::Utf8,
            u"invalid UTF-8 at byte offset 4"_s);
    refused("UTF-8 cut off at the end", bytes("ab\xE4\xBD", 4), Encoding::Utf8,
            u"not UTF-8 (invalid at byte offset 2); it reads as GB18030: use --encoding gb18030"_s);
    refused("auto: neither", "ab" + gbNiHao + bytes("\xFF", 1), Encoding::Auto,
            u"neither UTF-8 (invalid at byte offset 2) nor GB18030 (invalid at byte offset 6)"_s);
    refused("GB18030 cut off at the end", gbNiHao + bytes("\xC4", 1), Encoding::Gb18030,
            u"invalid GB18030 at byte offset 4"_s);
    refused("GB18030 four bytes past U+10FFFF", bytes("a\xE3\x32\x9A\x36", 5), Encoding::Gb18030,
            u"invalid GB18030 at byte offset 1"_s);
    refused("GB18030 lead byte before ASCII", gbNiHao + bytes("\x81 x", 3), Encoding::Gb18030,
            u"invalid GB18030 at byte offset 4"_s);
    refused("UTF-16LE without mark as auto", encoded("UTF-16LE", u"Hello"_s), Encoding::Auto,
            u"looks like UTF-16LE without a byte order mark: use --encoding utf-16le"_s);
    refused("UTF-16BE without mark as auto", encoded("UTF-16BE", u"Hello"_s), Encoding::Auto,
            u"looks like UTF-16BE without a byte order mark: use --encoding utf-16be"_s);
    refused("Chinese UTF-16LE without mark", utf16LE, Encoding::Auto,
            u"looks like UTF-16LE without a byte order mark: use --encoding utf-16le"_s);
    refused("UTF-16LE without mark over 64 KiB", encoded("UTF-16LE", article.repeated(800)),
            Encoding::Auto,
            u"looks like UTF-16LE without a byte order mark: use --encoding utf-16le"_s);
    // An encoding asked for by name is obeyed, NULs and all; only auto judges them.
    const QByteArray strayNul = "Hello" + bytes("\0", 1) + " world. This is a test.";
    read("a NUL in UTF-8 asked for by name", strayNul, Encoding::Utf8, QString::fromUtf8(strayNul),
         u8, false);
    read("UTF-16LE without mark as gb18030", encoded("UTF-16LE", u"Hi"_s), Encoding::Gb18030,
         QString::fromUtf8("H\0i\0", 4), gb, false);
    // A byte order is named only where it is clear and the bytes decode in it.
    const QString notText = u"not text in any encoding this tool reads (it holds NUL bytes)"_s;
    refused("one NUL in a short text", strayNul, Encoding::Auto, notText);
    refused("Chinese UTF-16LE with one U+4E00, no ASCII",
            bytes("\x00\x4e\x2a\x4e\xee\x95\x98\x98\x02\x30", 10), Encoding::Auto, notText);
    refused("NULs of UTF-16LE, a lone surrogate", QByteArray("a\0b\0c\0d\0\x01\xDC", 10),
            Encoding::Auto, notText);
    refused("only NUL bytes", QByteArray(300, '\0'), Encoding::Auto, notText);
    refused("UTF-16LE odd last byte", utf16LEMark + bytes("a\0b", 3), Encoding::Utf8,
            u"invalid UTF-16LE at byte offset 4"_s);
    refused("UTF-16LE lone high surrogate",
            utf16LEMark + bytes("a\0\x3D\xD8"
                                "b\0",
                                6),
            Encoding::Utf8, u"invalid UTF-16LE at byte offset 4"_s);
    refused("UTF-16BE lone low surrogate", utf16BEMark + bytes("\xDE\x00", 2), Encoding::Utf8,
            u"invalid UTF-16BE at byte offset 2"_s);
    const QString utf32Message =
        u"UTF-32 byte order mark: UTF-32 text is not read; convert it to UTF-8"_s;
    refused("UTF-32LE mark",
            bytes("\xFF\xFE\0\0"
                  "a\0\0\0",
                  8),
            Encoding::Utf8, utf32Message);
    refused("UTF-32BE mark", bytes("\0\0\xFE\xFF\0\0\0a", 8), Encoding::Auto, utf32Message);
}

void TestInput::decodeText()
{
    QFETCH(QByteArray, input);
    QFETCH(Encoding, requested);
    QFETCH(QString, text);
    QFETCH(QString, encoding);
    QFETCH(bool, mark);
    QFETCH(QString, message);

    const auto result = tavrinel::input::decodeText(input, requested);
    const auto *error = std::get_if<DecodeError>(&result);
    const auto *decoded = std::get_if<DecodedText>(&result);
    QCOMPARE(error ? describeError(*error) : QString(), message);
    // Counted in pieces, an odd one first, as a pipe may hand them over: the NULs are the same.
    NulCounts whole, pieces;
    whole.add(input);
    pieces.add(input.first(std::min<qsizetype>(1, input.size())));
    pieces.add(input.sliced(std::min<qsizetype>(1, input.size())));
    QCOMPARE(std::pair(pieces.even, pieces.odd), std::pair(whole.even, whole.odd));
    QCOMPARE(decoded ? decoded->text : QString(), text);
    QCOMPARE(decoded ? displayName(decoded->encoding) : QString(), encoding);
    QCOMPARE(decoded && decoded->byteOrderMark, mark);
}

void TestInput::gb18030Offset_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<qsizetype>("offset");

    // The converter is searched block by block (64 KiB) and then byte by byte from a clean
    // restart point: a byte below 0x30, or the start when there is none.
    const QByteArray chinese = gbNiHao.repeated(40000); // 160000 bytes, nothing below 0x30
    const QByteArray spaced = QByteArray(gbNiHao + "  ").repeated(30000);
    const QByteArray bad = bytes("\x81\x30\x81 ", 4);
    QTest::newRow("far in, no restart point") << chinese + bad << chinese.size();
    QTest::newRow("far in, with restart points") << spaced + bad << spaced.size();
    QTest::newRow("bad sequence across the block boundary")
        << gbNiHao.repeated(16383) + bytes("  \x81\x30\x81 ", 6) << qsizetype(65534);
    QTest::newRow("lead byte last in a block")
        << gbNiHao.repeated(16383) + bytes("ab \x81\x7F", 5) << qsizetype(65535);
    QTest::newRow("cut off after a long text") << chinese + bytes("\x81\x30", 2) << chinese.size();
}

void TestInput::gb18030Offset()
{
    QFETCH(QByteArray, input);
    QFETCH(qsizetype, offset);

    const auto decoded = decodeGb18030(input);
    const auto *invalid = std::get_if<Gb18030Invalid>(&decoded);
    QVERIFY(invalid);
    QCOMPARE(invalid->offset, offset);
    // Everything before the offset reads cleanly.
    QVERIFY(std::holds_alternative<QString>(decodeGb18030(input.first(offset))));
}

void TestInput::encodingNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("encoding"); // -1: not a name the option takes

    QTest::newRow("utf-8") << u"utf-8"_s << int(Encoding::Utf8);
    QTest::newRow("upper case") << u"UTF-16LE"_s << int(Encoding::Utf16LE);
    QTest::newRow("utf-16be") << u"utf-16be"_s << int(Encoding::Utf16BE);
    QTest::newRow("gb18030") << u"gb18030"_s << int(Encoding::Gb18030);
    QTest::newRow("auto") << u"auto"_s << int(Encoding::Auto);
    QTest::newRow("gbk") << u"gbk"_s << -1;
    QTest::newRow("utf8") << u"utf8"_s << -1;
    QTest::newRow("empty") << QString() << -1;
}

void TestInput::encodingNames()
{
    QFETCH(QString, name);
    QFETCH(int, encoding);

    const auto parsed = encodingFromName(name);
    QCOMPARE(parsed ? int(*parsed) : -1, encoding);
    if (parsed)
        QCOMPARE(encodingFromName(optionName(*parsed)), parsed);
}

// Every table here counts on GB18030, which a system may lack (Wine has no code page 54936).
void TestInput::initTestCase()
{
    if (std::holds_alternative<Gb18030Unavailable>(decodeGb18030("a")))
        QSKIP("this system converts no GB18030");
}

QTEST_GUILESS_MAIN(TestInput)
#include "test_input.moc"
