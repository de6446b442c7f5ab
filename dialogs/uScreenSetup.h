// The screen parameter dialog: display size and colour mode, controller scan
// mode and polarities, serial port, attached displays and page effect. Every
// change of a control goes into the project record at once; there is no Cancel.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TFrm_Main;
struct TProjectRecord;

class TFrm_Screen_Setup : public QDialog {
    Q_OBJECT
public:
    // Edits main's project; parent defaults to the main window.
    explicit TFrm_Screen_Setup(TFrm_Main &main, QWidget *parent = nullptr);

    // Change handlers, each ends with the project marked as changed.
    void SpnEdt_WidthChange();
    void SpnEdt_HeightChange();
    void Comb_PxChange();
    void Comb_DataScanChange();
    void Comb_CommChange();   // reports a text without a port number
    // Typed text is taken when the field is left or Enter is pressed, not
    // on every key: "com" on the way to "com7" is no error.
    void Comb_CommExit();
    // The network serial server of the port number, kept for this machine
    // in Velmora.ini rather than in the project; taken when the field is
    // left or Enter is pressed, an empty field removes the mapping.
    void Edt_NetAddressExit();
    void Comb_BaudChange();
    void Comb_DataDAChange();
    void Comb_DataOEChange();
    void Comb_StuntChange();
    void SpnEdt_RunSpeedChange();
    void SpnEdt_ShowTimeChange();
    void ChkLay_portraitClick();
    void ChkLay_landClick();
    void RadioLay_landOneClick();
    void RadioLay_landTwoClick();

    QSpinBox *SpnEdt_Width, *SpnEdt_Height, *SpnEdt_RunSpeed, *SpnEdt_ShowTime;
    QComboBox *Comb_Px, *Comb_DataScan, *Comb_Comm, *Comb_Baud;
    QComboBox *Comb_DataDA, *Comb_DataOE, *Comb_Stunt;
    QLabel *Lbl_Device;   // the device path of the port number in Comb_Comm
    QLineEdit *Edt_NetAddress;   // rfc2217://host:port for that number, or empty
    QCheckBox *ChkLay_land, *ChkLay_portrait;
    QGroupBox *GroupLay_land;
    QRadioButton *RadioLay_landOne, *RadioLay_landTwo;
    QPushButton *Btn_DownLoad, *Btn_Close;

    void done(int result) override;   // every way of closing ends here

private:
    void BuildControls();
    void FillPortList();
    void ShowRecord();
    void ConnectHandlers();
    void Changed();
    void ShowDevice();
    TProjectRecord &Record();

    TFrm_Main &m_main;
};
