// Start-up of the program until its window is on the screen with the page
// list filled: with no project, and with the remembered project's scenario
// of 100,000 pages. Each start is a new process (this program started again
// with --start), five starts a case.
#include "bench/BenchStats.h"
#include "app/AppPaths.h"
#include "app/Gbk.h"
#include "app/ProjectFile.h"
#include "app/Prompter.h"
#include "app/Struct.h"
#include "app/uMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
// 100,000 caption lines of 4 to 16 common hanzi: at least as many pages.
QByteArray Scenario()
{
    QRandomGenerator rng(19);
    QByteArray bytes;
    for (int i = 0; i < 100000; ++i) {
        const int length = 4 + int(rng.bounded(13));
        for (int k = 0; k < length; ++k) {
            const int lead = 0xB0 + int(rng.bounded(0xD8 - 0xB0));
            bytes += char(lead);
            bytes += char(0xA1 + int(rng.bounded(0xFF - 0xA1)));
        }
        bytes += "\r\n";
    }
    return bytes;
}

void UsePaths(const QString &dir)
{
    AppPaths::setRegistryFile(dir + QStringLiteral("/Velmora.ini"));
    AppPaths::setSysSetupFile(dir + QStringLiteral("/SysSetup"));
    AppPaths::setProgramDir(dir);
}

// The started program: the window as main() opens it; prints the
// milliseconds from here to the window exposed with its list filled.
int Start(int argc, char *argv[], const QString &dir, int pages)
{
    QElapsedTimer timer;
    timer.start();
    QApplication app(argc, argv);
    UsePaths(dir);
    DialogPrompter prompter;
    TFrm_Main window(&prompter);
    window.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QTableView *list = window.findChild<QTableView *>(QStringLiteral("LstView_Page"));
        if (window.windowHandle() && window.windowHandle()->isExposed() && list
            && list->model()->rowCount() >= pages) {
            std::printf("%.3f\n", timer.nsecsElapsed() / 1e6);
            app.quit();
        }
    });
    poll.start(0);
    return app.exec();
}

struct Starts {
    std::vector<double> inside, process;
};

Starts TimeStarts(const QString &program, const QString &dir, int pages)
{
    Starts starts;
    for (int run = 0; run < 6; ++run) {
        QProcess child;
        QElapsedTimer timer;
        timer.start();
        child.start(program, {QStringLiteral("--start"), dir, QString::number(pages)});
        child.waitForFinished(60000);
        const double process = timer.nsecsElapsed() / 1e6;
        if (run == 0)
            continue;   // the first start fills the file caches
        starts.process.push_back(process);
        starts.inside.push_back(child.readAllStandardOutput().trimmed().toDouble());
    }
    return starts;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && QByteArray(argv[1]) == "--start")
        return Start(argc, argv, QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());

    QCoreApplication app(argc, argv);
    QTemporaryDir empty, full;
    UsePaths(full.path());
    const QString scenario = full.filePath(QStringLiteral("scenario.txt"));
    QFile file(scenario);
    if (!file.open(QIODevice::WriteOnly) || file.write(Scenario()) < 0)
        return 1;
    file.close();
    TProjectRecord record{};
    SetStartupDefaults(record);
    record.ScenarioFile.setText(scenario);
    const QString project = full.filePath(QStringLiteral("show.prj"));
    WriteProjectFile(project, record);
    WriteRegString(QStringLiteral("CurFileName"), project);

    const QString self = QCoreApplication::applicationFilePath();
    const Starts none = TimeStarts(self, empty.path(), 0);
    const Starts big = TimeStarts(self, full.path(), 100000);
    Report("start, no project: window shown", none.inside);
    Report("start, no project: process until it ends", none.process);
    Report("start, 100000-page project: window shown with the list filled", big.inside);
    Report("start, 100000-page project: process until it ends", big.process);
    std::printf("ratio of the medians, window shown: %.2f\n",
                Median(big.inside) / Median(none.inside));
    return 0;
}
