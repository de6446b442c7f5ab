// What the encoding detection and the changed-on-disk check cost on a
// real-size show: a 4,000-line scenario of varied caption lines, in GBK and in
// UTF-8. Prints `name: min=… median=… p99=… ms` over 20 runs each.
#include "bench/BenchStats.h"
#include "app/Gbk.h"
#include "app/PageStore.h"
#include "app/ScenarioFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
QString Scenario(int lines)
{
    static const QStringList parts = {
        QStringLiteral("第%1幕"), QStringLiteral("王后：我的孩子，你为何如此悲伤？"),
        QStringLiteral("Hamlet: To be, or not to be"), QStringLiteral("（灯光渐暗，音乐起）"),
        QStringLiteral("合唱：春风又绿江南岸，明月何时照我还"), QString()};
    QRandomGenerator random(16);
    QString text;
    for (int i = 0; i < lines; ++i) {
        QString line = parts.at(random.bounded(parts.size()));
        if (line.contains(QLatin1String("%1")))
            line = line.arg(i);
        if (random.bounded(5) == 0)
            line += QStringLiteral("，") + parts.at(1) + parts.at(4);   // wraps into several pages
        text += line + QStringLiteral("\r\n");
    }
    return text;
}

void Measure(const char *name, const std::function<void()> &run)
{
    std::vector<double> ms;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    Report(name, ms);
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QString text = Scenario(4000);
    const QByteArray gbk = ToGbk(text);
    const QByteArray utf8 = text.toUtf8();

    Measure("detect encoding 4000 GBK lines", [&] { DetectTextEncoding(gbk); });
    Measure("detect encoding 4000 UTF-8 lines", [&] { DetectTextEncoding(utf8); });
    PageStore store;
    Measure("page store load 4000 GBK lines", [&] { store.load(gbk); });
    Measure("page store load 4000 UTF-8 lines", [&] { store.load(utf8); });

    // The check every save makes before it writes the scenario.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("show.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(gbk) != gbk.size())
        return 1;
    file.close();
    const FileSnapshot snapshot = FileSnapshot::of(path, gbk);
    Measure("changed-on-disk check 4000 lines", [&] {
        if (snapshot.changedOnDisk())
            std::printf("unexpected change\n");
    });
    return 0;
}
