// The temporary message of the main window: its dialog and its transmission.
#include "app/uMain.h"

#include "app/Errors.h"
#include "app/Prompter.h"
#include "dialogs/uTempStr.h"
#include "link/Frames.h"
#include "link/SpecialFrames.h"

#include <QLineEdit>

bool TFrm_Main::SendTempMessage(const TTempMessage &message)
{
    Project.AdvanceAfterSend = false;
    QByteArray portrait, landscape;
    try {
        BuildTempMessageFrames(Record(), message, portrait, landscape);
    } catch (const VelmoraError &e) {
        m_prompter->error(this, e.text());   // nothing is sent; the settings stay stored
        return false;
    }
    StartTransmission(portrait, landscape, TempMessageCaption());
    return true;
}

void TFrm_Main::Btn_TempStrClick()
{
    TTempStrCommands commands;
    commands.send = [this](const TTempMessage &m) { return SendTempMessage(m); };
    commands.clear = [this] { ClearTempMessage(); };
    TFrm_TempStr dialog(Record(), m_prompter, commands, this);
    dialog.Edt_TempStr->setText(Record().TempText.text());
    dialog.exec();
    Project.ProjectSaved = false;   // whatever button closed it
}
