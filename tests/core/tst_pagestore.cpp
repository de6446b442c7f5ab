// The page store: lines, wrapping into pages, editing at a page, and the
// scenario file written back without damaging what was not edited.
#include "app/Gbk.h"
#include "app/PageListModel.h"
#include "app/PageStore.h"
#include "app/ScenarioFile.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QThread>
#include <limits>
#include <memory>
#include <QtTest>

namespace {
QStringList Pages(const PageStore &store)
{
    QStringList pages;
    for (int i = 0; i < store.pageCount(); ++i)
        pages << store.page(i);
    return pages;
}

PageStore Store(const QByteArray &bytes, int wrapWidth = 263)
{
    PageStore store;
    store.setWrapWidth(wrapWidth);
    store.load(bytes);
    return store;
}

// Lines of hanzi from the whole GB2312 range, full-width punctuation,
// digits and Latin words of any length, some with runs of blanks. Without
// punctuation, hanzi stand in its place.
QByteArray VariedScenario(bool punctuation = true)
{
    QRandomGenerator rng(7);
    const char *const words[] = {"the", "stage", "caption", "LED", "1998", "extraordinarily-long-word",
                                 "A", "  ", "Velmora"};
    QByteArray bytes;
    for (int i = 0; i < 400; ++i) {
        const int length = int(rng.bounded(60));
        for (int k = 0; k < length; ++k) {
            const int kind = int(rng.bounded(10));
            if (kind < 6) {
                bytes += char(0xB0 + int(rng.bounded(0xF8 - 0xB0)));
                bytes += char(0xA1 + int(rng.bounded(0xFF - 0xA1)));
            } else if (kind == 6) {
                bytes += char((punctuation ? 0xA1 : 0xB0) + int(rng.bounded(3)));
                bytes += char(0xA1 + int(rng.bounded(0xFF - 0xA1)));
            } else {
                bytes += words[rng.bounded(int(std::size(words)))];
                bytes += ' ';
            }
        }
        bytes += "\r\n";
    }
    return bytes;
}

QString Long()
{
    return QStringLiteral("这是一行很长很长的字幕文字，它在二百五十六像素宽的显示屏上一定放不下，需要分成好几幕来显示。"
                          "第二句同样很长，保证这一行至少折成三幕以上，用来检查续行的编辑。");
}
} // namespace

class TestPageStore : public QObject {
    Q_OBJECT
    std::vector<int> m_firstControlWidths;   // measured before anything else in the process
private slots:
    void initTestCase();
    void linesBecomePages();
    void lineEnds();
    void longLineWrapsIntoConsecutivePages();
    void rewrapAfterWidthChange();
    void insertAfterPage();
    void deletePages();
    void replacePage();
    void editsInsideWrappedLine();
    void saveAfterEditsWritesGbkCrLf();
    void untouchedFileRoundTrips_data();
    void untouchedFileRoundTrips();
    void utf8WithMarkStaysUtf8();
    void insertSplitsAtTheBlankItWasBrokenAt();
    void emptyPagesSurviveAReopen();
    void utf8WithoutMarkIsDetected();
    void wrapWidthOfAnyScreenWidth();
    void listModel();
    void undecodableBytesSurviveAnEditOfTheirLine();
    void keepingBytesCodecRoundTrips();
    void keepingBytesDecodesAsTheConverter();
    void wrapPositionsOfAVariedScenario_data();
    void wrapPositionsOfAVariedScenario();
    void storeLoadedOnAnotherThreadIsAdopted();
    void punctuationStaysWithItsText_data();
    void punctuationStaysWithItsText();
    void widthsGivenWrapAsMeasured();
    void changedWidthRewraps();
    void encodingsSurviveAnEdit_data();
    void encodingsSurviveAnEdit();
    void controlCharactersHaveOneWidth();
};

void TestPageStore::initTestCase()
{
    const PageStore first;
    for (ushort u = 0; u < 0x20; ++u)
        m_firstControlWidths.push_back(first.characterWidth(QChar(u)));
}

