// The LOGO and welcome pictures: BMP files read with bounded size and
// stretched over a display picture.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>

// A picture file larger than this is refused before it is decoded, so a
// damaged or hostile header cannot make the program allocate without bound.
constexpr int MaxBmpSide = 16384;
constexpr int64_t MaxBmpPixels = 4096 * 4096;

// Reads a BMP file (format BMP only, whatever its name says). Throws
// VelmoraError with "Cannot open file "path". reason" when the file cannot be
// opened, and "Bitmap image is not valid" when it is not a readable bitmap:
// no BMP signature, an unknown header, bit depth or compression, a declared
// size beyond the limits above or pixel data beyond the end of the file.
QImage LoadBmpFile(const QString &path);

// The picture stretched over a width x height display without smoothing,
// ignoring its aspect ratio, in the 16 palette colours (RGB32). Double-sided: 2 width x height; the
// picture fills columns 0 .. width-2 of the left face, column width-1 stays
// black, and the right face is those width-1 columns stretched to width.
QImage StretchPicture(const QImage &picture, int width, int height, bool doubleSided);
