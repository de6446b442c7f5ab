// The preview images of the main window and its page rendering.
#include "app/uMain.h"

#include "app/PageStore.h"
#include "render/uPack.h"
#include "render/uRender.h"

#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QTableView>

void TFrm_Main::ResizePreview(int width, int height)
{
    // A damaged project may carry any size: the previews never exceed their
    // group boxes and never get a negative size.
    Richedt_Screen->setWrapWidth(width + 7);
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

namespace {
// Onto the preview from its top-left corner; a preview that ResizePreview
// clamped shows what fits.
void ShowOn(QImage &preview, const QImage &picture)
{
    QPainter painter(&preview);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, picture);
}
} // namespace

void TFrm_Main::PreviewPage(const TProjectRecord &record, const QString &text)
{
    const int width = record.ScreenWidth;
    const int height = record.ScreenHeight;
    const QString error = FrameGeometryError(width, height, record.ColorMode);
    if (!error.isEmpty()) {
        StatusPanel[2]->setText(error);
        return;
    }
    const TPageFont font = TPageFont::FromRecord(record);
    if (record.PortraitOn == 1) {
        // The audience sees the controller picture turned a quarter turn
        // clockwise: drawn pixel (x, y) shows at (H - 1 - y, x).
        const QImage picture = DrawPage(font, TDisplay::Portrait, width, height, text);
        ShowOn(PortraitImage, picture.transformed(QTransform().rotate(90)));
    }
    if (record.LandscapeOn == 1 || record.LandscapeDouble == 1)
        ShowOn(LandImage, DrawPage(font, TDisplay::Landscape, width, height, text));
    RepaintPreviews();
}

void TFrm_Main::ConnectPreview()
{
    // Only a row whose selected state turns on: selecting the row again, or
    // losing the selection, leaves the previews as they are.
    connect(LstView_Page->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected) {
                const QModelIndexList rows = selected.indexes();
                if (!rows.isEmpty())
                    PreviewPage(Record(), PageText(rows.first().row()));
            });
}

bool TFrm_Main::RenderPage(int width, int height, int colorMode, bool portraitOn, bool landscapeOn,
                           bool landscapeDouble, const QString &text, uint8_t effect,
                           uint8_t runSpeed, uint8_t showTime)
{
    const TPageRequest request{width,           height, colorMode, portraitOn, landscapeOn,
                               landscapeDouble, text,   effect,    runSpeed,   showTime};
    const QString error =
        RenderPageFrames(TPageFont::FromRecord(Record()), request, PortraitFrame, LandscapeFrame);
    if (!error.isEmpty())
        StatusPanel[2]->setText(error);
    return error.isEmpty();
}
