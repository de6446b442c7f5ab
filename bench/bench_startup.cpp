// Start-up of the program until its window is on the screen with the page
// list filled and painted: with no project, with a remembered project of 40
// pages (a screen of captions to draw, as any show has), and of 100,000
// pages (with and without the character widths remembered from an earlier
// start). Each start is a new process (this program started again with
// --start), five starts a case.
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
#include <QEvent>
#include <QWindow>

#include <algorithm>
#include <string>
#include <cstdio>
#include <vector>

namespace {
// Caption lines of 4 to 16 common hanzi: at least as many pages.
QByteArray Scenario(int lines)
{
    QRandomGenerator rng(19);
    QByteArray bytes;
    for (int i = 0; i < lines; ++i) {
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

// Sees the paints of a list's rows: painted() once one showed at least the
// given number of rows in the model.
class PaintWatch : public QObject {
public:
    PaintWatch(const QTableView *list, int rows) : m_list(list), m_rows(rows)
    {
        list->viewport()->installEventFilter(this);
    }
    bool painted() const { return m_painted; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_list->model()->rowCount() >= m_rows)
            m_painted = true;
        return false;
    }

private:
    const QTableView *m_list;
    int m_rows;
    bool m_painted = false;
};

void UsePaths(const QString &dir)
{
    AppPaths::setRegistryFile(dir + QStringLiteral("/Velmora.ini"));
    AppPaths::setSysSetupFile(dir + QStringLiteral("/SysSetup"));
    AppPaths::setProgramDir(dir);
}

// The started program: the window as main() opens it. Prints the
// milliseconds from here to the window shown with the list holding its
// pages, then to the first paint of the list that shows them (with no
// project: the window shown, and its list's first paint).
int Start(int argc, char *argv[], const QString &dir, int pages)
{
    QElapsedTimer timer;
    timer.start();
    QApplication app(argc, argv);
    UsePaths(dir);
    DialogPrompter prompter;
    TFrm_Main window(&prompter);
    const QTableView *list = window.findChild<QTableView *>(QStringLiteral("LstView_Page"));
    if (!list)
        return 1;
    PaintWatch watch(list, pages);
    window.show();
    double shown = -1;
    QTimer poll;   // runs between events: after a paint is done
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!window.windowHandle()->isExposed() || list->model()->rowCount() < pages)
            return;
        if (shown < 0)
            shown = timer.nsecsElapsed() / 1e6;
        if (watch.painted()) {
            std::printf("%.3f\n%.3f\n", shown, timer.nsecsElapsed() / 1e6);
            app.quit();
        }
    });
    poll.start(0);
    return app.exec();
}

// A project in dir, remembered as the last one, whose scenario is bytes.
bool RememberShow(const QString &dir, const QByteArray &bytes)
{
    UsePaths(dir);
    const QString scenario = dir + QStringLiteral("/scenario.txt");
    QFile file(scenario);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    TProjectRecord record{};
    SetStartupDefaults(record);
    record.ScenarioFile.setText(scenario);
    const QString project = dir + QStringLiteral("/show.prj");
    WriteProjectFile(project, record);
    WriteRegString(QStringLiteral("CurFileName"), project);
    return true;
}

struct Starts {
    std::vector<double> shown, painted, process;
};

// Five starts after one that fills the file caches; before each, forget
// (or not) the character widths remembered from earlier starts.
Starts TimeStarts(const QString &program, const QString &dir, int pages, bool forgetWidths = false)
{
    Starts starts;
    for (int run = 0; run < 6; ++run) {
        if (forgetWidths)
            QFile::remove(dir + QStringLiteral("/Velmora.widths"));
        QProcess child;
        QElapsedTimer timer;
        timer.start();
        child.start(program, {QStringLiteral("--start"), dir, QString::number(pages)});
        child.waitForFinished(60000);
        const double process = timer.nsecsElapsed() / 1e6;
        if (run == 0)
            continue;
        const QList<QByteArray> times = child.readAllStandardOutput().split('\n');
        starts.process.push_back(process);
        starts.shown.push_back(times.value(0).toDouble());
        starts.painted.push_back(times.value(1).toDouble());
    }
    return starts;
}

void ReportStarts(const char *name, const Starts &starts)
{
    const std::string prefix = std::string("start, ") + name;
    Report((prefix + ": window shown with the list filled").c_str(), starts.shown);
    Report((prefix + ": list painted with its pages").c_str(), starts.painted);
    Report((prefix + ": process until it ends").c_str(), starts.process);
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && QByteArray(argv[1]) == "--start")
        return Start(argc, argv, QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());

    QCoreApplication app(argc, argv);
    QTemporaryDir empty, small, full;
    if (!RememberShow(small.path(), Scenario(40)) || !RememberShow(full.path(), Scenario(100000)))
        return 1;

    const QString self = QCoreApplication::applicationFilePath();
    const Starts none = TimeStarts(self, empty.path(), 0);
    const Starts oneScreen = TimeStarts(self, small.path(), 40);
    const Starts cold = TimeStarts(self, full.path(), 100000, true);
    const Starts big = TimeStarts(self, full.path(), 100000);
    ReportStarts("no project", none);
    ReportStarts("40-page project", oneScreen);
    ReportStarts("100000-page project, widths not remembered", cold);
    ReportStarts("100000-page project", big);
    std::printf("ratio of the medians, 100000 pages / no project, window shown with the list filled: %.2f\n",
                Median(big.shown) / Median(none.shown));
    std::printf("ratio of the medians, 100000 pages / no project, list painted with its pages: %.2f\n",
                Median(big.painted) / Median(none.painted));
    // Both draw the same screen of captions: what the show's size costs.
    std::printf("ratio of the medians, 100000 pages / 40 pages, list painted with its pages: %.2f\n",
                Median(big.painted) / Median(oneScreen.painted));
    return 0;
}
