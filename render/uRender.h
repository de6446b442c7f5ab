// Page rendering: the line of a page drawn into the picture of each enabled
// display with the automatic fit, packed into bit planes and wrapped into
// page frames.
#pragma once

#include "app/Struct.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>

// The font fields of the project record that rendering reads.
struct TPageFont {
    QString FontName;
    int32_t FontColor = 255;
    uint8_t FontHeight = 0;   // 0 = automatic fit
    uint8_t FontWidth = 0;    // half of it is the average character width
    uint8_t TextAlign = 0;    // 0 left, 1 centre, 2 right, other left

    static TPageFont FromRecord(const TProjectRecord &record);
};

// Frame bytes of a page (the link names the other commands).
constexpr uint8_t AddrLandscape = 1;
constexpr uint8_t AddrPortrait = 2;
constexpr uint8_t CmdPage = 0xF3;
constexpr uint8_t FrameEnd = 0xAA;

enum class TDisplay { Portrait, Landscape, Double };

// The size and extra spacing the automatic fit chose.
struct TFit {
    int size;
    int extra;
};

constexpr int MinFitSize = 8;

// The automatic fit: the largest size from height down to 8, then the widest
// extra spacing from size div 2 down to 0, at which the line is at most limit
// wide; 7 and -1 when nothing fits. The width at extra e is the width at 0
// plus e for every character, so one measurement per size is enough.
TFit FitAutomatic(int height, int limit, int characters,
                  const std::function<int(int size)> &widthAtNoExtra);
// The same fit measuring every pair, as the controller's makers described it;
// the reference the fast fit is checked and timed against.
TFit FitAutomaticByMeasuring(int height, int limit,
                             const std::function<int(int size, int extra)> &width);
// The widest extra from maxExtra down to 0 at which the line fits; -1 if none.
int FitExtra(int maxExtra, int limit, int characters, int widthAtNoExtra);

// The horizontal position of a line t wide on a display w wide.
int AlignedX(uint8_t textAlign, int displayWidth, int textWidth);

// Effect byte of the portrait display, turned a quarter turn.
uint8_t PortraitEffect(uint8_t effect);

class TextRaster;

// Where and how large the line is drawn.
struct TLineLayout {
    int size;    // em height of the automatic fit, or the fixed cell height
    int extra;   // extra pixels after every character
    int x, y;    // top-left corner of the first character cell
    int width;   // the line's width, extra spacing included
};

// Sizes the rasteriser for the page line on a display width x height (the
// fit limit is width) and places the line by TextAlign.
TLineLayout LayOutLine(TextRaster &raster, const TPageFont &font, int width, int height,
                       const QString &text);

// Draws the page line as the display shows it: width x height (double-sided:
// 2 width x height, both faces alike), black, the text in FontColor. The
// portrait display uses the vertical-writing face. Width and height must have
// passed FrameGeometryError.
QImage DrawPage(const TPageFont &font, TDisplay display, int width, int height,
                const QString &text);

// A page frame of a drawn picture: address, 0xF3, effect (turned for the
// portrait display), 0, speed, dwell, red plane, green plane in dual colour, 0xAA.
// Empty when the colour mode or the picture width cannot be packed.
QByteArray BuildPageFrame(const QImage &picture, TDisplay display, int colorMode, uint8_t effect,
                          uint8_t runSpeed, uint8_t showTime);

// In this order, so callers can brace-initialise it.
struct TPageRequest {
    int width = 0;
    int height = 0;
    int colorMode = 0;
    bool portraitOn = false;
    bool landscapeOn = false;
    bool landscapeDouble = false;
    QString text;
    uint8_t effect = 0;
    uint8_t runSpeed = 0;
    uint8_t showTime = 0;
};

// A request for the displays the record enables (a display is enabled by the
// value 1), with its size and colour mode.
TPageRequest PageRequestFor(const TProjectRecord &record, const QString &text, uint8_t effect,
                            uint8_t runSpeed, uint8_t showTime);

// Builds the frames of the enabled displays: portrait into portraitFrame, the
// single-sided or else the double-sided landscape display into landscapeFrame.
// The slot of a display that is not enabled keeps its content. Returns why
// nothing could be built, or empty.
QString RenderPageFrames(const TPageFont &font, const TPageRequest &request,
                         QByteArray &portraitFrame, QByteArray &landscapeFrame);
