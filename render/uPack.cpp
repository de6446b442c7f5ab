#include "render/uPack.h"

#include "app/Struct.h"

namespace {

// The 2-bit pixel code: red bit 1, green bit 0.
inline uint16_t PixelCode(QRgb rgb)
{
    return uint16_t(((qRed(rgb) >= 128) << 1) | (qGreen(rgb) >= 128));
}

// Reads the pixels of one row, dark outside the picture; direct scan-line
// reads for the 32-bit formats the renderer draws in.
class RowReader {
public:
    RowReader(const QImage &picture, int y)
        : m_picture(picture), m_y(y), m_inside(y >= 0 && y < picture.height()),
          m_line(m_inside && Direct(picture) ? reinterpret_cast<const QRgb *>(picture.constScanLine(y))
                                             : nullptr)
    {
    }
    QRgb at(int x) const
    {
        if (!m_inside || x >= m_picture.width())
            return 0;
        return m_line ? m_line[x] : m_picture.pixel(x, m_y);
    }

private:
    static bool Direct(const QImage &picture)
    {
        return picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32;
    }
    const QImage &m_picture;
    int m_y;
    bool m_inside;
    const QRgb *m_line;
};

uint16_t GroupWord(const RowReader &row, int group)
{
    uint16_t word = 0;
    for (int j = 0; j < 8; ++j)
        word |= uint16_t(PixelCode(row.at(8 * group + 7 - j)) << (2 * j));
    return word;
}

} // namespace

QString FrameGeometryError(int width, int height, int colorMode)
{
    if (colorMode != 1 && colorMode != 2)
        return QStringLiteral("颜色模式无效（%1），须为单色或双基色，未发送").arg(colorMode);
    if (width <= 0 || width % 8 != 0 || width > MaxFrameWidth)
        return QStringLiteral("屏宽无效（%1），须为8的倍数且不超过%2，未发送").arg(width).arg(MaxFrameWidth);
    if (height < 8 || height > MaxFrameHeight)
        return QStringLiteral("屏高无效（%1），须在8到%2之间，未发送").arg(height).arg(MaxFrameHeight);
    return QString();
}

int PlaneBytes(int width, int height)
{
    return width >= 8 && height > 0 ? (width / 8) * height : 0;
}

void PackBitmap(const QImage &picture, int width, int height, int colorMode, uint8_t *redDest,
                uint8_t *greenDest)
{
    if (colorMode != 1 && colorMode != 2)
        return;
    const int groups = width / 8;
    for (int y = 0; y < height; ++y) {
        const RowReader row(picture, y);
        for (int b = 0; b < groups; ++b) {
            const uint16_t word = GroupWord(row, b);
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
