// The preview images of the main window.
#include "app/uMain.h"

#include "app/PageListModel.h"
#include "app/PageStore.h"

#include <QGroupBox>
#include <QLabel>

void TFrm_Main::ResizePreview(int width, int height)
{
    // A damaged project may carry any size: the previews never exceed their
    // group boxes and never get a negative size.
    // Rewrapping renumbers the pages: a list still showing them follows.
    const int wrap = qBound(1, width, 100000) + 7;
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
