// Pictures and frames built by hand from the wire layouts, for the tests of
// the controller simulator and the wire-log decoder.
#pragma once

#include "app/ProjectFile.h"

#include <QByteArray>
#include <QImage>
#include <QRandomGenerator>
#include <QVector>

#include <initializer_list>
#include <iterator>

inline const QRgb Palette[] = {qRgb(0, 0, 0),       qRgb(255, 0, 0),     qRgb(0, 128, 0),
                               qRgb(255, 255, 0),   qRgb(127, 255, 0),   qRgb(128, 128, 128),
                               qRgb(0, 0, 255)};

inline QImage RandomPicture(int width, int height, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, Palette[random.bounded(int(std::size(Palette)))]);
    return picture;
}

// What the controller should show: thresholds at 128, green only in dual colour.
inline QImage Thresholded(const QImage &picture, int colorMode)
{
    QImage out(picture.size(), QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb c = picture.pixel(x, y);
            const bool green = colorMode == 2 && qGreen(c) >= 128;
            out.setPixel(x, y, qRgb(qRed(c) >= 128 ? 255 : 0, green ? 255 : 0, 0));
        }
    return out;
}

// The bit planes of a picture: leftmost pixel in bit 7, lit = 0, rows from the top.
inline QByteArray Planes(const QImage &picture, int colorMode)
{
    QByteArray red, green;
    for (int y = 0; y < picture.height(); ++y)
        for (int b = 0; b < picture.width() / 8; ++b) {
            uint8_t r = 0xFF, g = 0xFF;
            for (int k = 0; k < 8; ++k) {
                const QRgb c = picture.pixel(8 * b + k, y);
                if (qRed(c) >= 128)
                    r &= ~(0x80 >> k);
                if (qGreen(c) >= 128)
                    g &= ~(0x80 >> k);
            }
            red.append(char(r));
            green.append(char(g));
        }
    return colorMode == 2 ? red + green : red;
}

inline QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

inline QByteArray PageFrame(int address, const QImage &picture, int colorMode, int effect = 3)
{
    return Bytes({address, 0xF3, effect, 0, 5, 10}) + Planes(picture, colorMode) + Bytes({0xAA});
}

inline QByteArray ParamsFrame(int address, int width, int height, int colorMode)
{
    return Bytes({address, 0xF2, width >> 8, width & 0xFF, height >> 8, height & 0xFF, colorMode, 16, 1, 0,
                  0xAA});
}


// A wire log of frames as the worker writes them: the address twice on Mark,
// the rest on Space, one millisecond apart.
inline QByteArray WireLogOf(const QVector<QByteArray> &frames)
{
    QByteArray log = "open record:test 57600\n";
    int ms = 0;
    for (const QByteArray &f : frames) {
        log += QByteArray::number(ms++) + ".000 parity mark\n";
        log += QByteArray::number(ms++) + ".000 write mark " + (f.left(1) + f.left(1)).toHex() + "\n";
        log += QByteArray::number(ms++) + ".000 parity space\n";
        log += QByteArray::number(ms++) + ".000 write space " + f.mid(1).toHex() + "\n";
    }
    return log + QByteArray::number(ms) + ".000 close\n";
}

// A project with the start-up defaults and the given displays.
inline TProjectRecord DisplayProject(int width, int height, int colorMode, bool portrait, bool landscape,
                                     bool doubleSided)
{
    TProjectRecord r{};
    SetStartupDefaults(r);
    r.ScreenWidth = width;
    r.ScreenHeight = height;
    r.ColorMode = colorMode;
    r.PortraitOn = portrait;
    r.LandscapeOn = landscape;
    r.LandscapeDouble = doubleSided;
    return r;
}
