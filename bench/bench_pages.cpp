// Import of a million-line GBK scenario into the page store and the rebuilt
// page list, and one insert and one delete in it: min, median and p99 of
// five runs each. For scale, the same file through `velmora-cli pages
// --count` and through iconv, each a process of its own.
#include "bench/BenchStats.h"
#include "app/PageListModel.h"
#include "app/PageStore.h"

#include <QElapsedTimer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
// Caption lines as a scenario holds them: a speaker now and then, 6 to 26
// characters drawn from the 6,763 common hanzi with full-width punctuation,
// some scene headings and English lines.
QByteArray Scenario(int lines)
{
    QRandomGenerator rng(19);
    const char *const punctuation[] = {"\xa3\xac", "\xa1\xa3", "\xa3\xa1", "\xa3\xbf", "\xa3\xba"};
    QByteArray bytes;
    bytes.reserve(lines * 36);
    for (int i = 0; i < lines; ++i) {
        const int kind = int(rng.bounded(20));
        if (kind == 0) {
            bytes += "Scene " + QByteArray::number(i) + ": the curtain rises";
        } else {
            if (kind < 10)
                bytes += "\xcd\xf5\xa3\xba";   // 王：
            const int length = 6 + int(rng.bounded(21));
            for (int k = 0; k < length; ++k) {
                if (rng.bounded(10) == 0) {
                    bytes += punctuation[rng.bounded(5)];
                    continue;
                }
                const int lead = 0xB0 + int(rng.bounded(0xF8 - 0xB0));
                const int trail = 0xA1 + int(rng.bounded(lead == 0xD7 ? 0xFA - 0xA1 : 0xFF - 0xA1));
                bytes += char(lead);
                bytes += char(trail);
            }
        }
        bytes += "\r\n";
    }
    return bytes;
}

double Millis(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const int lines = 1000000;
    const QByteArray bytes = Scenario(lines);
    std::printf("scenario: %d GBK lines, %.1f MB\n", lines, bytes.size() / 1e6);
    std::vector<double> import, insert, remove;
    int pages = 0;
    for (int run = 0; run < 5; ++run) {
        PageStore store;
        store.setWrapWidth(256 + 7);
        PageListModel model(store);
        import.push_back(Millis([&] {
            store.load(bytes);
            model.RebuildPageList();
        }));
        pages = store.pageCount();
        int at = 0;
        insert.push_back(Millis([&] {
            at = store.insertAfterPage(pages / 2, QStringLiteral("插入的一幕"));
            model.RebuildPageList();
        }));
        remove.push_back(Millis([&] {
            store.deletePage(at);
            model.RebuildPageList();
        }));
    }
    std::printf("pages: %d\n", pages);
    Report("import 1000000 lines + list rebuild", import);
    Report("insert one page", insert);
    Report("delete one page", remove);

    QTemporaryFile file;
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        return 1;
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../velmora-cli");
    const auto processes = [&](const QString &program, const QStringList &arguments) {
        std::vector<double> ms;
        for (int run = 0; run < 5; ++run) {
            QProcess process;
            process.setStandardOutputFile(QProcess::nullDevice());
            ms.push_back(Millis([&] {
                process.start(program, arguments);
                process.waitForFinished(60000);
            }));
        }
        return ms;
    };
    const std::vector<double> iconv =
        processes(QStringLiteral("iconv"), {QStringLiteral("-f"), QStringLiteral("GBK"), QStringLiteral("-t"),
                                            QStringLiteral("UTF-8"), file.fileName()});
    Report("iconv -f GBK -t UTF-8, same file", iconv);
    if (QFileInfo::exists(cli)) {
        const std::vector<double> count = processes(
            cli, {QStringLiteral("pages"), QStringLiteral("--count"), QStringLiteral("--scenario"), file.fileName()});
        Report("velmora-cli pages --count, same file", count);
        std::printf("ratio of the medians, pages --count / iconv: %.2f\n",
                    Median(count) / Median(iconv));
    }
    return 0;
}