void TestPageStore::linesBecomePages()
{
    QCOMPARE(Pages(Store("A\r\n\r\nB")), (QStringList{"A", "", "B"}));
    QCOMPARE(Pages(Store("A\r\nB\r\n")), (QStringList{"A", "B"}));   // no extra page
    QCOMPARE(Store("").pageCount(), 0);
    QCOMPARE(Pages(Store("\r\n")), QStringList{""});
    QCOMPARE(Pages(Store(ToGbk(QStringLiteral("第一幕\r\n第二幕")))),
             (QStringList{QStringLiteral("第一幕"), QStringLiteral("第二幕")}));
}

void TestPageStore::lineEnds()
{
    // A lone LF or CR ends a line as CR LF does.
    QCOMPARE(Pages(Store("A\nB\rC\r\nD")), (QStringList{"A", "B", "C", "D"}));
    QCOMPARE(Pages(Store("A\r\r\nB")), (QStringList{"A", "", "B"}));
}

void TestPageStore::longLineWrapsIntoConsecutivePages()
{
    const PageStore store = Store(ToGbk(QStringLiteral("前\r\n") + Long() + QStringLiteral("\r\n后")));
    QCOMPARE(store.textLineCount(), 3);
    QVERIFY(store.pageCount() >= 4);
    QCOMPARE(store.page(0), QStringLiteral("前"));
    QCOMPARE(store.page(store.pageCount() - 1), QStringLiteral("后"));
    QString joined;
    for (int i = 1; i < store.pageCount() - 1; ++i)
        joined += store.page(i);
    QCOMPARE(joined, Long());

    // Latin text breaks at blanks, which are not shown at the page's end.
    const PageStore latin = Store(QByteArray("word ").repeated(40));
    QVERIFY(latin.pageCount() > 1);
    QVERIFY(latin.page(0).endsWith(QLatin1String("word")));
}

void TestPageStore::rewrapAfterWidthChange()
{
    PageStore store = Store(ToGbk(Long()), 263);
    const int narrow = store.pageCount();
    store.setWrapWidth(519);
    QVERIFY(store.pageCount() < narrow);
    store.setWrapWidth(263);
    QCOMPARE(store.pageCount(), narrow);
}

void TestPageStore::insertAfterPage()
{
    PageStore store = Store("1\r\n2\r\n3\r\n4\r\n5\r\n");
    QCOMPARE(store.insertAfterPage(2, QStringLiteral("new")), 3);
    QCOMPARE(Pages(store), (QStringList{"1", "2", "3", "new", "4", "5"}));
    QCOMPARE(store.save(), QByteArray("1\r\n2\r\n3\r\nnew\r\n4\r\n5\r\n"));

    // After a last line without a line end, the file still ends without one.
    PageStore open = Store("1\r\n2");
    QCOMPARE(open.insertAfterPage(1, QStringLiteral("3")), 2);
    QCOMPARE(open.save(), QByteArray("1\r\n2\r\n3"));
}

void TestPageStore::deletePages()
{
    PageStore store = Store("1\r\n2\r\n3\r\n4\r\n5");
    store.deletePage(0);
    QCOMPARE(Pages(store), (QStringList{"2", "3", "4", "5"}));
    store.deletePage(3);
    QCOMPARE(Pages(store), (QStringList{"2", "3", "4"}));
    QCOMPARE(store.save(), QByteArray("2\r\n3\r\n4"));
    store.deletePage(17);   // out of range: nothing
    QCOMPARE(store.pageCount(), 3);
}

void TestPageStore::replacePage()
{
    PageStore store = Store("a\r\nb\r\nc\r\n");
    store.replacePage(1, QStringLiteral("新的"));
    QCOMPARE(Pages(store), (QStringList{"a", QStringLiteral("新的"), "c"}));
    QCOMPARE(store.save(), QByteArray("a\r\n") + ToGbk(QStringLiteral("新的")) + "\r\nc\r\n");
}

