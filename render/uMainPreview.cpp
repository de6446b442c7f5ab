// The preview images and the page frames of the main window.
#include "app/uMain.h"

#include "app/PageListModel.h"
#include "app/PageStore.h"
#include "render/uRender.h"

#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QTableView>
#include <QTimer>

namespace {
// Copies the picture onto the preview image at (0, 0), cut at its edges.
void CopyOnto(QImage &image, const QImage &picture)
{
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, picture);
}
} // namespace

void TFrm_Main::ResizePreview(int width, int height)
{
    // A damaged project may carry any size: the previews never exceed their
    // group boxes and never get a negative size.
    // Rewrapping renumbers the pages: a list still showing them follows.
    const int wrap = PageWrapWidth(width);
    if (wrap != Richedt_Screen->wrapWidth()) {
        Richedt_Screen->setWrapWidth(wrap);
        if (PageList->isShown())
            RebuildPageList();
    }
    const int w = qBound(1, width, Grp_Land->width());
    const int h = qBound(1, height, Grp_Portrait->width());

    PortraitImage = QImage(h, w, QImage::Format_RGB32);
    PortraitImage.fill(Qt::black);
    Img_Portrait->setGeometry((Grp_Portrait->width() - h) / 2,
                              (Grp_Portrait->height() - w) / 2 + 2, h, w);

    LandImage = QImage(w, h, QImage::Format_RGB32);
    LandImage.fill(Qt::black);
    Img_Land->setGeometry((Grp_Land->width() - w) / 2, (Grp_Land->height() - h) / 2 + 2, w, h);
    RepaintPreviews();
}

void TFrm_Main::PreviewPage(const TProjectRecord &record, const QString &text)
{
    const int width = record.ScreenWidth, height = record.ScreenHeight;
    const int colorMode = record.ColorMode;
    const QString error = CheckDisplayGeometry(width, height, colorMode);
    if (!error.isEmpty()) {
        StatusPanel[2]->setText(error);
        return;
    }
    // The preview shows what the sign lights, not the drawn colours: a green
    // text on a single-colour display stays dark.
    const TPageFont font = PageFontOf(record);
    const auto lit = [&](TDisplayKind kind) {
        return LitPicture(DrawPage(font, width, height, kind, text), colorMode);
    };
    if (record.PortraitOn == 1)
        CopyOnto(PortraitImage, TurnClockwise(lit(TDisplayKind::Portrait)));
    // A double-sided display is previewed as one face.
    if (record.LandscapeOn == 1 || record.LandscapeDouble == 1)
        CopyOnto(LandImage, lit(TDisplayKind::Landscape));
    RepaintPreviews();
}

void TFrm_Main::ConnectPreview()
{
    // Only a change to selected redraws: selecting the same item again does not.
    connect(LstView_Page->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected) {
                for (const QItemSelectionRange &range : selected)
                    for (int row = range.top(); row <= range.bottom(); ++row) {
                        PreviewPage(Record(), PageText(row));
                        PreparePageLater(row + 1);
                    }
            });
}

void TFrm_Main::PreparePageLater(int index, int delayMs)
{
    QTimer::singleShot(delayMs, this, [this, index] {
        if (index < PageCount())
            PreparePageGlyphs(PageFontOf(Record()), PageRequestOf(Record(), PageText(index), 0, 0, 0));
    });
}

bool TFrm_Main::RenderPage(int width, int height, int colorMode, bool portraitOn, bool landscapeOn,
                           bool landscapeDouble, const QString &text, uint8_t effect,
                           uint8_t runSpeed, uint8_t showTime)
{
    const TPageRequest request{width, height, colorMode, portraitOn, landscapeOn,
                               landscapeDouble, text, effect, runSpeed, showTime};
    const QString error = RenderPageFrames(PageFontOf(Record()), request, PortraitFrame, LandscapeFrame);
    if (!error.isEmpty()) {
        StatusPanel[2]->setText(error);
        return false;
    }
    return true;
}
