#include "sim/LedPicture.h"

#include "render/uRender.h"

#include <QPainter>

QVector<QImage> AudienceFaces(const QImage &picture, bool portrait, bool doubleSided)
{
    if (portrait)
        return {TurnClockwise(picture)};
    if (doubleSided) {
        const int half = picture.width() / 2;
        return {picture.copy(0, 0, half, picture.height()),
                picture.copy(half, 0, picture.width() - half, picture.height())};
    }
    return {picture};
}

namespace {
// A dark LED is dim grey, so the display's shape shows.
QRgb LedColour(QRgb pixel)
{
    return (pixel & 0xFFFFFF) ? (pixel | 0xFF000000) : qRgb(40, 40, 40);
}
} // namespace

QImage DrawLeds(const QImage &picture, int pitch)
{
    // A circle one pixel wide draws nothing: such LEDs are single pixels.
    if (pitch <= 1) {
        QImage pixels(picture.size(), QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                pixels.setPixel(x, y, LedColour(picture.pixel(x, y)));
        return pixels;
    }
    QImage leds(picture.width() * pitch, picture.height() * pitch, QImage::Format_RGB32);
    leds.fill(Qt::black);
    QPainter painter(&leds);
    painter.setRenderHint(QPainter::Antialiasing, pitch >= 4);
    painter.setPen(Qt::NoPen);
    const qreal diameter = pitch >= 3 ? pitch - 1 : pitch;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            painter.setBrush(QColor(LedColour(picture.pixel(x, y))));
            painter.drawEllipse(QRectF(x * pitch, y * pitch, diameter, diameter));
        }
    return leds;
}
