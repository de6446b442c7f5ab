// Page rendering speed: the automatic fit, drawing and packing of a page.
// Prints the best and the median time per call of each case, then the pages
// of a show: 400 distinct real lines, each drawn once, the first of them with
// nothing drawn before. Run it on a quiet machine (Release build).
#include "bench/BenchStats.h"
#include "app/Gbk.h"
#include "app/ProjectFile.h"
#include "render/TextFace.h"
#include "render/uRender.h"

#include <QElapsedTimer>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QRandomGenerator>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <functional>
#include <string>
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

// Caption lines of a show: 4 to 40 characters from the 6,763 common hanzi
// with punctuation, a speaker now and then, some English lines.
QStringList ShowLines(int count, quint32 seed)
{
    QRandomGenerator rng(seed);
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        if (rng.bounded(12) == 0) {
            lines << QStringLiteral("Scene %1: the curtain rises slowly").arg(i);
            continue;
        }
        QByteArray gbk = rng.bounded(3) == 0 ? QByteArray("\xcd\xf5\xa3\xba") : QByteArray();
        const int length = 4 + int(rng.bounded(37));
        for (int k = 0; k < length; ++k) {
            if (rng.bounded(8) == 0) {
                gbk += rng.bounded(2) ? "\xa3\xac" : "\xa1\xa3";
                continue;
            }
            const int lead = 0xB0 + int(rng.bounded(0xD8 - 0xB0));
            gbk += char(lead);
            gbk += char(0xA1 + int(rng.bounded(lead == 0xD7 ? 0xFA - 0xA1 : 0xFF - 0xA1)));
        }
        lines << FromGbk(gbk);
    }
    return lines;
}

double ThreadCpuMillis()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Wall-clock and thread CPU times of the page: on a busy machine the wall
// clock also counts the time other processes held the processor.
struct PageTimes {
    std::vector<double> wall, cpu;
    void add(const PageTimes &other)
    {
        wall.insert(wall.end(), other.wall.begin(), other.wall.end());
        cpu.insert(cpu.end(), other.cpu.begin(), other.cpu.end());
    }
};

void TimePage(const TPageFont &font, const TPageRequest &page, PageTimes &times)
{
    QByteArray portrait, landscape;
    QElapsedTimer timer;
    const double cpu = ThreadCpuMillis();
    timer.start();
    RenderPageFrames(font, page, portrait, landscape);
    times.wall.push_back(timer.nsecsElapsed() / 1e6);
    times.cpu.push_back(ThreadCpuMillis() - cpu);
}

// Five shows of 400 distinct lines on the worst display: 512 x 80, dual
// colour, a portrait and a double-sided landscape display. With prepareAhead
// the glyphs of a show's first page are drawn before it (as after an import)
// and those of the next page after each page (as while the operator waits),
// outside the timing. Returns the distinct pages and the first pages.
struct ShowTimes {
    PageTimes pages, firsts;
    std::vector<double> firstPreparations;
};
ShowTimes DistinctPages(const TPageFont &font, bool prepareAhead, quint32 seed)
{
    TPageRequest page;
    page.Width = 512;
    page.Height = 80;
    page.ColorMode = 2;
    page.PortraitOn = true;
    page.LandscapeDouble = true;
    ShowTimes times;
    for (int show = 0; show < 5; ++show) {
        const QStringList lines = ShowLines(400, seed + show);
        for (int i = 0; i < lines.size(); ++i) {
            page.Text = lines[i];
            if (prepareAhead && i == 0) {
                QElapsedTimer timer;
                timer.start();
                PreparePageGlyphs(font, page);
                times.firstPreparations.push_back(timer.nsecsElapsed() / 1e6);
            }
            TimePage(font, page, i == 0 ? times.firsts : times.pages);
            if (prepareAhead && i + 1 < lines.size()) {
                page.Text = lines[i + 1];
                PreparePageGlyphs(font, page);
            }
        }
    }
    return times;
}

void Print(const std::string &name, const std::vector<double> &ms)
{
    Report(name.c_str(), ms);
}

void PrintShows(const std::string &name, const ShowTimes &times)
{
    Print("distinct pages, " + name + " (5 x 399)", times.pages.wall);
    Print("distinct pages, " + name + " (5 x 399, thread CPU)", times.pages.cpu);
    Print("first page of a show, " + name + " (5)", times.firsts.wall);
    Print("first page of a show, " + name + " (5, thread CPU)", times.firsts.cpu);
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
    // First, so that its first page is the first this program draws.
    const auto prepared = DistinctPages(font, true, 1000);
    const auto unprepared = DistinctPages(font, false, 2000);

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
    std::printf("\nShows of 400 distinct lines on 512 x 80, dual colour, portrait + double-sided\n");
    PrintShows("glyphs drawn when the page goes out", unprepared);
    PrintShows("next page prepared while the operator waits", prepared);
    std::printf("preparing the first page after the import: first of the program %.3f ms, then ",
                prepared.firstPreparations.front());
    Print("later shows", std::vector<double>(prepared.firstPreparations.begin() + 1,
                                             prepared.firstPreparations.end()));
    const Stats pages = Summary(prepared.pages.wall);
    std::printf("distinct pages 512x80 dual portrait+double: median=%.3f ms p99=%.3f ms cold-first=%.3f ms\n",
                pages.median, pages.p99, prepared.firsts.wall.front());
    return 0;
}
