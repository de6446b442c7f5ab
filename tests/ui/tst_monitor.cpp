// The LED monitor window and its menu item in the main window.
#include "ScriptedPrompter.h"
#include "SimFrames.h"

#include "app/AppPaths.h"
#include "app/Gbk.h"
#include "app/PageStore.h"
#include "app/ProjectFile.h"
#include "app/uMain.h"
#include "sim/WireTap.h"
#include "sim/uMonitor.h"

#include <QAction>
#include <QMenu>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
void Send(WireTap &tap, const QByteArray &frame)
{
    tap.opened();
    tap.written(frame.left(1) + frame.left(1), true);
    tap.written(frame.mid(1), false);
    tap.closed();
    QCoreApplication::processEvents();
}
// A shown main window whose settings files live in a folder of its own.
struct MainWindow {
    MainWindow()
    {
        AppPaths::setRegistryFile(dir.filePath(QStringLiteral("Velmora.ini")));
        AppPaths::setSysSetupFile(dir.filePath(QStringLiteral("SysSetup")));
        w = std::make_unique<TFrm_Main>(&prompter);
        w->show();
    }
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    std::unique_ptr<TFrm_Main> w;
};
} // namespace

class TestMonitor : public QObject {
    Q_OBJECT
private slots:
    void followsTransmissions();
    void doubleSidedShowsBothFaces();
    void menuOpensOneMonitor();
    void rehearsalOnCom0();
    void pitchOneShowsEveryLed();
};

void TestMonitor::followsTransmissions()
{
    const TProjectRecord record = DisplayProject(64, 16, 2, true, false, false);
    WireTap tap(&record);
    TFrm_Monitor monitor(&tap, &record);
    monitor.findChild<QSpinBox *>(QStringLiteral("SpnEdt_Pitch"))->setValue(4);
    // Configured but nothing received: a dark display of the project's size.
    QVERIFY(monitor.PanelInfo(2).contains(QStringLiteral("最后命令: 无")));
    QVERIFY(monitor.PanelInfo(1).isEmpty());
    QCOMPARE(monitor.PanelLeds(2).size(), QSize(16 * 4, 64 * 4));   // turned for the audience

    Send(tap, Bytes({2, 0xF6, 1, 0xAA}));
    QImage page(64, 16, QImage::Format_RGB32);
    page.fill(Qt::black);
    page.setPixel(0, 0, qRgb(255, 0, 0));
    Send(tap, PageFrame(2, page, 2, 1));
    const QString info = monitor.PanelInfo(2);
    QVERIFY2(info.contains(QStringLiteral("亮度: 2 级")), qPrintable(info));
    QVERIFY(info.contains(QStringLiteral("最后命令: 页面")));
    QVERIFY(info.contains(QStringLiteral("效果 1  速度 5  停留 10")));
    QVERIFY(info.contains(QStringLiteral("错误帧: 0")));
    // The top-left pixel, a quarter turn clockwise, is the top-right LED.
    const QImage leds = monitor.PanelLeds(2);
    QCOMPARE(leds.pixel(leds.width() - 3, 1), qRgb(255, 0, 0));
    QCOMPARE(leds.pixel(1, 1), qRgb(40, 40, 40));

    // A frame to an unconfigured display, cut short, still gets a panel.
    tap.written(Bytes({1, 1}), true);
    tap.written(Bytes({0xF3, 0, 0}), false);
    tap.closed();
    QCoreApplication::processEvents();
    QVERIFY(monitor.PanelInfo(1).contains(QStringLiteral("错误帧: 1")));
}

void TestMonitor::doubleSidedShowsBothFaces()
{
    const TProjectRecord record = DisplayProject(64, 16, 2, false, false, true);
    WireTap tap(&record);
    TFrm_Monitor monitor(&tap, &record);
    monitor.findChild<QSpinBox *>(QStringLiteral("SpnEdt_Pitch"))->setValue(1);
    Send(tap, Bytes({1, 0xF4}) + Planes(RandomPicture(128, 16, 3), 2) + Bytes({0xAA}));
    QVERIFY(monitor.PanelInfo(1).contains(QStringLiteral("最后命令: LOGO")));
    QVERIFY(monitor.PanelInfo(1).contains(QStringLiteral("128×16 双色")));
    // Two 64 x 16 faces, one under the other.
    QCOMPARE(monitor.PanelLeds(1).width(), 64);
    QVERIFY(monitor.PanelLeds(1).height() > 32);
}

