#include "render/SwatchCombo.h"

#include <QFocusEvent>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QStyledItemDelegate>

namespace {
// The open list's entries: the list is open only while dropped down, so it is
// white with black text whatever the closed box shows.
class SwatchDelegate : public QStyledItemDelegate {
public:
    explicit SwatchDelegate(TSwatchCombo *combo) : QStyledItemDelegate(combo), m_combo(combo) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const bool current = option.state & QStyle::State_Selected;
        m_combo->paintEntry(painter, option.rect, index.row(),
                            current ? option.palette.color(QPalette::Highlight) : QColor(Qt::white),
                            current ? option.palette.color(QPalette::HighlightedText) : QColor(Qt::black));
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QSize natural = QStyledItemDelegate::sizeHint(option, index);
        return {natural.width() + m_combo->captionOffset(),
                m_combo->itemHeight() > 0 ? m_combo->itemHeight() : natural.height()};
    }

private:
    TSwatchCombo *m_combo;
};
} // namespace

TSwatchCombo::TSwatchCombo(int swatchWidth, int itemHeight, QWidget *parent)
    : QComboBox(parent), m_swatchWidth(swatchWidth), m_itemHeight(itemHeight)
{
    setItemDelegate(new SwatchDelegate(this));
}

void TSwatchCombo::addSwatch(const QString &caption, const QColor &colour)
{
    m_colours.append(colour);
    addItem(caption);
}

void TSwatchCombo::paintEntry(QPainter *painter, const QRect &item, int index,
                              const QColor &background, const QColor &text) const
{
    painter->save();
    painter->fillRect(item, background);
    painter->setPen(Qt::black);
    painter->setBrush(swatch(index));
    // A stroked rectangle covers one pixel more than its size.
    painter->drawRect(item.left() + 2, item.top() + 2, m_swatchWidth - 1, item.height() - 5);
    painter->setPen(text);
    painter->drawText(QRect(item.left() + captionOffset(), item.top() + 1,
                            qMax(0, item.width() - captionOffset()), item.height() - 1),
                      Qt::AlignLeft | Qt::AlignTop, itemText(index));
    painter->restore();
}

void TSwatchCombo::showPopup()
{
    if (droppedDown)
        droppedDown();
    QComboBox::showPopup();
}

void TSwatchCombo::focusOutEvent(QFocusEvent *event)
{
    QComboBox::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason
        && exited)
        exited();
}

void TSwatchCombo::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const QColor background = palette().color(QPalette::Base);
    if (currentIndex() < 0)
        painter.fillRect(field, background);
    else
        paintEntry(&painter, field, currentIndex(), background, palette().color(QPalette::Text));
}
