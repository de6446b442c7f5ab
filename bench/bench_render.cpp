// Rendering speed: the automatic fit, drawing and packing of page frames, and
// the fit measuring every size and spacing pair beside it.
#include "render/TextRaster.h"
#include "render/uRender.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <cstdio>
#include <functional>

namespace {
// Mean milliseconds per call over enough calls to fill about half a second.
double MeanMs(const std::function<void()> &call)
{
    call();   // faces and glyphs loaded once, as in a running show
    QElapsedTimer timer;
    timer.start();
    int calls = 0;
    do {
        call();
        ++calls;
    } while (timer.nsecsElapsed() < 500000000LL);
    return timer.nsecsElapsed() / 1e6 / calls;
}


double PageMs(const TPageRequest &request)
{
    TPageFont font;
    font.FontName = QStringLiteral("宋体");
    QByteArray portrait, landscape;
    return MeanMs([&] { RenderPageFrames(font, request, portrait, landscape); });
}

// The fit alone on the real rasteriser, once per size or once per pair.
void FitFigures(int height, int width, const QString &text)
{
    TextRaster raster(QStringLiteral("宋体"));
    const int characters = TextRaster::characterCount(text);
    const double fast = MeanMs([&] {
        FitAutomatic(height, width, characters, [&](int s) {
            raster.setCharHeight(s);
            return raster.naturalWidth(text);
        });
    });
    int lastSize = -1;
    const double naive = MeanMs([&] {
        FitAutomaticByMeasuring(height, width, [&](int s, int e) {
            if (s != lastSize)
                raster.setCharHeight(s);   // a new font for each size
            lastSize = s;
            raster.setExtra(e);
            return raster.width(text);
        });
        lastSize = -1;
    });
    std::printf("fit only, %d x %d, %d characters: one measurement per size %.3f ms, "
                "every pair %.3f ms\n",
                width, height, characters, fast, naive);
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    // Fits nowhere: wider than 512 pixels even at size 8 without spacing.
    const QString tooWide = QString(70, QChar(0x5B57)) + QStringLiteral("ABC");
    const QString typical = QStringLiteral("第一幕 春风又绿江南岸");

    FitFigures(80, 512, tooWide);
    FitFigures(32, 256, tooWide);
    std::printf("worst case 512 x 80 dual colour double-sided page (target < 2 ms): %.3f ms\n",
                PageMs(TPageRequest{512, 80, 2, false, false, true, tooWide}));
    std::printf("typical 256 x 32 single colour landscape page (target < 0.5 ms): %.3f ms\n",
                PageMs(TPageRequest{256, 32, 1, false, true, false, typical}));
    std::printf("typical 256 x 32 dual colour portrait + landscape pages: %.3f ms\n",
                PageMs(TPageRequest{256, 32, 2, true, true, false, typical}));
    std::printf("worst case 512 x 80 portrait page: %.3f ms\n",
                PageMs(TPageRequest{512, 80, 2, true, false, false, tooWide}));
    std::printf("damaged project, 2048 x 1024 dual colour double-sided page: %.3f ms\n",
                PageMs(TPageRequest{2048, 1024, 2, false, false, true, tooWide + tooWide}));
    return 0;
}
