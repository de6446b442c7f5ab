// Packing drawn pictures into the controller's bit planes: one bit per pixel,
// rows from the top, leftmost pixel in the most significant bit, lit = 0.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>

// Largest display the frame builders accept. The screen dialog offers far less
// (512 x 80); anything beyond this comes from a damaged project file.
constexpr int MaxFrameWidth = 2048;
constexpr int MaxFrameHeight = 1024;

// Why a picture of this display size and colour mode cannot become a frame
// (Chinese, for the status bar), or empty when it can. Every frame builder asks
// this first, so no frame ever carries plane bytes that were not written.
QString FrameGeometryError(int width, int height, int colorMode);

// Bytes of one plane: (width div 8) x height.
int PlaneBytes(int width, int height);

// Packs the picture into the red plane (colour mode 1) or the red and green
// planes (colour mode 2); any other mode writes nothing. A pixel is red-lit at
// red >= 128 and green-lit at green >= 128. Pixels outside the picture count as
// dark. Each destination needs PlaneBytes(width, height) bytes; greenDest is
// only written in colour mode 2.
void PackBitmap(const QImage &picture, int width, int height, int colorMode, uint8_t *redDest,
                uint8_t *greenDest);
