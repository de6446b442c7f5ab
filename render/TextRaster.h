// The text rasteriser of the renderer: a face by its Windows name, sized by
// character (em) height or by cell height with an average character width,
// extra spacing after every character, measuring and aliased drawing in one
// of the 16 palette colours. A face name with a leading "@" is the
// vertical-writing face: upright-in-vertical characters (CJK, kana,
// full-width forms) lie turned a quarter turn counter-clockwise in their cell
// and advance by the face's vertical advance.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QString>
#include <memory>
#include <vector>

struct FaceMetrics;

class TextRaster {
public:
    explicit TextRaster(const QString &faceName);
    ~TextRaster();

    // The installed family the face resolved to.
    QString family() const;

    // Em height in pixels (the character height, without internal leading).
    void setCharHeight(int pixels);
    // Cell height in pixels (with internal leading) and average character width;
    // averageWidth 0 keeps the face's natural proportions.
    void setCellHeight(int pixels, int averageWidth);
    // Pixels added after every character, the last included; may be negative.
    void setExtra(int pixels) { m_extra = pixels; }

    // Width of the line with the current extra spacing.
    int width(const QString &text) const;
    // Width without extra spacing; width() = this + extra x characterCount().
    int naturalWidth(const QString &text) const;
    static int characterCount(const QString &text);

    // Draws the line with the top-left corner of its first cell at (x, y),
    // transparent background, cut at the picture edges. The colour is taken
    // to the nearest palette colour, and nothing is antialiased, so every
    // pixel of a picture filled with a palette colour stays a palette colour.
    void draw(QImage &picture, int x, int y, const QString &text, QRgb colour) const;

    // Unicode Vertical_Orientation U or Tu: turned in the vertical-writing face.
    static bool UprightInVertical(char32_t c);
    // The nearest of the 16 palette colours.
    static QRgb PaletteColour(QRgb colour);

private:
    // A character of the line with its advances in the face's units; -1 when
    // the face has no glyph and another face draws it.
    struct Glyph {
        char32_t c;
        bool turned;
        int uprightUnits;   // the horizontal advance
        int alongUnits;     // the advance along the line
    };
    void applyEm(int em, int ascent, int cellHeight, double scale);
    const std::vector<Glyph> &glyphs(const QString &text) const;
    int pixels(int units, char32_t c) const;
    int advance(const Glyph &g) const { return pixels(g.alongUnits, g.c); }

    bool m_vertical = false;
    const FaceMetrics *m_face = nullptr;
    QFont m_font;
    mutable std::unique_ptr<QFontMetrics> m_fallback;   // for characters of other faces
    // The line last measured: the fit measures one line at every size.
    mutable QString m_text;
    mutable std::vector<Glyph> m_glyphs;
    int m_em = 0;
    int m_ascent = 0;
    int m_cellHeight = 0;
    double m_scale = 1.0;   // horizontal scale of the average width
    int m_extra = 0;
};
