// Frames of the control commands and the record changes they make.
#include "app/ProjectFile.h"
#include "link/Frames.h"

#include <QtTest>

namespace {
QString Slot(const QByteArray &frame)
{
    return frame.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(frame.toHex());
}
} // namespace

class TestFrames : public QObject {
    Q_OBJECT
private slots:
    void controlFrames_data();
    void controlFrames();
};

void TestFrames::controlFrames_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("displays");   // P portrait, L landscape, D double-sided
    QTest::addColumn<QList<int>>("screen");  // width, height, colour, scan, OE, data
    QTest::addColumn<int>("levelBefore");
    QTest::addColumn<QString>("slot1");
    QTest::addColumn<QString>("slot2");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("levelAfter");

    const QList<int> small{256, 32, 1, 0, 0, 1};
    QTest::newRow("reset, both displays") << "reset" << "PL" << small << 2 << "02f1aa" << "01f1aa"
                                          << "发送复位命令" << 2;
    QTest::newRow("reset, double-sided only") << "reset" << "D" << small << 2 << "-" << "01f1aa"
                                              << "发送复位命令" << 2;
    QTest::newRow("params 512x80 dual 1/8 OE high data negative")
        << "params" << "P" << QList<int>{512, 80, 2, 16, 1, 0} << 0 << "02f20200005002100100aa"
        << "-" << "设置屏参" << 0;
    QTest::newRow("params, double-sided doubles the landscape width")
        << "params" << "PD" << small << 0 << "02f20100002001000001aa" << "01f20200002001000001aa"
        << "设置屏参" << 0;
    QTest::newRow("params, double-sided only")
        << "params" << "D" << small << 0 << "-" << "01f20200002001000001aa" << "设置屏参" << 0;
    QTest::newRow("brightness from 3") << "brightness" << "PL" << small << 3 << "02f600aa"
                                       << "01f600aa" << "设置显示屏亮度(1 级亮度)" << 0;
    QTest::newRow("brightness from 15 (a new project)")
        << "brightness" << "PL" << small << 15 << "02f600aa" << "01f600aa"
        << "设置显示屏亮度(1 级亮度)" << 0;
    QTest::newRow("brightness from 1") << "brightness" << "L" << small << 1 << "-" << "01f602aa"
                                       << "设置显示屏亮度(3 级亮度)" << 2;
    QTest::newRow("brightness, double-sided only: no frame, level still steps")
        << "brightness" << "D" << small << 0 << "-" << "-" << "设置显示屏亮度(2 级亮度)" << 1;
    QTest::newRow("clear temporary message") << "clear-temp" << "PL" << small << 0 << "02f800aa"
                                             << "01f800aa" << "清除显示屏临时信息" << 0;
    QTest::newRow("clear temporary message, double-sided only")
        << "clear-temp" << "D" << small << 0 << "-" << "-" << "清除显示屏临时信息" << 0;
}

void TestFrames::controlFrames()
{
    QFETCH(QString, command);
    QFETCH(QString, displays);
    QFETCH(QList<int>, screen);
    QFETCH(int, levelBefore);

    TProjectRecord r{};
    SetStartupDefaults(r);
    r.PortraitOn = displays.contains(QLatin1Char('P'));
    r.LandscapeOn = displays.contains(QLatin1Char('L'));
    r.LandscapeDouble = displays.contains(QLatin1Char('D'));
    r.ScreenWidth = screen[0];
    r.ScreenHeight = screen[1];
    r.ColorMode = screen[2];
    r.ScanMode = uint8_t(screen[3]);
    r.OEPolarity = uint8_t(screen[4]);
    r.DataPolarity = uint8_t(screen[5]);
    r.BrightnessLevel = uint8_t(levelBefore);
    r.TempText.setText(QStringLiteral("散场请走右侧通道"));

    TTransmission t;
    if (command == QLatin1String("reset"))
        t = ResetTransmission(r);
    else if (command == QLatin1String("params"))
        t = ScreenParamsTransmission(r);
    else if (command == QLatin1String("brightness"))
        t = BrightnessStepTransmission(r);
    else
        t = ClearTempTransmission(r);

    QTEST(Slot(t.frame1), "slot1");
    QTEST(Slot(t.frame2), "slot2");
    QTEST(t.caption, "caption");
    QTEST(int(r.BrightnessLevel), "levelAfter");
    QCOMPARE(r.TempText.text().isEmpty(), command == QLatin1String("clear-temp"));
}

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
