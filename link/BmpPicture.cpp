#include "link/BmpPicture.h"

#include "app/Errors.h"
#include "render/TextFace.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

namespace {

QString NotValid()
{
    return QStringLiteral("Bitmap image is not valid");
}

uint32_t U32(const uchar *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t U16(const uchar *p)
{
    return uint16_t(p[0] | p[1] << 8);
}

// What the file header and the info header declare.
struct TBmpHeader {
    int64_t dataOffset = 0;
    int64_t width = 0;
    int64_t height = 0;   // absolute; negative heights mean top-down rows
    int bitCount = 0;
    uint32_t compression = 0;
};

enum : uint32_t { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3 };

// Parses the headers from the first bytes of the file; false when they do not
// describe a bitmap the decoder can read within the limits.
bool ParseHeader(const QByteArray &head, TBmpHeader &h)
{
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    if (head.size() < 14 + 12 || p[0] != 'B' || p[1] != 'M')
        return false;
    h.dataOffset = U32(p + 10);
    const uint32_t infoSize = U32(p + 14);
    const uchar *info = p + 14;
    int planes = 0;
    if (infoSize == 12) {   // the old core header: 16-bit sizes, no compression
        h.width = U16(info + 4);
        h.height = U16(info + 6);
        planes = U16(info + 8);
        h.bitCount = U16(info + 10);
    } else if (infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 108
               || infoSize == 124) {
        if (head.size() < 14 + 40)
            return false;
        h.width = int32_t(U32(info + 4));
        h.height = int32_t(U32(info + 8));
        planes = U16(info + 12);
        h.bitCount = U16(info + 14);
        h.compression = U32(info + 16);
    } else {
        return false;
    }
    h.height = h.height < 0 ? -h.height : h.height;
    if (planes != 1 || h.width < 1 || h.height < 1 || h.width > MaxBmpSide
        || h.height > MaxBmpSide || h.width * h.height > MaxBmpPixels)
        return false;
    if (h.dataOffset < 14 + int64_t(infoSize))
        return false;
    switch (h.compression) {
    case BiRgb:
        return h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16
               || h.bitCount == 24 || h.bitCount == 32;
    case BiRle8:
        return h.bitCount == 8;
    case BiRle4:
        return h.bitCount == 4;
    case BiBitfields:
        return h.bitCount == 16 || h.bitCount == 32;
    default:
        return false;
    }
}

// Uncompressed rows must all be in the file; run-length data ends where its
// codes say, so it needs only to start inside the file.
bool DataFits(const TBmpHeader &h, int64_t fileSize)
{
    if (h.compression == BiRle8 || h.compression == BiRle4)
        return h.dataOffset < fileSize;
    const int64_t stride = (h.width * h.bitCount + 31) / 32 * 4;
    return h.dataOffset + stride * h.height <= fileSize;
}

} // namespace

QImage LoadBmpFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw VelmoraError(QStringLiteral("Cannot open file \"%1\". %2")
                               .arg(path, ChineseSystemError(file.errorString())));
    TBmpHeader header;
    if (!ParseHeader(file.read(14 + 40), header) || !DataFits(header, file.size())
        || !file.seek(0))
        throw VelmoraError(NotValid());

    QImageReader reader(&file, "bmp");
    reader.setDecideFormatFromContent(false);
    // The decoder's own guard, sized to what the header was allowed to declare.
    reader.setAllocationLimit(int(MaxBmpPixels * 4 / (1024 * 1024)) + 1);
    QImage image;
    if (!reader.read(&image) || image.isNull())
        throw VelmoraError(NotValid());
    return image;
}

namespace {
// The colours a 16-colour display bitmap can hold, as drawing onto it leaves them.
QImage ToPalette(QImage image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = NearestPaletteColour(row[x]) | 0xFF000000u;
    }
    return image;
}
} // namespace

QImage StretchPicture(const QImage &picture, int width, int height, bool doubleSided)
{
    const auto stretch = [](const QImage &source, int w, int h) {
        return source.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation)
            .convertToFormat(QImage::Format_RGB32);
    };
    if (!doubleSided)
        return ToPalette(stretch(picture, width, height));
    QImage result(2 * width, height, QImage::Format_RGB32);
    result.fill(Qt::black);
    const QImage left = stretch(picture, width - 1, height);
    QPainter painter(&result);
    painter.drawImage(0, 0, left);
    painter.drawImage(width, 0, stretch(left, width, height));
    painter.end();
    return ToPalette(result);
}
