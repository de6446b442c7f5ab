#include "remote/QrCode.h"

#include <qrencode.h>

#include <algorithm>
#include <memory>

QrMatrix MakeQrMatrix(const QByteArray &text)
{
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(int(text.size()), reinterpret_cast<const unsigned char *>(text.constData()),
                          0, QR_ECLEVEL_M),
        &QRcode_free);
    QrMatrix matrix;
    if (!code)
        return matrix;
    matrix.size = code->width;
    matrix.dark.resize(matrix.size * matrix.size);
    // Bit 0 of each byte is the module's colour; the other bits are
    // libqrencode's bookkeeping.
    for (int i = 0; i < matrix.dark.size(); ++i)
        matrix.dark[i] = code->data[i] & 1;
    return matrix;
}

QImage QrImage(const QrMatrix &matrix, int moduleSize)
{
    if (matrix.size <= 0 || moduleSize <= 0)
        return QImage();
    const int side = (matrix.size + 2 * QrQuietZone) * moduleSize;
    QImage image(side, side, QImage::Format_Mono);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    image.fill(0);
    for (int y = 0; y < matrix.size; ++y) {
        for (int x = 0; x < matrix.size; ++x) {
            if (!matrix.at(x, y))
                continue;
            const int left = (x + QrQuietZone) * moduleSize;
            const int top = (y + QrQuietZone) * moduleSize;
            for (int py = top; py < top + moduleSize; ++py)
                for (int px = left; px < left + moduleSize; ++px)
                    image.setPixel(px, py, 1);
        }
    }
    return image;
}

int QrModuleSize(const QrMatrix &matrix, int pixels)
{
    const int modules = matrix.size + 2 * QrQuietZone;
    return std::max(1, pixels / std::max(1, modules));
}
