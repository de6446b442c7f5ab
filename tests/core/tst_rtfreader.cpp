// The RTF reader: samples shaped like the files common word processors write,
// code pages and Unicode, and malformed input.
#include "TestFiles.h"

#include "editor/LineSpacing.h"
#include "editor/RtfReader.h"

#include <QFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

#include "TextDocuments.h"

namespace {

QString Read(const QByteArray &rtf)
{
    QTextDocument doc;
    ReadRtf(rtf, &doc);
    return Paragraphs(doc).join(QLatin1Char('|'));
}

// The format of the character at offset within paragraph block.
QTextCharFormat CharAt(const QTextDocument &doc, int block, int offset)
{
    QTextCursor c(doc.findBlockByNumber(block));
    c.setPosition(c.position() + offset + 1);
    return c.charFormat();
}

QTextBlockFormat Para(const QTextDocument &doc, int block)
{
    return doc.findBlockByNumber(block).blockFormat();
}

QString Face(const QTextCharFormat &f)
{
    return f.fontFamilies().toStringList().value(0);
}
} // namespace

class TestRtfReader : public QObject {
    Q_OBJECT
private slots:
    void recognisesRtf();
    void wordPadSample();
    void libreOfficeSample();
    void wordSample();
    void codePages_data();
    void codePages();
    void unicodeAndFallback_data();
    void unicodeAndFallback();
    void lineSpacing();
    void groupsRestoreFormats();
    void malformedInput_data();
    void malformedInput();
    void breaksAndListNumbers_data();
    void breaksAndListNumbers();
    void associatedFormats();
    void deepGroupsRestoreState();
};

void TestRtfReader::recognisesRtf()
{
    QVERIFY(IsRtf("{\\rtf1\\ansi x}"));
    QVERIFY(IsRtf(" \r\n\t{\\rtf"));
    QVERIFY(!IsRtf("{\\rt"));
    QVERIFY(!IsRtf("plain {\\rtf1 text"));
    QVERIFY(!IsRtf(QByteArray()));
}

void TestRtfReader::wordPadSample()
{
    QTextDocument doc;
    ReadRtf(ReadTestData("wordpad.rtf"), &doc);
    QCOMPARE(Paragraphs(doc), (QStringList{QStringLiteral("第一幕"), QStringLiteral("你好，世界"),
                                           QStringLiteral("Center line\u2028second\tend")}));

    const QTextCharFormat title = CharAt(doc, 0, 1);
    QCOMPARE(Face(title), QStringLiteral("宋体"));
    QCOMPARE(title.fontPointSize(), 16.0);
    QCOMPARE(title.fontWeight(), int(QFont::Bold));
    QCOMPARE(title.foreground().color(), QColor(255, 0, 0));
    QCOMPARE(Para(doc, 0).alignment(), Qt::AlignRight);
    QCOMPARE(LineSpacing::Twentieths(Para(doc, 0)), 25);      // \sl300\slmult1

    QVERIFY(!CharAt(doc, 1, 0).fontItalic());
    QVERIFY(CharAt(doc, 1, 3).fontItalic());
    QCOMPARE(CharAt(doc, 1, 0).fontWeight(), int(QFont::Normal));
    QCOMPARE(CharAt(doc, 1, 0).fontPointSize(), 12.0);
    QVERIFY(!CharAt(doc, 1, 0).hasProperty(QTextFormat::ForegroundBrush));   // \cf0: automatic
    QCOMPARE(Para(doc, 1).alignment(), Qt::AlignLeft);
    QCOMPARE(LineSpacing::Twentieths(Para(doc, 1)), 23);

    QVERIFY(CharAt(doc, 2, 0).fontUnderline());
    QVERIFY(!CharAt(doc, 2, 7).fontUnderline());
    QCOMPARE(CharAt(doc, 2, 0).foreground().color(), QColor(0, 176, 80));
    QCOMPARE(Para(doc, 2).alignment(), Qt::AlignHCenter);
    QCOMPARE(LineSpacing::Twentieths(Para(doc, 2)), 0);       // \pard: single spacing
}

