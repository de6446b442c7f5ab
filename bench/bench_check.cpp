// Pre-show check speed: a whole scenario checked on the user-interface thread,
// portrait and landscape, with a varied mix of caption lines. Prints
// name: min=… median=… p99=… ms over repeated runs (Release build).
#include "bench/BenchStats.h"
#include "render/ScenarioCheck.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
// Caption lines as scenarios hold them: mostly short CJK lines with
// punctuation, some Latin, names and numbers, a few too long for the display.
QStringList Scenario(int pages)
{
    const QString words[] = {QStringLiteral("王"), QStringLiteral("你来得正好"), QStringLiteral("，"),
                             QStringLiteral("坐下说话"), QStringLiteral("。"), QStringLiteral("第三幕"),
                             QStringLiteral("“明天见！”"), QStringLiteral("Act 2"), QStringLiteral("1998年"),
                             QStringLiteral("李白："), QStringLiteral("床前明月光")};
    QRandomGenerator random(15);
    QStringList scenario;
    for (int i = 0; i < pages; ++i) {
        QString line;
        const int count = 1 + int(random.bounded(i % 50 == 0 ? 40 : 6));
        for (int w = 0; w < count; ++w)
            line += words[random.bounded(int(std::size(words)))];
        scenario << line;
    }
    return scenario;
}

void Time(const char *name, int runs, const std::function<void()> &call)
{
    call();   // warm the face caches
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        call();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    Report(name, times);
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    TPageFont font;
    font.Name = QStringLiteral("黑体");
    TPageRequest displays;
    displays.ColorMode = 2;
    displays.PortraitOn = displays.LandscapeOn = true;
    for (const QSize size : {QSize(256, 32), QSize(512, 80)}) {
        displays.Width = size.width();
        displays.Height = size.height();
        for (int pages : {1000, 10000}) {
            const QStringList scenario = Scenario(pages);
            const QByteArray name = QStringLiteral("check %1 pages %2x%3")
                                        .arg(pages).arg(size.width()).arg(size.height()).toUtf8();
            Time(name.constData(), 9, [&] { CheckScenario(font, displays, scenario); });
        }
    }
    return 0;
}
