// The dialog "远程与观众": the audience page and remote control (web server),
// OSC for cue systems, the addresses phones and tablets open, and a QR code
// of the audience address. Every change applies at once and is written to
// the user's settings file; what the server and OSC do is shown live.
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
class QTimer;

// What the window reports of the server and OSC as they run.
struct RemoteLive {
    QString status;     // e.g. "远程与观众：已开启，端口 8080；OSC：未开启"
    quint16 port = 0;   // the port the web server listens on; 0: it does not
    QString oscCounts;  // commands carried out, refused and malformed; empty while OSC is off
};

class TFrm_Remote : public QDialog {
    Q_OBJECT
public:
    using ApplyFn = std::function<void(const TRemoteSettings &)>;   // puts the settings into effect
    using LiveFn = std::function<RemoteLive()>;
    static constexpr int RefreshMs = 500;

    TFrm_Remote(const TRemoteSettings &settings, ApplyFn apply, LiveFn live, QWidget *parent = nullptr);

    const TRemoteSettings &Settings() const { return m_settings; }
    // A section of the window's own (the project's translations), placed
    // above the live state.
    void AddSection(QWidget *section);

    QCheckBox *Chk_Enabled;
    QSpinBox *Edt_Port;
    QLineEdit *Edt_Token;
    QPushButton *Btn_NewToken;     // "重新生成"
    QCheckBox *Chk_OscEnabled;
    QSpinBox *Edt_OscPort;
    QLineEdit *Edt_OscAllowFrom;
    QLabel *Lbl_OscOpen;           // warns that any sender may cue
    QLabel *Lbl_OscCounts;
    QListWidget *Lst_Addresses;    // audience and operator address of each interface, while listening
    QLabel *Img_Qr;                // QR code of the selected (or first) audience address
    QLabel *Lbl_Status;            // the server's and OSC's state as they run
    QLabel *Lbl_Message;           // a refused entry or a failed write
    QPushButton *Btn_Close;

private:
    void BuildControls();
    void Fill();
    void Commit(TRemoteSettings next);
    // The settings as they are, changed by edit, committed.
    void Change(const std::function<void(TRemoteSettings &)> &edit);
    void Refresh();   // the live state
    void ShowAddresses(quint16 port);
    void ShowQr();
    void Refuse(const QString &text);
    void TokenEdited();
    void AllowFromEdited();

    TRemoteSettings m_settings;
    ApplyFn m_apply;
    LiveFn m_live;
    QTimer *m_refresh;
    quint16 m_shownPort = 0;
    class QVBoxLayout *m_layout = nullptr;
};
