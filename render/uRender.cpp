#include "render/uRender.h"

#include "render/TextRaster.h"
#include "render/uPack.h"

#include <cstring>

TPageFont TPageFont::FromRecord(const TProjectRecord &record)
{
    TPageFont font;
    font.FontName = record.FontName.text();
    font.FontColor = record.FontColor;
    font.FontHeight = record.FontHeight;
    font.FontWidth = record.FontWidth;
    font.TextAlign = record.TextAlign;
    return font;
}

int FitExtra(int maxExtra, int limit, int characters, int widthAtNoExtra)
{
    if (widthAtNoExtra > limit)
        return -1;
    if (characters <= 0)
        return qMax(0, maxExtra);
    return qMin(maxExtra, (limit - widthAtNoExtra) / characters);
}

TFit FitAutomatic(int height, int limit, int characters,
                  const std::function<int(int size)> &widthAtNoExtra)
{
    for (int s = height; s >= MinFitSize; --s) {
        const int e = FitExtra(s / 2, limit, characters, widthAtNoExtra(s));
        if (e >= 0)
            return {s, e};
    }
    return {MinFitSize - 1, -1};
}

TFit FitAutomaticByMeasuring(int height, int limit,
                             const std::function<int(int size, int extra)> &width)
{
    for (int s = height; s >= MinFitSize; --s)
        for (int e = s / 2; e >= 0; --e)
            if (width(s, e) <= limit)
                return {s, e};
    return {MinFitSize - 1, -1};
}

int AlignedX(uint8_t textAlign, int displayWidth, int textWidth)
{
    switch (textAlign) {
    case 1:
        return (displayWidth - textWidth) / 2;
    case 2:
        return displayWidth - textWidth;
    default:
        return 0;
    }
}

uint8_t PortraitEffect(uint8_t effect)
{
    static const uint8_t turned[] = {0, 3, 4, 2, 1};
    return effect < sizeof(turned) ? turned[effect] : 1;
}

TLineLayout LayOutLine(TextRaster &raster, const TPageFont &font, int width, int height,
                       const QString &text)
{
    const int characters = TextRaster::characterCount(text);
    TLineLayout line{};
    if (font.FontHeight == 0) {
        const TFit fit = FitAutomatic(height, width, characters, [&](int size) {
            raster.setCharHeight(size);
            return raster.naturalWidth(text);
        });
        raster.setCharHeight(fit.size);
        line.size = fit.size;
        line.extra = fit.extra;
    } else {
        raster.setCellHeight(font.FontHeight, font.FontWidth >> 1);
        line.size = font.FontHeight;
        line.extra =
            FitExtra(font.FontHeight >> 1, width, characters, raster.naturalWidth(text));
    }
    raster.setExtra(line.extra);
    line.y = (height - line.size) / 2;
    line.width = raster.width(text);
    line.x = AlignedX(font.TextAlign, width, line.width);
    return line;
}

namespace {

// The colour reference keeps red in the low byte.
QRgb TextColour(int32_t colourRef)
{
    const auto v = uint32_t(colourRef);
    return qRgb(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

void CopyLeftFaceRight(QImage &picture, int faceWidth)
{
    for (int y = 0; y < picture.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        std::memcpy(line + faceWidth, line, size_t(faceWidth) * sizeof(QRgb));
    }
}

} // namespace

QImage DrawPage(const TPageFont &font, TDisplay display, int width, int height,
                const QString &text)
{
    const bool doubleSided = display == TDisplay::Double;
    QImage picture(doubleSided ? 2 * width : width, height, QImage::Format_RGB32);
    picture.fill(Qt::black);
    const QString face =
        display == TDisplay::Portrait ? QLatin1Char('@') + font.FontName : font.FontName;
    TextRaster raster(face);
    const TLineLayout line = LayOutLine(raster, font, width, height, text);
    if (!text.isEmpty())
        raster.draw(picture, line.x, line.y, text, TextColour(font.FontColor));
    if (doubleSided)
        CopyLeftFaceRight(picture, width);
    return picture;
}

QByteArray BuildPageFrame(const QImage &picture, TDisplay display, int colorMode, uint8_t effect,
                          uint8_t runSpeed, uint8_t showTime)
{
    if ((colorMode != 1 && colorMode != 2) || picture.isNull() || picture.width() % 8 != 0)
        return QByteArray();   // no frame rather than planes that were never packed
    const int plane = PlaneBytes(picture.width(), picture.height());
    const int planes = colorMode == 2 ? 2 : 1;
    QByteArray frame(6 + planes * plane + 1, char(0xFF));
    auto *bytes = reinterpret_cast<uint8_t *>(frame.data());
    const bool portrait = display == TDisplay::Portrait;
    bytes[0] = portrait ? AddrPortrait : AddrLandscape;
    bytes[1] = CmdPage;
    bytes[2] = portrait ? PortraitEffect(effect) : effect;
    bytes[3] = 0;
    bytes[4] = runSpeed;
    bytes[5] = showTime;
    PackBitmap(picture, picture.width(), picture.height(), colorMode, bytes + 6, bytes + 6 + plane);
    bytes[frame.size() - 1] = FrameEnd;
    return frame;
}

TPageRequest PageRequestFor(const TProjectRecord &record, const QString &text, uint8_t effect,
                            uint8_t runSpeed, uint8_t showTime)
{
    return TPageRequest{record.ScreenWidth,     record.ScreenHeight,     record.ColorMode,
                        record.PortraitOn == 1, record.LandscapeOn == 1, record.LandscapeDouble == 1,
                        text,                   effect,                  runSpeed,
                        showTime};
}

QString RenderPageFrames(const TPageFont &font, const TPageRequest &request,
                         QByteArray &portraitFrame, QByteArray &landscapeFrame)
{
    const QString error = FrameGeometryError(request.width, request.height, request.colorMode);
    if (!error.isEmpty())
        return error;
    // A picture the memory could not hold gives no frame: the slot keeps its
    // content and the command sends nothing.
    auto render = [&](TDisplay display, QByteArray &slot) {
        const QImage picture = DrawPage(font, display, request.width, request.height, request.text);
        QByteArray frame = BuildPageFrame(picture, display, request.colorMode, request.effect,
                                          request.runSpeed, request.showTime);
        if (frame.isEmpty())
            return false;
        slot = frame;
        return true;
    };
    const QString noMemory = QStringLiteral("内存不足，无法生成显示屏数据，未发送");
    if (request.portraitOn && !render(TDisplay::Portrait, portraitFrame))
        return noMemory;
    if (request.landscapeOn && !render(TDisplay::Landscape, landscapeFrame))
        return noMemory;
    if (!request.landscapeOn && request.landscapeDouble && !render(TDisplay::Double, landscapeFrame))
        return noMemory;
    return QString();
}
