// The dialog "远程与观众": the audience page and remote control (web server),
// OSC for cue systems, the addresses phones and tablets open, and a QR code
// of the audience address. Every change applies at once and is written to
// the user's settings file.
#pragma once

#include "remote/RemoteSettings.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

class TFrm_Remote : public QDialog {
    Q_OBJECT
public:
    // Puts the settings into effect and returns a status text to show
    // (e.g. the addresses served, or why a port could not be opened).
    using ApplyFn = std::function<QString(const TRemoteSettings &)>;

    TFrm_Remote(const TRemoteSettings &settings, ApplyFn apply, QWidget *parent = nullptr);

    const TRemoteSettings &Settings() const { return m_settings; }

    QCheckBox *Chk_Enabled;
    QSpinBox *Edt_Port;
    QLineEdit *Edt_Token;
    QPushButton *Btn_NewToken;     // "重新生成"
    QCheckBox *Chk_OscEnabled;
    QSpinBox *Edt_OscPort;
    QLineEdit *Edt_OscAllowFrom;
    QListWidget *Lst_Addresses;    // audience and operator address of each interface
    QLabel *Img_Qr;                // QR code of the selected (or first) audience address
    QLabel *Lbl_Status;            // what the window reported when applying
    QLabel *Lbl_Message;           // a refused entry or a failed write
    QPushButton *Btn_Close;

private:
    void BuildControls();
    void Fill();
    void Commit(TRemoteSettings next);
    // The settings as they are, changed by edit, committed.
    void Change(const std::function<void(TRemoteSettings &)> &edit);
    void ShowAddresses();
    void ShowQr();
    void Refuse(const QString &text);
    void TokenEdited();
    void AllowFromEdited();

    TRemoteSettings m_settings;
    ApplyFn m_apply;
};
