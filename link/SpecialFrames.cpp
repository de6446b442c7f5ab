#include "link/SpecialFrames.h"

#include "app/Struct.h"

#include <cstring>

int TempSegmentCount(int textWidth, int displayWidth)
{
    return textWidth / displayWidth + (textWidth % displayWidth ? 1 : 0);
}

QImage TempSegment(const QImage &text, int k, int displayWidth, bool doubleSided)
{
    // The text picture is drawn in RGB32; anything else is converted (a copy).
    const QImage source =
        text.format() == QImage::Format_RGB32 ? text : text.convertToFormat(QImage::Format_RGB32);
    const int height = source.height();
    QImage segment(doubleSided ? 2 * displayWidth : displayWidth, height, QImage::Format_RGB32);
    segment.fill(Qt::black);
    const int first = k * displayWidth;
    const int columns = qBound(0, source.width() - first, displayWidth);
    const size_t bytes = size_t(columns) * sizeof(QRgb);
    if (columns == 0)
        return segment;
    for (int y = 0; y < height; ++y) {
        const uchar *from = source.constScanLine(y) + size_t(first) * sizeof(QRgb);
        uchar *row = segment.scanLine(y);
        std::memcpy(row, from, bytes);
        if (doubleSided)
            std::memcpy(row + size_t(displayWidth) * sizeof(QRgb), from, bytes);
    }
    return segment;
}

void StoreTempMessage(TProjectRecord &record, const TTempMessage &message)
{
    record.TempText.setText(message.Text);
    record.TempFontName.setText(message.FontName);
    record.TempFontColor = message.FontColor;
    record.TempFontHeight = message.FontHeight;
    record.TempStunt = message.Stunt;
    record.TempRunSpeed = message.RunSpeed;
    record.TempShowTime = message.ShowTime;
}