void TestPageStore::editsInsideWrappedLine()
{
    // A page continuing a wrapped line is a part of that line: editing it
    // changes that part and keeps the rest of the line.
    PageStore store = Store(ToGbk(Long() + QStringLiteral("\r\n尾")));
    const int wrapped = store.pageCount() - 1;
    QVERIFY(wrapped >= 3);
    const QString second = store.page(1);
    store.replacePage(0, QStringLiteral("甲"));
    QCOMPARE(store.textLineCount(), 2);
    QVERIFY(store.textLine(0).startsWith(QStringLiteral("甲") + second));

    PageStore del = Store(ToGbk(Long() + QStringLiteral("\r\n尾")));
    const QString first = del.page(0);
    del.deletePage(1);
    QCOMPARE(del.textLineCount(), 2);
    QVERIFY(del.textLine(0).startsWith(first));
    QCOMPARE(del.textLine(0).size(), Long().size() - second.size());

    // A page inserted after a wrapped line's first page comes right after
    // that page: the line is split there, the rest follows the new page.
    PageStore ins = Store(ToGbk(Long() + QStringLiteral("\r\n尾")));
    const QStringList before = Pages(ins);
    QCOMPARE(ins.insertAfterPage(0, QStringLiteral("插")), 1);
    QStringList expected = before;
    expected.insert(1, QStringLiteral("插"));
    QCOMPARE(Pages(ins), expected);
    QCOMPARE(ins.textLineCount(), 4);
    QCOMPARE(ins.textLine(0), before.at(0));
    QCOMPARE(ins.textLine(1), QStringLiteral("插"));
    // What a reopen shows is what the list showed.
    QCOMPARE(Pages(Store(ins.save())), expected);
}

void TestPageStore::insertSplitsAtTheBlankItWasBrokenAt()
{
    // Latin text wraps at blanks: the split drops the blank, nothing else.
    QString words;
    for (int i = 0; i < 12; ++i)
        words += QStringLiteral("word%1 ").arg(i);
    words.chop(1);
    PageStore store = Store(words.toLatin1() + "\r\nend", 100);
    const QStringList before = Pages(store);
    QVERIFY(before.size() >= 4);
    const int at = store.insertAfterPage(1, QStringLiteral("new"));
    QCOMPARE(at, 2);
    QStringList expected = before;
    expected.insert(2, QStringLiteral("new"));
    QCOMPARE(Pages(store), expected);
    QCOMPARE(store.textLine(0), before.at(0) + QLatin1Char(' ') + before.at(1));
    const QByteArray saved = store.save();
    QVERIFY(saved.endsWith("\r\nend"));
    QCOMPARE(Pages(Store(saved, 100)), expected);
}

void TestPageStore::emptyPagesSurviveAReopen()
{
    // "A / empty / B" without a final line end; the last page goes.
    PageStore store = Store("A\r\n\r\nB");
    store.deletePage(2);
    QCOMPARE(Pages(store), (QStringList{"A", ""}));
    QCOMPARE(Pages(Store(store.save())), Pages(store));

    // A last page emptied by an edit stays a page too.
    PageStore edited = Store("A\r\nB");
    edited.replacePage(1, QString());
    QCOMPARE(Pages(Store(edited.save())), (QStringList{"A", ""}));

    // An empty page inserted at the end of a file without a final line end.
    PageStore inserted = Store("A");
    inserted.insertAfterPage(0, QString());
    QCOMPARE(Pages(Store(inserted.save())), (QStringList{"A", ""}));
}