void TestRtfReader::libreOfficeSample()
{
    QTextDocument doc;
    ReadRtf(ReadTestData("libreoffice.rtf"), &doc);
    QCOMPARE(Paragraphs(doc), (QStringList{QStringLiteral("第二幕"),
                                           QStringLiteral("欢迎 Stage caption“Go”"),
                                           QStringLiteral("Exact")}));
    const QTextCharFormat title = CharAt(doc, 0, 0);
    QCOMPARE(Face(title), QStringLiteral("黑体"));
    QCOMPARE(title.fontPointSize(), 14.0);
    QCOMPARE(title.foreground().color(), QColor(255, 255, 0));
    QCOMPARE(Para(doc, 0).alignment(), Qt::AlignHCenter);
    QCOMPARE(LineSpacing::Twentieths(Para(doc, 0)), 30);

    QCOMPARE(Face(CharAt(doc, 1, 3)), QStringLiteral("Liberation Serif"));   // {\falt} skipped
    QVERIFY(CharAt(doc, 1, 9).fontItalic() && CharAt(doc, 1, 9).fontUnderline());
    QCOMPARE(CharAt(doc, 1, 17).fontPointSize(), 10.0);
    QCOMPARE(CharAt(doc, 1, 17).foreground().color(), QColor(255, 0, 0));

    QCOMPARE(Para(doc, 2).alignment(), Qt::AlignRight);
    QCOMPARE(Para(doc, 2).lineHeightType(), int(QTextBlockFormat::FixedHeight));
    QCOMPARE(LineSpacing::Twentieths(Para(doc, 2)), 40);      // exactly 480 twips
}

void TestRtfReader::wordSample()
{
    QTextDocument doc;
    ReadRtf(ReadTestData("word.rtf"), &doc);
    // Big5 text with an ASCII trail byte, \u negative, a field's result, a
    // picture and \bin data skipped.
    QCOMPARE(Paragraphs(doc),
             (QStringList{QStringLiteral("第三幕"), QStringLiteral("繁體鼓linkx done")}));
    QCOMPARE(Face(CharAt(doc, 0, 0)), QStringLiteral("SimSun"));
    QCOMPARE(CharAt(doc, 0, 0).foreground().color(), QColor(255, 0, 0));
    QCOMPARE(Para(doc, 0).alignment(), Qt::AlignRight);
    QCOMPARE(Face(CharAt(doc, 1, 0)), QStringLiteral("新細明體"));
    QVERIFY(CharAt(doc, 1, 3).fontUnderline());
}

void TestRtfReader::codePages_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::newRow("GBK pairs, no table") << QByteArray("{\\rtf1\\ansi \\'c4\\'e3\\'ba\\'c3}")
                                         << QStringLiteral("你好");
    QTest::newRow("raw GBK bytes") << QByteArray("{\\rtf1 \xc4\xe3\\'ba\xc3}") << QStringLiteral("你好");
    QTest::newRow("ansicpg 1252") << QByteArray("{\\rtf1\\ansi\\ansicpg1252 caf\\'e9}")
                                  << QStringLiteral("café");
    QTest::newRow("font charset over ansicpg")
        << QByteArray("{\\rtf1\\ansicpg1252{\\fonttbl{\\f0\\fcharset134 A;}{\\f1\\fcharset0 B;}}"
                      "\\f0\\'c4\\'e3\\f1\\'e9}")
        << QStringLiteral("你é");
    QTest::newRow("shift_jis") << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fcharset128 M;}}\\f0\\'82\\'a0}")
                               << QStringLiteral("あ");
    QTest::newRow("korean") << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fcharset129 M;}}\\f0\\'c7\\'d1}")
                            << QStringLiteral("한");
    QTest::newRow("unknown code page falls back to GBK")
        << QByteArray("{\\rtf1\\ansicpg77777 \\'c4\\'e3}") << QStringLiteral("你");
    QTest::newRow("mac with its own code page")
        << QByteArray("{\\rtf1\\mac\\ansicpg10001 \\'82\\'a0}") << QStringLiteral("あ");
    QTest::newRow("mac roman") << QByteArray("{\\rtf1\\mac caf\\'8e}") << QStringLiteral("café");
    QTest::newRow("ansicpg before mac") << QByteArray("{\\rtf1\\ansicpg1252\\mac caf\\'e9}")
                                        << QStringLiteral("café");
    QTest::newRow("mac charsets 78, 79, 80")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fcharset78 J;}{\\f1\\fcharset79 K;}{\\f2\\fcharset80 C;}}"
                      "\\f0\\'82\\'a0\\f1\\'c7\\'d1\\f2\\'c4\\'e3}")
        << QStringLiteral("あ한你");
    QTest::newRow("font cpg over charset")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fcharset0\\cpg936 A;}{\\f1\\cpg65001 U;}}"
                      "\\f0\\'c4\\'e3\\f1\\'e4\\'bd\\'a0}")
        << QStringLiteral("你你");
    QTest::newRow("pc") << QByteArray("{\\rtf1\\pc \\'f1}") << QStringLiteral("±");
    QTest::newRow("dbch bytes without a dbch font")
        << QByteArray("{\\rtf1\\ansicpg936{\\fonttbl{\\f0\\fcharset0 A;}}\\f0 caf\\'e9{\\dbch \\'c4\\'e3}}")
        << QStringLiteral("café你");
    QTest::newRow("escaped braces and backslash") << QByteArray("{\\rtf1 a\\{b\\}c\\\\d}")
                                                  << QStringLiteral("a{b}c\\d");
}

