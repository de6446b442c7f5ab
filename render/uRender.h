// Page rendering: one caption line drawn into the picture of each enabled
// display with the automatic fit, packed and wrapped into page frames.
#pragma once

#include "app/Struct.h"
#include "link/Frames.h"
#include "render/TextFace.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>


// Largest display the renderer draws; a project file may carry anything.
constexpr int MaxDisplayWidth = 2048;
constexpr int MaxDisplayHeight = 1024;

// Empty when a width x height display can be drawn and packed: a width that is
// a positive multiple of 8 up to MaxDisplayWidth, a height from 8 to
// MaxDisplayHeight. Otherwise the reason, for the status bar.
QString CheckDisplaySize(int width, int height);
// The same, and a colour mode of 1 (single) or 2 (dual colour).
QString CheckDisplayGeometry(int width, int height, int colorMode);

// The record's page font fields.
struct TPageFont {
    QString Name;
    int32_t Color = 255;
    uint8_t Height = 0;   // 0 automatic, else the fixed cell height
    uint8_t Width = 0;    // twice the average character width (fixed height only)
    uint8_t Align = 0;    // 1 centre, 2 right, anything else left
};
TPageFont PageFontOf(const TProjectRecord &record);

// What one page transmission renders, in the order RenderPage takes it.
struct TPageRequest {
    int Width = 0, Height = 0, ColorMode = 0;
    bool PortraitOn = false, LandscapeOn = false, LandscapeDouble = false;
    QString Text;
    uint8_t Effect = 0, RunSpeed = 0, ShowTime = 0;
};
// The record's display settings with the given text and header values.
TPageRequest PageRequestOf(const TProjectRecord &record, const QString &text, uint8_t effect,
                           uint8_t runSpeed, uint8_t showTime);

// --- The fit -------------------------------------------------------------
// Widths of the line for the fit: width(size, extra) at character height size
// and extra spacing extra; it must equal width(size, 0) + extra x characters().
class TFitMeasurer {
public:
    virtual ~TFitMeasurer() = default;
    virtual int width(int size, int extra) const = 0;
    virtual int characters() const = 0;
};
struct TFit {
    int size;
    int extra;
};
// The widest extra spacing from maxExtra down to 0 at which a line of width0
// (at spacing 0) and the given characters fits limit; -1 when none does.
int FitExtra(int width0, int characters, int maxExtra, int limit);
// The largest size from height down to 8, then the widest spacing up to half
// the size, at which the line fits limit; (7, -1) when none does. One
// measurement per size.
TFit FitAutomatic(const TFitMeasurer &measurer, int height, int limit);
// The same choice made by trying every size and spacing in turn, as operators
// know the fit; the fast one is checked and timed against it.
TFit FitAutomaticByScan(const TFitMeasurer &measurer, int height, int limit);

// The fit's measurer for a real face and prepared line; it sets the face's
// size and spacing as it measures.
class TFaceMeasurer : public TFitMeasurer {
public:
    TFaceMeasurer(TTextFace &face, const TTextFace::Line &line) : m_face(face), m_line(line) {}
    int width(int size, int extra) const override;
    int characters() const override { return m_line.characters(); }

private:
    TTextFace &m_face;
    const TTextFace::Line &m_line;
};

// Where the line goes in a width x height display.
struct TPageLayout {
    int size;        // character height (automatic) or the fixed cell height
    int extra;
    int textWidth;
    int x, y;
};
// Fits the prepared line, leaves the face set to the chosen size and spacing.
TPageLayout LayoutPage(TTextFace &face, const TTextFace::Line &line, const TPageFont &font,
                       int width, int height);

// --- Pictures and frames -------------------------------------------------
enum class TDisplayKind { Portrait, Landscape, LandscapeDouble };
// The drawn picture of a display (W x H, or 2W x H double-sided, both faces
// alike) in palette colours. The size must have passed CheckDisplaySize.
QImage DrawPage(const TPageFont &font, int width, int height, TDisplayKind kind,
                const QString &text);
// Draws the glyphs the request's text needs on each enabled display into the
// glyph caches, without a picture: a page prepared so goes out without
// drawing a glyph. Nothing for a request that cannot be drawn.
void PreparePageGlyphs(const TPageFont &font, const TPageRequest &request);
// What the packed planes of the picture light, as the LEDs show it: red
// 255,0,0, green 0,255,0, yellow 255,255,0, dark black. In single colour
// only red lights. Null for a colour mode other than 1 or 2.
QImage LitPicture(const QImage &picture, int colorMode);
// The portrait picture as the audience sees it: drawn (x, y) -> (H-1-y, x).
QImage TurnClockwise(const QImage &picture);

// The effect byte of the portrait display: its movements turn with it.
uint8_t PortraitEffect(uint8_t effect);
// address, 0xF3, effect, 0, speed, dwell, red plane, [green plane], 0xAA.
// Empty for a colour mode other than 1 or 2.
QByteArray BuildPageFrame(uint8_t address, uint8_t effect, uint8_t runSpeed, uint8_t showTime,
                          const QImage &picture, int colorMode);

// Builds the frames of the enabled displays into the two slots (portrait
// first, then the single-sided landscape display, else the double-sided one);
// the slot of a display that is not enabled keeps its content. Returns the
// reason when the request cannot be drawn: nothing is built and the slots of
// the enabled displays are emptied, so no stale page can go out.
QString RenderPageFrames(const TPageFont &font, const TPageRequest &request,
                         QByteArray &portraitFrame, QByteArray &landscapeFrame);