void TestPageStore::utf8WithoutMarkIsDetected()
{
    // What most editors write now: UTF-8, no byte-order mark.
    const QByteArray bytes = QStringLiteral("第一行\r\n第二行\r\n第三行").toUtf8();
    PageStore store = Store(bytes);
    QCOMPARE(Pages(store), (QStringList{QStringLiteral("第一行"), QStringLiteral("第二行"),
                                        QStringLiteral("第三行")}));
    store.replacePage(1, QStringLiteral("改过"));
    QCOMPARE(store.save(), QStringLiteral("第一行\r\n改过\r\n第三行").toUtf8());

    // ASCII only is valid UTF-8 too, but stays GBK: an edit writes GBK.
    PageStore ascii = Store("one\r\ntwo\r\n");
    ascii.replacePage(0, QStringLiteral("一"));
    QCOMPARE(ascii.save(), ToGbk(QStringLiteral("一\r\ntwo\r\n")));

    // GBK text is not valid UTF-8 and stays GBK.
    const QByteArray gbk = ToGbk(QStringLiteral("第一行\r\n第二行"));
    QCOMPARE(Pages(Store(gbk)).first(), QStringLiteral("第一行"));
    QCOMPARE(Store(gbk).save(), gbk);
}

void TestPageStore::wrapWidthOfAnyScreenWidth()
{
    QCOMPARE(PageWrapWidth(256), 263);
    QCOMPARE(PageWrapWidth(-5), 8);
    QCOMPARE(PageWrapWidth(std::numeric_limits<int>::max()), 100007);
}

void TestPageStore::saveAfterEditsWritesGbkCrLf()
{
    PageStore store = Store("x\ny\n");
    store.replacePage(0, QStringLiteral("第一"));
    QCOMPARE(store.save(), ToGbk(QStringLiteral("第一\r\n")) + "y\n");
}

void TestPageStore::untouchedFileRoundTrips_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("gbk crlf") << ToGbk(QStringLiteral("第一幕\r\n第二幕\r\n"));
    QTest::newRow("no final end") << ToGbk(QStringLiteral("第一幕\r\n第二幕"));
    QTest::newRow("invalid gbk") << QByteArray("ok\r\n\xff\xfe\x81 bad\r\n\x80\xa1\r\n");
    QTest::newRow("mixed ends") << QByteArray("a\nb\rc\r\n\r\n");
    QTest::newRow("nul bytes") << QByteArray("a\0b\r\n", 5);
}

void TestPageStore::untouchedFileRoundTrips()
{
    QFETCH(QByteArray, bytes);
    PageStore store = Store(bytes);
    QCOMPARE(store.save(), bytes);

    // Editing one line leaves every byte of the others as it was.
    store.replacePage(0, QStringLiteral("改"));
    const QByteArray saved = store.save();
    int firstEnd = 0;
    while (bytes.at(firstEnd) != '\r' && bytes.at(firstEnd) != '\n')
        ++firstEnd;
    firstEnd += bytes.mid(firstEnd, 2) == "\r\n" ? 2 : 1;
    QCOMPARE(saved, ToGbk(QStringLiteral("改\r\n")) + bytes.mid(firstEnd));
}

void TestPageStore::utf8WithMarkStaysUtf8()
{
    const QByteArray bytes = QByteArray("\xEF\xBB\xBF") + QStringLiteral("你好\r\n世界\r\n").toUtf8();
    PageStore store = Store(bytes);
    QCOMPARE(Pages(store), (QStringList{QStringLiteral("你好"), QStringLiteral("世界")}));
    QCOMPARE(store.save(), bytes);
    store.insertAfterPage(1, QStringLiteral("再见"));
    QCOMPARE(store.save(), bytes + QStringLiteral("再见\r\n").toUtf8());
}

void TestPageStore::listModel()
{
    PageStore store = Store("A\r\n\r\nB");
    PageListModel model(store);
    QCOMPARE(model.rowCount(), 0);   // empty until rebuilt
    model.RebuildPageList();
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.data(model.index(2, 0), Qt::DisplayRole).toString(), QStringLiteral("3"));
    QCOMPARE(model.data(model.index(2, 1), Qt::DisplayRole).toString(), QStringLiteral("B"));
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("幕号"));
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("内容"));
    model.clearList();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(store.pageCount(), 3);
}

