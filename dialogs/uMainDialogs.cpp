// The main window's commands that open the settings dialogs.
#include "app/uMain.h"

#include "dialogs/Password.h"
#include "dialogs/Password2.h"
#include "render/uFont.h"

void TFrm_Main::N6Click()
{
    const SetUpScope setUp(*this);
    TPasswordDlg dialog(*this);
    dialog.exec();
}

void TFrm_Main::N3Click()
{
    TPasswordDlg2 dialog(*this);
    dialog.exec();
}

void TFrm_Main::N_FontClick()
{
    const SetUpScope setUp(*this);
    TFrm_Font dialog(Project, this);
    dialog.exec();
}

void TFrm_Main::BlankPreview(QImage &image)
{
    image.fill(Qt::black);
    RepaintPreviews();
}
