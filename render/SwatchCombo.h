// A colour list whose entries are a black-outlined swatch followed by the
// caption, in the open list and in the closed box alike. The font dialog and
// the scenario editor's format bar both choose colours with it.
#pragma once

#include <QColor>
#include <QComboBox>
#include <QVector>

#include <functional>

class TSwatchCombo : public QComboBox {
public:
    // swatchWidth: the outlined cell's width in pixels; itemHeight 0 keeps
    // the style's row height.
    TSwatchCombo(int swatchWidth, int itemHeight = 0, QWidget *parent = nullptr);

    void addSwatch(const QString &caption, const QColor &colour);
    QColor swatch(int index) const { return m_colours.value(index); }

    // Paints one entry into item: the swatch 2 pixels in from the top-left
    // and bottom, the caption 4 pixels after it.
    void paintEntry(QPainter *painter, const QRect &item, int index, const QColor &background,
                    const QColor &text) const;
    int captionOffset() const { return 2 + m_swatchWidth + 4; }
    int itemHeight() const { return m_itemHeight; }

    // Told when the list drops down and when the focus leaves the box (not
    // to its own list or another window).
    std::function<void()> droppedDown, exited;

protected:
    void showPopup() override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    int m_swatchWidth;
    int m_itemHeight;
    QVector<QColor> m_colours;
};
