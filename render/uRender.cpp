#include "render/uRender.h"

#include "sim/ControllerSimulator.h"
#include "render/uPack.h"

#include <algorithm>
#include <cstring>

QString CheckDisplaySize(int width, int height)
{
    if (width < 8 || width > MaxDisplayWidth || width % 8 != 0)
        return QStringLiteral("屏宽%1无效（应为8～%2且为8的倍数），未生成显示画面")
            .arg(width).arg(MaxDisplayWidth);
    if (height < 8 || height > MaxDisplayHeight)
        return QStringLiteral("屏高%1无效（应为8～%2），未生成显示画面").arg(height).arg(MaxDisplayHeight);
    return QString();
}

QString CheckDisplayGeometry(int width, int height, int colorMode)
{
    if (colorMode != 1 && colorMode != 2)
        return QStringLiteral("颜色模式%1无效（应为单色或双基色），未生成显示画面").arg(colorMode);
    return CheckDisplaySize(width, height);
}

TPageFont PageFontOf(const TProjectRecord &record)
{
    TPageFont font;
    font.Name = record.FontName.text();
    font.Color = record.FontColor;
    font.Height = record.FontHeight;
    font.Width = record.FontWidth;
    font.Align = record.TextAlign;
    return font;
}

TPageRequest PageRequestOf(const TProjectRecord &record, const QString &text, uint8_t effect,
                           uint8_t runSpeed, uint8_t showTime)
{
    TPageRequest request;
    request.Width = record.ScreenWidth;
    request.Height = record.ScreenHeight;
    request.ColorMode = record.ColorMode;
    request.PortraitOn = record.PortraitOn == 1;
    request.LandscapeOn = record.LandscapeOn == 1;
    request.LandscapeDouble = record.LandscapeDouble == 1;
    request.Text = text;
    request.Effect = effect;
    request.RunSpeed = runSpeed;
    request.ShowTime = showTime;
    return request;
}

// --- The fit -----------------------------------------------------------------

int FitExtra(int width0, int characters, int maxExtra, int limit)
{
    if (width0 > limit || maxExtra < 0)
        return -1;
    if (characters <= 0)
        return maxExtra;   // spacing changes nothing: the first try fits
    return std::min(maxExtra, (limit - width0) / characters);
}

TFit FitAutomatic(const TFitMeasurer &measurer, int height, int limit)
{
    for (int size = height; size >= 8; --size) {
        const int extra = FitExtra(measurer.width(size, 0), measurer.characters(), size / 2, limit);
        if (extra >= 0)
            return {size, extra};
    }
    return {7, -1};
}

TFit FitAutomaticByScan(const TFitMeasurer &measurer, int height, int limit)
{
    for (int size = height; size >= 8; --size)
        for (int extra = size / 2; extra >= 0; --extra)
            if (measurer.width(size, extra) <= limit)
                return {size, extra};
    return {7, -1};
}

int TFaceMeasurer::width(int size, int extra) const
{
    m_face.setCharHeight(size);
    m_face.setExtra(extra);
    return m_face.width(m_line);
}

namespace {
int AlignedX(uint8_t align, int width, int textWidth)
{
    switch (align) {
    case 1: return (width - textWidth) / 2;
    case 2: return width - textWidth;
    default: return 0;
    }
}
} // namespace

TPageLayout LayoutPage(TTextFace &face, const TTextFace::Line &line, const TPageFont &font,
                       int width, int height)
{
    TPageLayout layout{};
    if (font.Height == 0) {
        const TFit fit = FitAutomatic(TFaceMeasurer(face, line), height, width);
        face.setCharHeight(fit.size);
        layout.size = fit.size;
        layout.extra = fit.extra;
    } else {
        face.setCellHeight(font.Height, font.Width >> 1);
        face.setExtra(0);
        layout.size = font.Height;
        layout.extra = FitExtra(face.width(line), line.characters(), font.Height >> 1, width);
    }
    face.setExtra(layout.extra);
    layout.textWidth = face.width(line);
    layout.x = AlignedX(font.Align, width, layout.textWidth);
    layout.y = (height - layout.size) / 2;
    return layout;
}

// --- Pictures and frames -------------------------------------------------------

namespace {
// The portrait display writes vertically.
QString FaceNameFor(const TPageFont &font, TDisplayKind kind)
{
    return kind == TDisplayKind::Portrait ? QLatin1Char('@') + font.Name : font.Name;
}
} // namespace