void TestRtfReader::codePages()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(Read(rtf), text);
}

void TestRtfReader::unicodeAndFallback_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::newRow("uc1 default") << QByteArray("{\\rtf1 \\u20320?\\u22909?!}") << QStringLiteral("你好!");
    QTest::newRow("uc2 with hex fallback")
        << QByteArray("{\\rtf1\\uc2 \\u20320\\'c4\\'e3x}") << QStringLiteral("你x");
    QTest::newRow("uc0") << QByteArray("{\\rtf1\\uc0 \\u20320 x}") << QStringLiteral("你x");
    QTest::newRow("negative value") << QByteArray("{\\rtf1 \\u-24813?}") << QStringLiteral("鼓");
    QTest::newRow("surrogate pair") << QByteArray("{\\rtf1 \\u-10179?\\u-8704?}")
                                    << QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("uc scoped by group")
        << QByteArray("{\\rtf1 {\\uc2 \\u20320??}\\u22909?x}") << QStringLiteral("你好x");
    QTest::newRow("fallback stops at a brace")
        << QByteArray("{\\rtf1\\uc5 \\u20320{\\b a}b}") << QStringLiteral("你ab");
    QTest::newRow("fallback stops at par")
        << QByteArray("{\\rtf1\\uc9 \\u20320 ab\\par cd}") << QStringLiteral("你|cd");
}

void TestRtfReader::unicodeAndFallback()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(Read(rtf), text);
}

void TestRtfReader::lineSpacing()
{
    QTextDocument doc;
    ReadRtf("{\\rtf1\\sl360\\slmult1 a\\par\\pard b\\par\\sl-300\\slmult0 c\\par\\pard\\sl200 d"
            "\\par\\pard\\sl99999999\\slmult1 e}",
            &doc);
    QCOMPARE(Paragraphs(doc), (QStringList{"a", "b", "c", "d", "e"}));
    QCOMPARE(LineSpacing::Twentieths(Para(doc, 0)), 30);
    QCOMPARE(Para(doc, 0).lineHeightType(), int(QTextBlockFormat::ProportionalHeight));
    QCOMPARE(Para(doc, 0).lineHeight(), 150.0);
    QCOMPARE(LineSpacing::Twentieths(Para(doc, 1)), 0);
    QCOMPARE(Para(doc, 1).lineHeightType(), int(QTextBlockFormat::SingleHeight));
    QCOMPARE(LineSpacing::Twentieths(Para(doc, 2)), 25);
    QCOMPARE(Para(doc, 2).lineHeightType(), int(QTextBlockFormat::FixedHeight));
    QCOMPARE(Para(doc, 3).lineHeightType(), int(QTextBlockFormat::MinimumHeight));
    QCOMPARE(LineSpacing::Twentieths(Para(doc, 4)), LineSpacing::Max);
}

