// Import of a million-line GBK scenario into the page store and the rebuilt
// page list, and one insert and one delete in it: min, median and p99 of
// five runs each.
#include "app/PageListModel.h"
#include "app/PageStore.h"

#include <QElapsedTimer>
#include <QGuiApplication>
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

void Report(const char *name, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const size_t p99 = std::min(ms.size() - 1, size_t(ms.size() * 0.99));
    std::printf("%s: min=%.3f median=%.3f p99=%.3f ms\n", name, ms.front(), ms[ms.size() / 2], ms[p99]);
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
    return 0;
}
