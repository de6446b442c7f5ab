// The temporary-message dialog "临时信息": font, colour, height, effect,
// speed, dwell and text of a message sent outside the page sequence.
#pragma once

#include "app/Struct.h"
#include "link/SpecialFrames.h"

#include <QComboBox>
#include <QDialog>

#include <functional>

class Prompter;
class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// What the dialog's buttons start; the main window supplies them.
struct TTempStrCommands {
    // Stores and sends the message; false when it was refused (the operator
    // has been told why), so the dialog stays open.
    std::function<bool(const TTempMessage &)> send;
    // Clears the message on the displays and empties TempText.
    std::function<void()> clear;
};

// The colour list: a swatch before each caption; a black face with aqua
// text when it does not have the focus, white with black text while open.
class TColorComboBox : public QComboBox {
public:
    explicit TColorComboBox(QWidget *parent = nullptr);
    void showPopup() override;
    void hidePopup() override;

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void SetFace(bool light);
};

class TFrm_TempStr : public QDialog {
    Q_OBJECT
public:
    // Fills itself from the record (read once, here); the text box stays
    // empty until the opener sets it.
    TFrm_TempStr(const TProjectRecord &record, Prompter *prompter, TTempStrCommands commands,
                 QWidget *parent = nullptr);

    // The values OK passes on.
    TTempMessage Message() const;

    QComboBox *Comb_Font;
    TColorComboBox *Comb_FontColor;
    QSpinBox *Edt_FontHeight;
    QComboBox *Comb_TempStunt;
    QSpinBox *SpnEdt_TempRunSpeed;
    QSpinBox *SpnEdt_TempShowTime;
    QLabel *Label1;
    QLineEdit *Edt_TempStr;
    QAction *Edt_TempStrButton;   // loads the text from a file
    QPushButton *RzButton1;       // "清除"
    QPushButton *Btn_OK;
    QPushButton *Btn_Cancel;

private:
    void BuildControls();
    void Fill(const TProjectRecord &record);
    void FillFonts(const QString &storedFace);
    void FillColours(int32_t colorMode, int32_t storedColour);
    void Btn_OKClick();
    void RzButton1Click();
    void Edt_TempStrButtonClick();

    Prompter *m_prompter;
    TTempStrCommands m_commands;
};

// The lines of a GBK text file joined without line ends; bytes that are not
// GBK become replacement characters. Throws VelmoraError when the file cannot
// be read or is larger than MaxTempTextFileBytes.
QString LoadTempTextFile(const QString &path);
constexpr qint64 MaxTempTextFileBytes = 64 * 1024;
