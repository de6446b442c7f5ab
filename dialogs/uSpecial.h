// The dialog "特殊信息": the LOGO pictures of both displays and the welcome
// picture (whose page is hidden), chosen by path and sent.
#pragma once

#include "app/Struct.h"

#include <QDialog>

#include <functional>

class Prompter;
class QAction;
class QLineEdit;
class QPushButton;
class QTabWidget;

// What the send buttons start; the main window supplies them. Both store the
// paths in the record whether or not the pictures can be sent.
struct TSpecialCommands {
    std::function<void(const QString &landscapeFile, const QString &portraitFile)> sendLogo;
    std::function<void(const QString &file)> sendWelcome;
};

class TFrm_Special : public QDialog {
    Q_OBJECT
public:
    // Fills the path boxes from the project's record; every change of a box,
    // the filling included, clears project.ProjectSaved.
    TFrm_Special(TProjectState &project, Prompter *prompter, TSpecialCommands commands,
                 QWidget *parent = nullptr);

    QTabWidget *PageControl1;
    QWidget *TabSheet1, *TabSheet2;
    QLineEdit *BtnEdt_LOGO;      // landscape LOGO
    QLineEdit *BtnEdt_LOGO2;     // portrait LOGO
    QLineEdit *BtnEdt_WelCome;
    QAction *BtnEdt_LOGOButton, *BtnEdt_LOGO2Button, *BtnEdt_WelComeButton;
    QPushButton *Btn_SendLOGO, *Btn_SendWelCome;
    QPushButton *Btn_Close;      // "关闭", beside the LOGO page's "发送"

private:
    QWidget *BuildLogoPage();
    QWidget *BuildWelcomePage();
    void PickFile(QLineEdit *box, const QString &filter);

    TProjectState &m_project;
    Prompter *m_prompter;
    TSpecialCommands m_commands;
};
