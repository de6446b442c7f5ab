// Page rendering speed: the automatic fit, drawing and packing of a page.
// Prints the best and the median time per call of each case; run it a few
// times on a quiet machine (Release build).
#include "app/ProjectFile.h"
#include "render/TextFace.h"
#include "render/uRender.h"

#include <QElapsedTimer>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
// Microseconds per call: best and median of rounds of calls.
void Time(const char *name, int callsPerRound, const std::function<void()> &call)
{
    for (int i = 0; i < 5; ++i)
        call();   // warm the font and glyph caches
    std::vector<double> rounds;
    for (int round = 0; round < 15; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < callsPerRound; ++i)
            call();
        rounds.push_back(timer.nsecsElapsed() / 1000.0 / callsPerRound);
    }
    std::sort(rounds.begin(), rounds.end());
    std::printf("%-58s best %9.1f us   median %9.1f us\n", name, rounds.front(),
                rounds[rounds.size() / 2]);
}

// The fit as a plain Qt program writes it: a font per size, the line measured
// at every spacing.
TFit FitWithFontMetrics(const QString &family, const QString &text, int height, int limit)
{
    for (int size = height; size >= 8; --size) {
        QFont font(family);
        font.setPixelSize(size);
        font.setStyleStrategy(QFont::NoAntialias);
        for (int extra = size / 2; extra >= 0; --extra) {
            font.setLetterSpacing(QFont::AbsoluteSpacing, extra);
            if (QFontMetrics(font).horizontalAdvance(text) <= limit)
                return {size, extra};
        }
    }
    return {7, -1};
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    TPageFont font;
    font.Name = QStringLiteral("宋体");
    font.Align = 1;
    const QString worst = QString(120, QChar(0x4E2D));   // fits at no size
    const QString typical = QStringLiteral("第三幕 王：你来得正好，坐下说话。");

    std::printf("Worst case: 120 characters on 512 x 80 (no size fits)\n");
    TTextFace face(font.Name);
    const TTextFace::Line line = face.prepare(worst);
    const TFaceMeasurer measurer(face, line);
    Time("fit, one measurement per size (73)", 200, [&] { FitAutomatic(measurer, 80, 512); });
    Time("fit, every size and spacing (1,661 measurements)", 200,
         [&] { FitAutomaticByScan(measurer, 80, 512); });
    Time("fit, QFont + QFontMetrics per measurement (1,661)", 3,
         [&] { FitWithFontMetrics(QStringLiteral("AR PL UMing CN"), worst, 80, 512); });

    TPageRequest page;
    page.Width = 512;
    page.Height = 80;
    page.ColorMode = 2;
    page.LandscapeDouble = true;
    page.Text = worst;
    QByteArray portrait, landscape;
    Time("page: fit + draw + pack, dual colour, double-sided 1024 x 80", 100,
         [&] { RenderPageFrames(font, page, portrait, landscape); });

    std::printf("\nTypical page: \"%s\" on 256 x 32, single colour\n", typical.toUtf8().constData());
    page.Width = 256;
    page.Height = 32;
    page.ColorMode = 1;
    page.LandscapeDouble = false;
    page.LandscapeOn = true;
    page.Text = typical;
    Time("page: landscape display", 200, [&] { RenderPageFrames(font, page, portrait, landscape); });
    page.PortraitOn = true;
    Time("page: portrait and landscape display (default project)", 200,
         [&] { RenderPageFrames(font, page, portrait, landscape); });
    return 0;
}
