// How the LED monitor draws a display: as round LEDs, each face as the
// audience sees it.
#pragma once

#include <QImage>
#include <QVector>

// The faces of a picture as sent: a portrait picture turned a quarter turn
// clockwise; a double-sided picture split into its two halves.
QVector<QImage> AudienceFaces(const QImage &picture, bool portrait, bool doubleSided);

// One LED per pixel, pitch screen pixels apart, on black: lit pixels in their
// colour, dark ones as faint grey dots so the display's extent stays visible.
QImage DrawLeds(const QImage &picture, int pitch);
