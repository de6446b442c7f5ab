// The temporary message, LOGO and welcome transmissions of the main window.
#include "app/uMain.h"

#include "app/Errors.h"
#include "app/Prompter.h"
#include "dialogs/uSpecial.h"
#include "dialogs/uTempStr.h"
#include "link/Frames.h"
#include "link/SpecialFrames.h"

#include <QLineEdit>

bool TFrm_Main::SendTempMessage(const TTempMessage &message)
{
    QByteArray portrait, landscape;
    try {
        BuildTempMessageFrames(Record(), message, portrait, landscape);
    } catch (const VelmoraError &e) {
        m_prompter->error(this, e.text());   // nothing is sent; the settings stay stored
        return false;
    }
    if (StartTransmission(portrait, landscape, TempMessageCaption(),
                          {ShowKind::Temp, -1, message.Text}))
        Project.AdvanceAfterSend = false;
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

void TFrm_Main::SendLogo(const QString &landscapeFile, const QString &portraitFile)
{
    SendPictures(LogoCaption(), ShowKind::Logo, [&](QByteArray &portrait, QByteArray &landscape) {
        BuildLogoFrames(Record(), landscapeFile, portraitFile, portrait, landscape);
    });
}

void TFrm_Main::SendWelcome(const QString &file)
{
    SendPictures(WelcomeCaption(), ShowKind::Welcome, [&](QByteArray &portrait, QByteArray &landscape) {
        BuildWelcomeFrames(Record(), file, portrait, landscape);
    });
}

void TFrm_Main::SendPictures(const QString &caption, ShowKind kind,
                             const std::function<void(QByteArray &, QByteArray &)> &build)
{
    QByteArray portrait, landscape;
    try {
        build(portrait, landscape);   // stores the paths before loading any picture
    } catch (const VelmoraError &e) {
        m_prompter->error(this, e.text());   // nothing is sent
        return;
    }
    StartTransmission(portrait, landscape, caption, {kind});
}

TSpecialCommands TFrm_Main::SpecialCommands()
{
    TSpecialCommands commands;
    commands.sendLogo = [this](const QString &land, const QString &port) { SendLogo(land, port); };
    commands.sendWelcome = [this](const QString &file) { SendWelcome(file); };
    return commands;
}