void TestRtfReader::groupsRestoreFormats()
{
    QTextDocument doc;
    ReadRtf("{\\rtf1{\\colortbl;\\red0\\green0\\blue255;}\\fs40 a{\\b\\i\\ul\\cf1\\fs20 b{\\b0 c}d}e"
            "\\plain f\\par\\qc g\\par h}",
            &doc);
    QCOMPARE(Paragraphs(doc), (QStringList{"abcdef", "g", "h"}));
    QCOMPARE(CharAt(doc, 0, 0).fontPointSize(), 20.0);
    const QTextCharFormat b = CharAt(doc, 0, 1);
    QVERIFY(b.fontWeight() == QFont::Bold && b.fontItalic() && b.fontUnderline());
    QCOMPARE(b.foreground().color(), QColor(0, 0, 255));
    QCOMPARE(b.fontPointSize(), 10.0);
    QCOMPARE(CharAt(doc, 0, 2).fontWeight(), int(QFont::Normal));
    QVERIFY(CharAt(doc, 0, 2).fontItalic());
    QCOMPARE(CharAt(doc, 0, 3).fontWeight(), int(QFont::Bold));
    QCOMPARE(CharAt(doc, 0, 4).fontWeight(), int(QFont::Normal));
    QCOMPARE(CharAt(doc, 0, 4).fontPointSize(), 20.0);
    QCOMPARE(CharAt(doc, 0, 5).fontPointSize(), 12.0);        // \plain
    // Paragraph properties carry on to the next paragraph until \pard.
    QCOMPARE(Para(doc, 1).alignment(), Qt::AlignHCenter);
    QCOMPARE(Para(doc, 2).alignment(), Qt::AlignHCenter);
}

void TestRtfReader::malformedInput_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("missing closing braces") << QByteArray("{\\rtf1 {\\b bold {\\i more")
                                            << QStringLiteral("bold more");
    QTest::newRow("text after the document") << QByteArray("{\\rtf1 a}}}b}c") << QStringLiteral("a");
    QTest::newRow("backslash at the end") << QByteArray("{\\rtf1 a\\") << QStringLiteral("a");
    QTest::newRow("truncated hex at the end") << QByteArray("{\\rtf1 a\\'c") << QStringLiteral("a");
    QTest::newRow("truncated hex in text") << QByteArray("{\\rtf1 a\\'4zb}") << QStringLiteral("azb");
    QTest::newRow("lead byte alone") << QByteArray("{\\rtf1 a\\'c4}") << QStringLiteral("a\uFFFD");
    QTest::newRow("lead byte before a control word")
        << QByteArray("{\\rtf1 a\\'c4\\b b\\'c4\\par c}") << QStringLiteral("a\uFFFDb\uFFFD|c");
    QTest::newRow("text after the closing brace")
        << QByteArray("{\\rtf1 a\\par b}\r\n\\par c{d}\0junk") << QStringLiteral("a|b");
    QTest::newRow("huge parameters")
        << QByteArray("{\\rtf1\\fs999999999999999999\\cf99999999999\\f-99999999999\\uc99999999999 "
                      "\\u99999999999 x\\ansicpg-5\\deff99999999999 y}")
        << QStringLiteral("y");
    QTest::newRow("bin longer than the data") << QByteArray("{\\rtf1 a\\bin999999999999 bcd")
                                              << QStringLiteral("a");
    QTest::newRow("negative bin") << QByteArray("{\\rtf1 a\\bin-5 b}") << QStringLiteral("ab");
    QTest::newRow("long control word") << QByteArray("{\\rtf1 a\\" + QByteArray(5000, 'x') + " b}")
                                       << QStringLiteral("ab");
    QTest::newRow("deep nesting")
        << QByteArray("{\\rtf1 " + QByteArray(100000, '{') + "x" + QByteArray(100000, '}') + "y}")
        << QStringLiteral("xy");
    QTest::newRow("unterminated tables")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fcharset134 \\'cb\\'ce{\\colortbl;\\red255") << QString();
    QTest::newRow("skipped destinations")
        << QByteArray("{\\rtf1{\\*\\unknown a}{\\info{\\title b}}{\\pict 0a0b}{\\stylesheet c;}d}")
        << QStringLiteral("d");
    QTest::newRow("nul bytes") << QByteArray("{\\rtf1 a") + '\0' + QByteArray("b\\'00c}") << QStringLiteral("abc");
}

void TestRtfReader::malformedInput()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(Read(rtf), text);
}

