// QR codes for phones to scan: the module matrix from libqrencode and its
// picture with the quiet zone scanners need.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QVector>

struct QrMatrix {
    int size = 0;            // modules per side; 0 when the text could not be encoded
    QVector<bool> dark;      // size * size, row by row
    bool at(int x, int y) const { return dark[y * size + x]; }
};

// Error correction level M, 8-bit data (UTF-8 text such as an address).
QrMatrix MakeQrMatrix(const QByteArray &text);

constexpr int QrQuietZone = 4;   // modules of white around the code

// Black modules of moduleSize pixels each on white, with the quiet zone:
// (size + 2 * QrQuietZone) * moduleSize pixels a side. Null for an empty matrix.
QImage QrImage(const QrMatrix &matrix, int moduleSize);
// The largest whole module size at which the picture fits in pixels (at least 1).
int QrModuleSize(const QrMatrix &matrix, int pixels);