void TestPageStore::undecodableBytesSurviveAnEditOfTheirLine()
{
    // The bad bytes sit in the second page of a wrapped line; editing the
    // first page rewrites the line but keeps them.
    const QByteArray bad("\xff\x81");
    PageStore store = Store(ToGbk(Long()) + bad + "\r\n");
    QVERIFY(store.pageCount() >= 2);
    store.replacePage(0, QStringLiteral("甲"));
    QVERIFY(store.save().endsWith(bad + "\r\n"));
    QVERIFY(store.save().startsWith(ToGbk(QStringLiteral("甲"))));
}

void TestPageStore::keepingBytesCodecRoundTrips()
{
    QRandomGenerator rng(7);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(int(rng.bounded(64)), '\0');
        for (char &c : bytes)
            c = char(rng.bounded(256));
        QCOMPARE(ToGbkKeepingBytes(FromGbkKeepingBytes(bytes)), bytes);
    }
    QCOMPARE(FromGbkKeepingBytes(ToGbk(QStringLiteral("中文ab€"))), QStringLiteral("中文ab€"));
}

void TestPageStore::keepingBytesDecodesAsTheConverter()
{
    // Every double-byte code, between ASCII: a code the converter knows
    // decodes to its character, any other keeps its lead byte.
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    int known = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const QByteArray code = QByteArray(1, char(lead)) + char(trail);
            const QString single = decoder.decode(code);
            const QString decoded = FromGbkKeepingBytes("a" + code + "b");
            if (single.size() == 1 && single != QChar(QChar::ReplacementCharacter) && trail != 0x7F) {
                QCOMPARE(decoded, QStringLiteral("a") + single + QStringLiteral("b"));
                ++known;
            } else {
                QCOMPARE(decoded.at(1), QChar(0xF700 + lead));
            }
            QCOMPARE(ToGbkKeepingBytes(decoded), "a" + code + "b");
        }
    QVERIFY(known > 21000);   // GBK has 21,886 characters
    // Whole lines decode as the converter decodes them.
    const QByteArray line = ToGbk(QStringLiteral("第三幕 王：你来得正好，坐下说话。Scene 3 €"));
    QCOMPARE(FromGbkKeepingBytes(line), FromGbk(line));
}

void TestPageStore::wrapPositionsOfAVariedScenario_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QByteArray>("digest");
    QTest::addColumn<bool>("punctuation");
    QTest::newRow("narrow") << 40 << 7669 << QByteArray("cc51f84928b6cb951d135150e9e7e53f908b54cc") << true;
    QTest::newRow("128 wide") << PageWrapWidth(128) << 2286 << QByteArray("ba355301389f88badc23cee2bab080b9916fcbd3") << true;
    QTest::newRow("256 wide") << PageWrapWidth(256) << 1188 << QByteArray("fb6404c52f85871e69bc55586be24ef431fda7c8") << true;
    QTest::newRow("512 wide") << PageWrapWidth(512) << 689 << QByteArray("d2dbe0beab4c91552d56e64ac93cdfd3452639e6") << true;
    QTest::newRow("no punctuation, narrow") << 40 << 7721 << QByteArray("2324d519d9abf03b055187b5cd98cea83e99b3bb") << false;
    QTest::newRow("no punctuation, 256 wide") << PageWrapWidth(256) << 1189 << QByteArray("b71358a21afda5a7e48e19d35bc783abef26a9f5") << false;
}

// Pins where the pages of a varied scenario begin and end: a change in how
// characters are measured must not move a single page of an existing show.
// Only pages that began with closing or ended with opening punctuation ever
// moved; the scenario without punctuation wraps as it always did.
void TestPageStore::wrapPositionsOfAVariedScenario()
{
    QFETCH(int, width);
    QFETCH(int, pages);
    QFETCH(QByteArray, digest);
    QFETCH(bool, punctuation);
    const PageStore store = Store(VariedScenario(punctuation), width);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QString &page : Pages(store))
        hash.addData((page + QLatin1Char('\n')).toUtf8());
    QCOMPARE(store.pageCount(), pages);
    QCOMPARE(hash.result().toHex(), digest);
}

