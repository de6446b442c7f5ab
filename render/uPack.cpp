#include "render/uPack.h"

#include "app/Struct.h"

#include <QImage>

namespace {
// Red lit sets bit 1, green lit bit 0.
inline unsigned PixelCode(QRgb pixel)
{
    return (qRed(pixel) >= 128 ? 2u : 0u) | (qGreen(pixel) >= 128 ? 1u : 0u);
}

// Reads pixels of one row: straight from the scan line where the format allows.
class RowReader {
public:
    RowReader(const QImage &canvas, int y)
        : m_canvas(canvas), m_y(y), m_inside(y >= 0 && y < canvas.height())
    {
        const QImage::Format f = canvas.format();
        if (m_inside && (f == QImage::Format_RGB32 || f == QImage::Format_ARGB32))
            m_line = reinterpret_cast<const QRgb *>(canvas.constScanLine(y));
    }
    QRgb at(int x) const
    {
        if (!m_inside || x >= m_canvas.width())
            return 0;
        return m_line ? m_line[x] : m_canvas.pixel(x, m_y);
    }

private:
    const QImage &m_canvas;
    int m_y;
    bool m_inside;
    const QRgb *m_line = nullptr;
};

// A row of 32-bit pixels wholly inside the picture, eight pixels a byte with
// no call or bounds check per pixel: a bit is set where the channel is dark.
void PackDirectRow(const QRgb *line, int groups, int colorMode, uint8_t *&redDest, uint8_t *&greenDest)
{
    for (int b = 0; b < groups; ++b, line += 8) {
        unsigned red = 0, green = 0;
        for (int j = 0; j < 8; ++j) {
            red = (red << 1) | ((~line[j] >> 23) & 1u);
            green = (green << 1) | ((~line[j] >> 15) & 1u);
        }
        *redDest++ = uint8_t(red);
        if (colorMode == 2)
            *greenDest++ = uint8_t(green);
    }
}
} // namespace

void PackBitmap(int width, int height, int colorMode, const QImage &canvas, uint8_t *redDest,
                uint8_t *greenDest)
{
    if (colorMode != 1 && colorMode != 2)
        return;
    const int groups = width / 8;
    const QImage::Format format = canvas.format();
    const bool direct = (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32)
                        && 8 * groups <= canvas.width();
    for (int y = 0; y < height; ++y) {
        if (direct && y < canvas.height()) {
            PackDirectRow(reinterpret_cast<const QRgb *>(canvas.constScanLine(y)), groups, colorMode,
                          redDest, greenDest);
            continue;
        }
        const RowReader row(canvas, y);
        for (int b = 0; b < groups; ++b) {
            uint16_t word = 0;
            for (int j = 0; j < 8; ++j)
                word |= uint16_t(PixelCode(row.at(8 * b + 7 - j)) << (2 * j));
            if (colorMode == 1) {
                *redDest++ = PackOddBits(word);
            } else {
                const uint16_t planes = DeinterleaveBits(word);
                *redDest++ = uint8_t(planes >> 8);
                *greenDest++ = uint8_t(planes & 0xFF);
            }
        }
    }
}
