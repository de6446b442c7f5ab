#include "render/ScenarioCheck.h"

#include "render/Faces.h"
#include "render/TextFace.h"

#include <algorithm>
#include <climits>

#include <optional>

namespace {
// One display's face with the page font, prepared once for every page.
struct DisplayFace {
    QString name;   // "横屏" or "竖屏"
    TTextFace face;
};

// Whether the text colour lights anything in the colour mode: the packer's
// own thresholds decide.
bool ColourLights(int32_t colour, int colorMode)
{
    QImage sample(8, 1, QImage::Format_RGB32);
    sample.fill(NearestPaletteColour(ColorRefToRgb(colour)));
    return LitPicture(sample, colorMode).pixel(0, 0) != qRgb(0, 0, 0);
}

QString Characters(const QString &missing)
{
    QStringList shown;
    for (uint code : missing.toUcs4()) {
        const char32_t c = code;
        shown << (QChar::isPrint(c) ? QString::fromUcs4(&c, 1)
                                    : QStringLiteral("U+%1").arg(code, 4, 16, QLatin1Char('0')).toUpper());
    }
    return shown.join(QLatin1Char(' '));
}

// The picture rows (first, last) that the line's ink covers where the page
// puts it, above 0 and below the display's height included.
std::pair<int, int> InkRows(TTextFace &face, const TPageFont &font, const TPageRequest &displays,
                            const QString &text)
{
    const TTextFace::Line line = face.prepare(text);
    const TPageLayout layout = LayoutPage(face, line, font, displays.Width, displays.Height);
    const int margin = face.emPixels() + displays.Height;
    QImage canvas(std::max(layout.textWidth, 0) + 2 * margin, displays.Height + 2 * margin,
                  QImage::Format_RGB32);
    canvas.fill(Qt::black);
    face.draw(canvas, margin, layout.y + margin, line, qRgb(255, 0, 0));
    int first = INT_MAX, last = INT_MIN;
    for (int y = 0; y < canvas.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(canvas.constScanLine(y));
        if (std::any_of(row, row + canvas.width(), [](QRgb p) { return qRed(p) != 0; })) {
            first = std::min(first, y - margin);
            last = std::max(last, y - margin);
        }
    }
    return {first, last};
}

// What the font and displays do to every page.
QStringList ProjectReasons(std::vector<DisplayFace> &faces, const TPageFont &font,
                           const TPageRequest &displays, int minHeight)
{
    QStringList reasons;
    if (!ColourLights(font.Color, displays.ColorMode))
        reasons << (displays.ColorMode == 1 ? QStringLiteral("单色屏不能显示所选颜色，文字不亮")
                                            : QStringLiteral("所选颜色在双基色屏上不亮"));
    if (IsSymbolFace(faces.front().face.family()))
        reasons << QStringLiteral("字体“%1”是符号字体，文字显示为符号").arg(font.Name);
    if (font.Height == 0)
        return reasons;
    for (DisplayFace &display : faces) {
        // The ideographs that reach highest and lowest in their cells.
        const auto [first, last] = InkRows(display.face, font, displays, QStringLiteral("国龍鬱靈蠻"));
        if (display.face.emPixels() < minHeight)
            reasons << display.name
                           + QStringLiteral("字高%1像素，小于%2").arg(display.face.emPixels()).arg(minHeight);
        if (first < 0 || last >= displays.Height)
            reasons << display.name
                           + QStringLiteral("字被截去：需要高度%1像素，屏高%2")
                                 .arg(last - first + 1).arg(displays.Height);
    }
    return reasons;
}

QStringList PageReasons(std::vector<DisplayFace> &faces, const TPageFont &font,
                        const TPageRequest &displays, const QString &text, int minHeight)
{
    QStringList reasons;
    for (DisplayFace &display : faces) {
        const TTextFace::Line line = display.face.prepare(text);
        const TPageLayout layout =
            LayoutPage(display.face, line, font, displays.Width, displays.Height);
        if (font.Height == 0 && layout.size < minHeight)
            reasons << display.name + QStringLiteral("字高%1像素，小于%2").arg(layout.size).arg(minHeight);
        if (layout.textWidth > displays.Width)
            reasons << display.name
                           + QStringLiteral("放不下：需要宽度%1像素，屏宽%2")
                                 .arg(layout.textWidth).arg(displays.Width);
    }
    const QString missing = faces.front().face.missingCharacters(text);
    if (!missing.isEmpty())
        reasons << QStringLiteral("字体缺字（显示为方框）：") + Characters(missing);
    return reasons;
}
} // namespace

TScenarioCheck CheckScenario(const TPageFont &font, const TPageRequest &displays,
                             const QStringList &pages, const std::function<void(int)> &progress,
                             int minHeight)
{
    TScenarioCheck result;
    result.error = CheckDisplayGeometry(displays.Width, displays.Height, displays.ColorMode);
    if (!result.error.isEmpty())
        return result;
    std::vector<DisplayFace> faces;
    if (displays.PortraitOn)
        faces.push_back({QStringLiteral("竖屏"), TTextFace(QLatin1Char('@') + font.Name)});
    if (displays.LandscapeOn || displays.LandscapeDouble)
        faces.push_back({QStringLiteral("横屏"), TTextFace(font.Name)});
    if (faces.empty()) {
        result.error = QStringLiteral("工程未启用任何显示屏");
        return result;
    }
    result.projectProblems = ProjectReasons(faces, font, displays, minHeight);
    for (int i = 0; i < pages.size(); ++i) {
        if (progress && i % 256 == 0)
            progress(i);
        if (pages[i].trimmed().isEmpty())
            continue;
        const QStringList reasons = PageReasons(faces, font, displays, pages[i], minHeight);
        if (!reasons.isEmpty())
            result.problems.append({i, pages[i], reasons});
    }
    return result;
}

void AddCueTimeProblems(TScenarioCheck &check, const QStringList &pages, const std::vector<CueTime> &times)
{
    const CueTime *before = nullptr;
    for (size_t page = 0; page < times.size() && page < size_t(pages.size()); ++page) {
        if (before && times[page] == *before)
            continue;   // a further page of the same cue
        const QStringList reasons = CueOrderProblems(times[page], before);
        before = &times[page];
        if (reasons.isEmpty())
            continue;
        auto at = std::find_if(check.problems.begin(), check.problems.end(),
                               [&](const TPageProblem &p) { return p.page >= int(page); });
        if (at != check.problems.end() && at->page == int(page))
            at->reasons += reasons;
        else
            check.problems.insert(at, {int(page), pages[int(page)], reasons});
    }
}
