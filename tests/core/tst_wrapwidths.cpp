// The character widths remembered between starts: read back as written,
// ignored when damaged or written under another setup, and checked against
// a fresh measurement.
#include "TestFiles.h"

#include "app/AppPaths.h"
#include "app/WrapWidths.h"

#include <QTemporaryDir>
#include <QtTest>

class TestWrapWidths : public QObject {
    Q_OBJECT
private slots:
    void init();
    void readBackAsWritten();
    void damagedOrForeignFilesGiveNothing();
    void checkFindsWhatMeasuresOtherwise();

private:
    QTemporaryDir m_dir;
};

void TestWrapWidths::init()
{
    QVERIFY(m_dir.isValid());
    AppPaths::setRegistryFile(m_dir.filePath(QStringLiteral("Velmora.ini")));
    QFile::remove(WrapWidthsFile());
}

void TestWrapWidths::readBackAsWritten()
{
    QCOMPARE(WrapWidthsFile(), m_dir.filePath(QStringLiteral("Velmora.widths")));
    QVERIFY(ReadWrapWidths().empty());   // no file yet
    const std::vector<CharWidth> widths = {{u'A', 7}, {u'中', 11}, {0xFFFF, 0}, {0xD800, 0x7FFF}};
    WriteWrapWidths(widths);
    QCOMPARE(ReadWrapWidths(), widths);
    // A width the file cannot hold is left out, not stored wrong.
    WriteWrapWidths({{u'A', 7}, {u'B', 0x8000}, {u'C', -1}});
    QCOMPARE(ReadWrapWidths(), (std::vector<CharWidth>{{u'A', 7}}));
}

void TestWrapWidths::damagedOrForeignFilesGiveNothing()
{
    WriteWrapWidths({{u'A', 7}, {u'中', 11}});
    const QByteArray good = ReadRaw(WrapWidthsFile());
    // Cut anywhere, it is not read.
    for (int size = 0; size < good.size(); ++size) {
        WriteRaw(WrapWidthsFile(), good.left(size));
        QVERIFY2(ReadWrapWidths().empty(), qPrintable(QString::number(size)));
    }
    WriteRaw(WrapWidthsFile(), good + "x");
    QVERIFY(ReadWrapWidths().empty());

    // Another Qt or platform wrote it: its widths may not be this one's.
    QByteArray foreign = good;
    const qsizetype at = foreign.indexOf(qVersion());
    QVERIFY(at > 0);
    foreign[at] = foreign[at] == '9' ? '8' : '9';
    WriteRaw(WrapWidthsFile(), foreign);
    QVERIFY(ReadWrapWidths().empty());

    // A negative width or a count beyond the code units is damage.
    QByteArray negative = good;
    negative[negative.size() - 2] = char(0xFF);
    WriteRaw(WrapWidthsFile(), negative);
    QVERIFY(ReadWrapWidths().empty());
    QByteArray count = good;
    const qsizetype countAt = good.size() - 2 * 4 - 4;
    count[countAt] = 0x7F;
    WriteRaw(WrapWidthsFile(), count);
    QVERIFY(ReadWrapWidths().empty());
}

void TestWrapWidths::checkFindsWhatMeasuresOtherwise()
{
    const PageStore store;
    const int a = store.characterWidth(QLatin1Char('A'));
    const int zhong = store.characterWidth(QChar(u'中'));
    QVERIFY(a > 0 && zhong > a);
    QVERIFY(CheckWrapWidths({{u'A', a}, {u'中', zhong}}).empty());
    QCOMPARE(CheckWrapWidths({{u'A', a}, {u'中', zhong + 3}, {u' ', 40}}),
             (std::vector<CharWidth>{{u'中', zhong}, {u' ', store.characterWidth(QLatin1Char(' '))}}));
}

QTEST_MAIN(TestWrapWidths)
#include "tst_wrapwidths.moc"
