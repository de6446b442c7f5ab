// The text rasteriser behind every picture sent to the displays: a face by
// name (Windows names substituted), sized by character height or by cell
// height with an average width, extra spacing after every character, width
// measurement and drawing without antialiasing in one of the 16 palette
// colours. "@" before the name gives the vertical-writing face.
//
// Widths are whole pixels: every advance is the face's design advance scaled
// to the size and rounded, and the line is drawn at exactly those positions,
// so a measured width is the drawn width. User-interface thread only.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// The standard 16-colour palette of the display pictures.
extern const QRgb Palette16[16];
// The palette colour nearest to colour (exact for the palette's own colours).
QRgb NearestPaletteColour(QRgb colour);
// A colour reference 0x00BBGGRR (red in the low byte) as a QRgb.
QRgb ColorRefToRgb(int32_t colorRef);

// True for characters of Unicode vertical orientation U or Tu (CJK, kana,
// Hangul, full-width forms, 、。 ...): the vertical-writing face turns them.
bool TurnsInVerticalText(char32_t c);
// The Unicode vertical presentation form of CJK punctuation (，→︐, （→︵,
// 「→﹁ ...), designed to stand in vertical text; 0 for other characters.
char32_t VerticalForm(char32_t c);

struct TFaceData;

class TTextFace {
public:
    // One character of a prepared line.
    struct Glyph {
        uint8_t face;      // 0 the face itself, then the fallback faces
        bool turned;       // drawn a quarter turn counter-clockwise
        bool centred;      // ink centred in the cell: punctuation in vertical
                           // text that the face has no vertical form of
        uint32_t index;    // glyph index in its face
        int hUnits;        // horizontal advance, font units
        int vUnits;        // vertical advance, font units
    };
    // A text mapped to glyphs once, to be measured at many sizes.
    class Line {
    public:
        int characters() const { return int(m_glyphs.size()); }

    private:
        friend class TTextFace;
        std::vector<Glyph> m_glyphs;
    };

    // faceName as stored in the project; "@" + name for vertical writing.
    explicit TTextFace(const QString &faceName);
    ~TTextFace();

    bool isVertical() const { return m_vertical; }
    QString family() const;   // the installed family that draws the face

    // Character (em) height in pixels, natural width.
    void setCharHeight(int pixels);
    // Cell height in pixels (em plus internal leading) and average character
    // width in pixels; 0 keeps the natural width.
    void setCellHeight(int pixels, int averageWidth);
    // Extra pixels after every character, the last included; may be negative.
    void setExtra(int pixels) { m_extra = pixels; }

    int emPixels() const { return m_em; }
    int cellHeight() const { return m_ascent + m_descent; }

    Line prepare(const QString &text) const;
    int width(const Line &line) const;
    int width(const QString &text) const { return width(prepare(text)); }
    // The characters of text that neither the face nor a fallback face has
    // (they are drawn as boxes), each once, in order.
    QString missingCharacters(const QString &text) const;
    // Draws with the top-left corner of the first cell at (x, y), transparent
    // background, cut at the picture's edges. The glyphs sit in the text's
    // height below y (the em, or the fixed cell) by their ink, not by the
    // face's own cell, which for the substituted faces is taller. In vertical
    // text CJK punctuation takes its vertical form where the face has one,
    // else its ink is centred in its cell, as vertical typesetting sets it.
    void draw(QImage &image, int x, int y, const Line &line, QRgb colour) const;
    void draw(QImage &image, int x, int y, const QString &text, QRgb colour) const
    {
        draw(image, x, y, prepare(text), colour);
    }
    // Draws the line's glyphs at the current size into the face's cache only,
    // so that drawing the line later draws no glyph anew.
    void prepareGlyphs(const Line &line) const;
    // How many glyph masks the program has drawn so far, for checks.
    static qint64 masksDrawn();

private:
    int advance(const Glyph &glyph) const;
    // Pixels from the top of a box of the given height to the baseline of
    // the face's glyphs.
    int baseline(const TFaceData &face, int box) const;
    void setEm(int em);

    std::vector<std::shared_ptr<const TFaceData>> m_faces;
    bool m_vertical = false;
    int m_em = 1;
    double m_scale = 1.0;   // horizontal scale of the average width
    int m_extra = 0;
    int m_ascent = 0;       // pixels, from the cell top to the baseline
    int m_descent = 0;
    int m_box = 1;          // the text's height: the em, or the fixed cell
};