QImage DrawPage(const TPageFont &font, int width, int height, TDisplayKind kind,
                const QString &text)
{
    const bool doubleSided = kind == TDisplayKind::LandscapeDouble;
    QImage picture(doubleSided ? 2 * width : width, height, QImage::Format_RGB32);
    picture.fill(Qt::black);
    TTextFace face(FaceNameFor(font, kind));
    const TTextFace::Line line = face.prepare(text);
    const TPageLayout layout = LayoutPage(face, line, font, width, height);
    face.draw(picture, layout.x, layout.y, line, ColorRefToRgb(font.Color));
    if (doubleSided)
        for (int y = 0; y < height; ++y) {
            uchar *row = picture.scanLine(y);
            std::memcpy(row + width * sizeof(QRgb), row, width * sizeof(QRgb));
        }
    return picture;
}

void PreparePageGlyphs(const TPageFont &font, const TPageRequest &request)
{
    if (!CheckDisplayGeometry(request.Width, request.Height, request.ColorMode).isEmpty())
        return;
    const auto prepare = [&](TDisplayKind kind) {
        TTextFace face(FaceNameFor(font, kind));
        const TTextFace::Line line = face.prepare(request.Text);
        LayoutPage(face, line, font, request.Width, request.Height);
        face.prepareGlyphs(line);
    };
    if (request.PortraitOn)
        prepare(TDisplayKind::Portrait);
    // Both landscape kinds draw the same face at the same size.
    if (request.LandscapeOn || request.LandscapeDouble)
        prepare(TDisplayKind::Landscape);
}

QImage LitPicture(const QImage &picture, int colorMode)
{
    // The planes themselves, so the preview can never differ from the frame.
    const QByteArray frame = BuildPageFrame(0, 0, 0, 0, picture, colorMode);
    if (frame.isEmpty())
        return QImage();
    return UnpackPlanes(reinterpret_cast<const uint8_t *>(frame.constData()) + 6,
                        {picture.width(), picture.height(), colorMode});
}

QImage TurnClockwise(const QImage &picture)
{
    return picture.transformed(QTransform().rotate(90));
}

uint8_t PortraitEffect(uint8_t effect)
{
    static const uint8_t turned[] = {0, 3, 4, 2};
    return effect < sizeof turned ? turned[effect] : 1;
}

QByteArray BuildPageFrame(uint8_t address, uint8_t effect, uint8_t runSpeed, uint8_t showTime,
                          const QImage &picture, int colorMode)
{
    // A picture the memory could not hold gives no frame rather than one
    // without planes.
    if ((colorMode != 1 && colorMode != 2) || picture.isNull())
        return QByteArray();
    const int plane = (picture.width() / 8) * picture.height();
    QByteArray frame(6 + colorMode * plane + 1, char(0xFF));
    uint8_t *bytes = reinterpret_cast<uint8_t *>(frame.data());
    bytes[0] = address;
    bytes[1] = CmdPage;
    bytes[2] = effect;
    bytes[3] = 0;
    bytes[4] = runSpeed;
    bytes[5] = showTime;
    PackBitmap(picture.width(), picture.height(), colorMode, picture, bytes + 6,
               colorMode == 2 ? bytes + 6 + plane : nullptr);
    bytes[frame.size() - 1] = FrameEnd;
    return frame;
}

QString RenderPageFrames(const TPageFont &font, const TPageRequest &request,
                         QByteArray &portraitFrame, QByteArray &landscapeFrame)
{
    const bool landscape = request.LandscapeOn || request.LandscapeDouble;
    const QString error = CheckDisplayGeometry(request.Width, request.Height, request.ColorMode);
    if (!error.isEmpty()) {
        if (request.PortraitOn)
            portraitFrame.clear();
        if (landscape)
            landscapeFrame.clear();
        return error;
    }
    const auto build = [&](uint8_t address, uint8_t effect, TDisplayKind kind) {
        return BuildPageFrame(address, effect, request.RunSpeed, request.ShowTime,
                              DrawPage(font, request.Width, request.Height, kind, request.Text),
                              request.ColorMode);
    };
    const QString noMemory = QStringLiteral("内存不足，未生成显示画面");
    if (request.PortraitOn) {
        portraitFrame = build(AddrPortrait, PortraitEffect(request.Effect), TDisplayKind::Portrait);
        if (portraitFrame.isEmpty())
            return noMemory;
    }
    if (landscape) {
        landscapeFrame = build(AddrLandscape, request.Effect,
                               request.LandscapeOn ? TDisplayKind::Landscape
                                                   : TDisplayKind::LandscapeDouble);
        if (landscapeFrame.isEmpty())
            return noMemory;
    }
    return QString();
}
