// The font settings dialog: face, colour, automatic or fixed height, width and
// alignment of page text. The record changes only on "确定".
#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;
class QRadioButton;
class QSpinBox;
struct TProjectState;

class TFrm_Font : public QDialog {
    Q_OBJECT
public:
    TFrm_Font(TProjectState &project, QWidget *parent);

    void Btn_OKClick();
    void Comb_FontColorDropDown();   // white list, black text while it is open
    void Comb_FontColorExit();       // black box, aqua text otherwise

    QComboBox *Comb_Font, *Comb_FontColor, *Comb_Align;
    QRadioButton *Radiobtn_AutoHeight, *Radiobtn_UserHeight;
    QSpinBox *Numedt_Height, *Numedt_Width;
    QPushButton *Btn_OK, *Btn_Cancel;

private:
    void BuildControls();
    void FormCreate();
    void SetColorListColors(const QColor &background, const QColor &text);

    TProjectState &m_project;
};