void TestPageStore::punctuationStaysWithItsText_data()
{
    QTest::addColumn<QString>("mark");
    QTest::addColumn<bool>("closing");
    for (const QString &mark : QStringLiteral("，。、；：！？）》」』”,.;:!?)｡､｣").split(QString(), Qt::SkipEmptyParts))
        QTest::addRow("closing %s", qPrintable(mark)) << mark << true;
    for (const QString &mark : QStringLiteral("（《「『“(｢").split(QString(), Qt::SkipEmptyParts))
        QTest::addRow("opening %s", qPrintable(mark)) << mark << false;
}

// Where the greedy wrap would start a page with closing punctuation, or end
// one with opening punctuation, the break moves one character back.
void TestPageStore::punctuationStaysWithItsText()
{
    QFETCH(QString, mark);
    QFETCH(bool, closing);
    PageStore store;
    const int hanzi = store.characterWidth(QChar(u'中'));
    const QString head = QString(closing ? 10 : 9, QChar(u'中'));
    const QString tail = QStringLiteral("面向观众");
    // A page holds the head and no closing mark after it, or the head, an
    // opening mark and no character after it.
    const int markWidth = store.characterWidth(mark[0]);
    store.setWrapWidth(head.size() * hanzi + (closing ? markWidth - 1 : markWidth + hanzi - 1));
    store.load(QByteArray("\xEF\xBB\xBF") + (head + mark + tail).toUtf8());   // ｡ has no GBK code
    const QStringList expected = closing
                                     ? QStringList{head.chopped(1), QStringLiteral("中") + mark + tail}
                                     : QStringList{head, mark + tail};
    QCOMPARE(Pages(store), expected);

    // Two closing marks in a row go with the character before them.
    if (mark == QStringLiteral("。")) {
        store.load(ToGbk(head + QStringLiteral("”") + mark + tail));
        QCOMPARE(Pages(store).value(1), QStringLiteral("中”。") + tail);
    }
}

// The window takes the start-up scenario from a store its worker loaded.
void TestPageStore::storeLoadedOnAnotherThreadIsAdopted()
{
    const QByteArray bytes = VariedScenario();
    PageStore loaded;
    std::unique_ptr<QThread> worker(QThread::create([&] { loaded.load(bytes); }));
    worker->start();
    QVERIFY(worker->wait());
    PageStore store;
    store.load("old\r\n");
    store.adopt(std::move(loaded));
    QCOMPARE(Pages(store), Pages(Store(bytes)));
    QCOMPARE(store.save(), bytes);
    QCOMPARE(loaded.pageCount(), 0);
    QCOMPARE(loaded.save(), QByteArray());

    // Edits measure with this thread's font and keep the other lines.
    store.replacePage(0, Long());
    PageStore reference = Store(bytes);
    reference.replacePage(0, Long());
    QCOMPARE(Pages(store), Pages(reference));
    QCOMPARE(store.save(), reference.save());
}

// Widths measured by one store (as remembered from an earlier start) wrap
// another store's lines exactly as its own measurement would.
void TestPageStore::widthsGivenWrapAsMeasured()
{
    const QByteArray bytes = VariedScenario();
    const PageStore measured = Store(bytes);
    const std::vector<CharWidth> widths = measured.widths();
    QVERIFY(widths.size() > 1000);

    PageStore given;
    QVERIFY(!given.setWidths(widths));   // nothing wrapped yet
    QCOMPARE(given.widths(), widths);
    given.load(bytes);
    QCOMPARE(Pages(given), Pages(measured));
    QCOMPARE(given.widths(), widths);   // nothing measured anew
    QVERIFY(!given.setWidths(widths));
    QCOMPARE(given.characterWidth(QChar(0x4E00)), PageStore().characterWidth(QChar(0x4E00)));
}

