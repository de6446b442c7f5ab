// Packing a drawn picture into the controller's bit planes: one bit per pixel,
// rows from the top, leftmost pixel in the most significant bit, lit = 0.
#pragma once

#include <cstdint>

class QImage;

// Writes (width div 8) x height bytes of the red plane from redDest and, for
// colour mode 2, as many bytes of the green plane from greenDest. Colour mode 1
// writes the red plane only; any other colour mode writes nothing. A channel
// counts as lit from 128 up. Pixels outside the picture count as dark, so a
// caller's wrong size never reads beyond it. Allocates nothing.
void PackBitmap(int width, int height, int colorMode, const QImage &canvas, uint8_t *redDest,
                uint8_t *greenDest);
