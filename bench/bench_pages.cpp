// Import of a 100,000-line scenario into the page store and the rebuilt page
// list, and one insert and one delete in it. Prints the figures.
#include "app/Gbk.h"
#include "app/PageListModel.h"
#include "app/PageStore.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QString texts[] = {
        QStringLiteral("第%1幕 欢迎来到剧场"),
        QStringLiteral("Scene %1: the curtain rises"),
        QStringLiteral("第%1句很长很长的台词，在二百五十六像素宽的显示屏上放不下，需要折成两幕以上来显示"),
        QStringLiteral("%1"),
    };
    QString scenario;
    for (int i = 0; i < 100000; ++i)
        scenario += texts[i % 4].arg(i) + QStringLiteral("\r\n");
    const QByteArray bytes = ToGbk(scenario);

    PageStore store;
    store.setWrapWidth(256 + 7);
    PageListModel model(store);
    QElapsedTimer timer;
    timer.start();
    store.load(bytes);
    model.RebuildPageList();
    const double importMs = timer.nsecsElapsed() / 1e6;

    timer.restart();
    const int at = store.insertAfterPage(50000, QStringLiteral("插入的一幕"));
    model.RebuildPageList();
    const double insertMs = timer.nsecsElapsed() / 1e6;

    timer.restart();
    store.deletePage(at);
    model.RebuildPageList();
    const double deleteMs = timer.nsecsElapsed() / 1e6;

    std::printf("import 100000 lines -> %d pages + rebuild: %.1f ms (target < 1000)\n",
                store.pageCount(), importMs);
    std::printf("insert one page: %.3f ms, delete one page: %.3f ms (target < 20)\n", insertMs,
                deleteMs);
    return 0;
}