// A given width that differs from one the pages were wrapped with (the fonts
// changed since it was remembered) wraps every line again with it.
void TestPageStore::changedWidthRewraps()
{
    const QString line = QStringLiteral("中文字幕 caption");
    PageStore store = Store(ToGbk(line + QStringLiteral("\r\n") + line), 263);
    QCOMPARE(store.pageCount(), 2);
    const int wide = store.characterWidth(QChar(u'中'));

    // A character no page holds: nothing to wrap again.
    QVERIFY(!store.setWidths({{u'的', 300}}));
    QCOMPARE(store.pageCount(), 2);
    // 中 now wider than a page: each line breaks after it.
    QVERIFY(store.setWidths({{u'中', 300}}));
    QCOMPARE(Pages(store), (QStringList{QStringLiteral("中"), QStringLiteral("文字幕 caption"),
                                        QStringLiteral("中"), QStringLiteral("文字幕 caption")}));
    QVERIFY(store.setWidths({{u'中', wide}}));
    QCOMPARE(Pages(store), (QStringList{line, line}));
    QVERIFY(!store.setWidths({{u'中', wide}}));
}

namespace {
QByteArray Utf16(const QString &text, bool bigEndian)
{
    QByteArray out;
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out += bigEndian ? QByteArray(1, hi) + lo : QByteArray(1, lo) + hi;
    }
    return out;
}

QByteArray Utf32Le(const QString &text)
{
    QByteArray out;
    for (const char32_t cp : text.toUcs4())
        for (int k = 0; k < 4; ++k)
            out += char((cp >> (8 * k)) & 0xFF);
    return out;
}
} // namespace

// A file in each encoding the program meets: its pages, one edit of a page,
// and the bytes written. Stray bytes stay exactly as they were next to the
// edit, the encoding is the file's own, and the written file reads back as
// the pages that were saved (with the encoding remembered for it).
void TestPageStore::encodingsSurviveAnEdit_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("remembered");   // -1: none
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<int>("invalidLine");
    QTest::addColumn<QString>("refused");   // an edit of the same page that must be refused

    const QString text = QStringLiteral("第一行\r\n第二行\r\n");
    const QString edited = QStringLiteral("第一行\r\nSeñor™안녕ç\r\n");
    const QStringList pages{QStringLiteral("第一行"), QStringLiteral("第二行")};
    const QString any = QStringLiteral("Señor™안녕ç");
    const int none = -1;
    using E = TextEncoding;
    QTest::newRow("gbk") << ToGbk(text) << none << int(E::Gbk) << pages << 1 << QStringLiteral("第二幕")
                         << ToGbk(QStringLiteral("第一行\r\n第二幕\r\n")) << 0 << any;
    QTest::newRow("utf-8") << text.toUtf8() << none << int(E::Utf8) << pages << 1 << any << edited.toUtf8()
                           << 0 << QString();
    QTest::newRow("utf-8 with mark") << "\xEF\xBB\xBF" + text.toUtf8() << none << int(E::Utf8WithMark) << pages
                                     << 1 << any << "\xEF\xBB\xBF" + edited.toUtf8() << 0 << QString();
    QTest::newRow("utf-16 le") << "\xFF\xFE" + Utf16(text, false) << none << int(E::Utf16Le) << pages << 1
                               << any << "\xFF\xFE" + Utf16(edited, false) << 0 << QString();
    QTest::newRow("utf-16 be") << "\xFE\xFF" + Utf16(text, true) << none << int(E::Utf16Be) << pages << 1
                               << any << "\xFE\xFF" + Utf16(edited, true) << 0 << QString();
    QTest::newRow("utf-32 le") << QByteArray("\xFF\xFE\0\0", 4) + Utf32Le(text) << none << int(E::Utf32Le)
                               << pages << 1 << any << QByteArray("\xFF\xFE\0\0", 4) + Utf32Le(edited) << 0
                               << QString();

    // A Latin-1 word in a UTF-8 file: UTF-8 still, the byte shown as U+FFFD
    // and written back as it was beside the typed text.
    const QByteArray cafe = QStringLiteral("第一行：好\r\n").toUtf8() + "Caf\xE9\r\n"
        + QStringLiteral("第三行\r\n").toUtf8();
    QTest::newRow("utf-8 with a stray byte")
        << cafe << none << int(E::Utf8)
        << QStringList{QStringLiteral("第一行：好"), QStringLiteral("Caf\uFFFD"), QStringLiteral("第三行")} << 1
        << QStringLiteral("Caf\uFFFD！") << QStringLiteral("第一行：好\r\n").toUtf8() + "Caf\xE9" +
               QStringLiteral("！\r\n第三行\r\n").toUtf8()
        << 2 << QString();

    // A lone lead byte before 国文 does not swallow them.
    const QByteArray zhong = ToGbk(QStringLiteral("中")), guowen = ToGbk(QStringLiteral("国文"));
    QTest::newRow("gbk with a lone 0x81")
        << zhong + "\x81" + guowen + "\r\n" << none << int(E::Gbk) << QStringList{QStringLiteral("中\uFFFD国文")}
        << 0 << QStringLiteral("中\uFFFD国文！") << zhong + "\x81" + guowen + ToGbk(QStringLiteral("！\r\n")) << 0
        << QStringLiteral("中\uFFFD国文™");

    // The file cut in the middle of 文: a character typed right after the
    // stray byte would join it, one after a blank does not.
    const QByteArray cut = ToGbk(QStringLiteral("中国")) + ToGbk(QStringLiteral("文")).left(1);
    QTest::newRow("gbk cut mid-character")
        << cut << none << int(E::Gbk) << QStringList{QStringLiteral("中国\uFFFD")} << 0
        << QStringLiteral("中国\uFFFD 好") << cut + ToGbk(QStringLiteral(" 好")) << 0
        << QStringLiteral("中国\uFFFDA");

    // GBK whose bytes are valid UTF-8 too: read as GBK, as it was before.
    const QString road = QStringLiteral("庐陆路");
    QVERIFY(DetectTextEncoding(ToGbk(road)) == E::Utf8);
    QTest::newRow("gbk that is valid utf-8")
        << ToGbk(road) << int(E::Gbk) << int(E::Gbk) << QStringList{road} << 0 << QStringLiteral("庐陆路平")
        << ToGbk(QStringLiteral("庐陆路平")) << 0 << any;
}