void TestRtfReader::breaksAndListNumbers_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::newRow("sect") << QByteArray("{\\rtf1 line one\\sect line two}")
                          << QStringLiteral("line one|line two");
    QTest::newRow("page and column") << QByteArray("{\\rtf1 a\\page b\\column c}")
                                     << QStringLiteral("a|b|c");
    QTest::newRow("no empty line after par") << QByteArray("{\\rtf1 a\\par\\sect\\sectd b\\par \\page c}")
                                             << QStringLiteral("a|b|c");
    QTest::newRow("Word list numbers")
        << QByteArray("{\\rtf1{\\listtext\\pard\\plain 1.\\tab}\\ls1 first\\par"
                      "{\\listtext\\pard\\plain 2.\\tab}second\\par}")
        << QStringLiteral("1.\tfirst|2.\tsecond");
    QTest::newRow("WordPad bullets")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fcharset134 S;}{\\f1\\fcharset2 Symbol;}}"
                      "{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}{\\pntext\\f1\\'b7\\tab}\\f0\\'c4\\'e3\\par}")
        << QStringLiteral("\u00b7\t你");
}

void TestRtfReader::breaksAndListNumbers()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(Read(rtf), text);
}

// LibreOffice gives CJK text its own bold, size and face after \dbch; Word
// writes the right-to-left formats after \rtlch, which do not apply here.
void TestRtfReader::associatedFormats()
{
    QTextDocument doc;
    ReadRtf("{\\rtf1{\\fonttbl{\\f0\\fcharset0 Liberation Serif;}{\\f1\\fcharset134 \\'ba\\'da\\'cc\\'e5;}}"
            "\\f0\\fs24{\\rtlch\\ab\\afs40 \\ltrch\\loch\\f0\\dbch\\ab\\afs28\\af1 "
            "\\u24352?\\u29983?: Go}\\par"
            "{\\rtlch\\fcs1 \\ab\\ai\\af0\\afs40 \\ltrch\\fcs0 \\loch\\af1\\hich\\af1\\dbch\\f1 \\'c4\\'e3}"
            "{\\rtlch\\fcs1 \\ab\\af0 \\ltrch\\fcs0 \\hich\\af0\\dbch\\af1\\loch\\f0 x}}",
            &doc);
    QCOMPARE(Paragraphs(doc), (QStringList{QStringLiteral("张生: Go"), QStringLiteral("你x")}));
    const QTextCharFormat cjk = CharAt(doc, 0, 0);
    QCOMPARE(cjk.fontWeight(), int(QFont::Bold));
    QCOMPARE(cjk.fontPointSize(), 14.0);
    QCOMPARE(Face(cjk), QStringLiteral("黑体"));
    const QTextCharFormat latin = CharAt(doc, 0, 4);
    QCOMPARE(latin.fontWeight(), int(QFont::Normal));
    QCOMPARE(latin.fontPointSize(), 12.0);
    QCOMPARE(Face(latin), QStringLiteral("Liberation Serif"));

    // Word: the \rtlch formats stay away; the double-byte face is f1.
    QCOMPARE(CharAt(doc, 1, 0).fontWeight(), int(QFont::Normal));
    QVERIFY(!CharAt(doc, 1, 0).fontItalic());
    QCOMPARE(CharAt(doc, 1, 0).fontPointSize(), 12.0);
    QCOMPARE(Face(CharAt(doc, 1, 0)), QStringLiteral("黑体"));
    QCOMPARE(Face(CharAt(doc, 1, 1)), QStringLiteral("Liberation Serif"));
}

// A group opened past any depth gets its state back when it closes: a
// skipped destination deep inside an Outlook mail lost everything after it.
void TestRtfReader::deepGroupsRestoreState()
{
    const QByteArray open(600, '{'), close(600, '}');
    QTextDocument doc;
    ReadRtf("{\\rtf1 a" + open + "{\\*\\htmltag x}{\\b\\fs40 b}c" + close + "d\\par e}", &doc);
    QCOMPARE(Paragraphs(doc), (QStringList{"abcd", "e"}));
    QCOMPARE(CharAt(doc, 0, 1).fontWeight(), int(QFont::Bold));
    QCOMPARE(CharAt(doc, 0, 1).fontPointSize(), 20.0);
    QCOMPARE(CharAt(doc, 0, 2).fontWeight(), int(QFont::Normal));
    QCOMPARE(CharAt(doc, 0, 3).fontPointSize(), 12.0);
}

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