void TestMonitor::menuOpensOneMonitor()
{
    MainWindow main;
    TFrm_Main &w = *main.w;
    QVERIFY(w.N_Send->actions().contains(w.N_Monitor));
    QCOMPARE(w.N_Monitor->text(), QStringLiteral("LED监视器(&M)"));
    w.N_Monitor->trigger();
    QVERIFY(w.Frm_Monitor && w.Frm_Monitor->isVisible());
    QVERIFY(!w.Frm_Monitor->isModal());
    TFrm_Monitor *first = w.Frm_Monitor;
    w.Frm_Monitor->close();
    w.N_Monitor->trigger();
    QCOMPARE(w.Frm_Monitor, first);
    QVERIFY(first->isVisible());
}

// With the project on COM0 and the program's own ports, a page sent from the
// main window appears in the monitor: no serial hardware involved.
void TestMonitor::rehearsalOnCom0()
{
    MainWindow main;
    TFrm_Main &w = *main.w;
    w.Record().ComPort = 0;
    w.N_Monitor->trigger();
    QVERIFY(w.Frm_Monitor->PanelInfo(1).contains(QStringLiteral("最后命令: 无")));

    w.Richedt_Screen->load(ToGbk(QStringLiteral("序幕\r\n第一场")));
    w.RebuildPageList();
    w.SelectPage(0);
    w.N14->trigger();
    // While the page goes out the sending commands are locked; the monitor,
    // which only shows, can still be opened.
    QTRY_VERIFY(!w.N14->isEnabled());
    QVERIFY(w.N_Send->menuAction()->isEnabled() && w.N_Monitor->isEnabled());
    // A page of the default display crosses a 57600-baud line in well under
    // a second; the wait allows for a slow machine.
    QTRY_VERIFY_WITH_TIMEOUT(w.Frm_Monitor->PanelInfo(1).contains(QStringLiteral("最后命令: 页面")), 10000);
    const QString info = w.Frm_Monitor->PanelInfo(1);
    QVERIFY2(info.contains(QStringLiteral("错误帧: 0")), qPrintable(info));
    QVERIFY(main.prompter.errors.isEmpty());

    // Some LEDs are lit: the page's text, not a dark display.
    const QImage leds = w.Frm_Monitor->PanelLeds(1);
    bool lit = false;
    for (int y = 0; y < leds.height() && !lit; ++y)
        for (int x = 0; x < leds.width() && !lit; ++x)
            lit = qRed(leds.pixel(x, y)) > 200 || qGreen(leds.pixel(x, y)) > 200;
    QVERIFY(lit);
}

// At a pitch of 1 every LED is one pixel of its colour.
void TestMonitor::pitchOneShowsEveryLed()
{
    const TProjectRecord record = DisplayProject(64, 16, 2, false, true, false);
    WireTap tap(&record);
    TFrm_Monitor monitor(&tap, &record);
    monitor.findChild<QSpinBox *>(QStringLiteral("SpnEdt_Pitch"))->setValue(1);
    QImage page(64, 16, QImage::Format_RGB32);
    page.fill(Qt::black);
    page.setPixel(0, 0, qRgb(255, 0, 0));
    page.setPixel(63, 0, qRgb(0, 255, 0));
    page.setPixel(10, 15, qRgb(255, 255, 0));
    Send(tap, PageFrame(1, page, 2, 1));
    const QImage leds = monitor.PanelLeds(1);
    QCOMPARE(leds.size(), QSize(64, 16));
    int lit = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x) {
            const QRgb want = page.pixel(x, y) & 0xFFFFFF;
            QCOMPARE(leds.pixel(x, y) & 0xFFFFFF, want ? want : 0x282828u);
            lit += want != 0;
        }
    QCOMPARE(lit, 3);
}

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