void TestPageStore::encodingsSurviveAnEdit()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, remembered);
    QFETCH(int, encoding);
    QFETCH(QStringList, pages);
    QFETCH(int, page);
    QFETCH(QString, edit);
    QFETCH(QByteArray, written);
    QFETCH(int, invalidLine);
    QFETCH(QString, refused);

    const auto memory = remembered < 0 ? std::nullopt : std::optional(TextEncoding(remembered));
    PageStore store;
    store.load(bytes, ChooseTextEncoding(bytes, memory));
    QCOMPARE(int(store.encoding()), encoding);
    QCOMPARE(Pages(store), pages);
    QCOMPARE(store.firstInvalidLine(), invalidLine);
    QCOMPARE(store.save(), bytes);

    if (!refused.isEmpty())
        QVERIFY(!store.refusal(page, refused).isEmpty());
    QCOMPARE(store.refusal(page, edit), QString());
    store.replacePage(page, edit);
    QCOMPARE(store.page(page), edit);
    QCOMPARE(store.save(), written);

    PageStore reread;
    reread.load(written, ChooseTextEncoding(written, store.encoding()));
    QCOMPARE(reread.page(page), edit);
}

// Control characters measure alike whatever was measured before them: the
// font engine's fallback would give them the width of the last glyph found.
void TestPageStore::controlCharactersHaveOneWidth()
{
    PageStore after;
    after.characterWidth(QChar(0xFF1A));   // '：' measured in this process
    for (ushort u = 0; u < 0x20; ++u)
        QCOMPARE(after.characterWidth(QChar(u)), m_firstControlWidths[u]);
    // A width remembered from an earlier start does not bring another back.
    PageStore given;
    given.setWidths({{char16_t(1), 7}});
    QCOMPARE(given.characterWidth(QChar(1)), m_firstControlWidths[1]);
}

QTEST_MAIN(TestPageStore)
#include "tst_pagestore.moc"
