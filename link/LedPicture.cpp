#include "link/LedPicture.h"

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

QImage DrawLeds(const QImage &picture, int pitch)
{
    QImage leds(picture.width() * pitch, picture.height() * pitch, QImage::Format_RGB32);
    leds.fill(Qt::black);
    QPainter painter(&leds);
    painter.setRenderHint(QPainter::Antialiasing, pitch >= 4);
    painter.setPen(Qt::NoPen);
    const qreal diameter = pitch >= 3 ? pitch - 1 : pitch;
    const QColor dark(40, 40, 40);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb c = picture.pixel(x, y) & 0xFFFFFF;
            painter.setBrush(c ? QColor(c) : dark);
            painter.drawEllipse(QRectF(x * pitch, y * pitch, diameter, diameter));
        }
    return leds;
}
