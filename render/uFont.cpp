#include "render/uFont.h"

#include "app/Struct.h"
#include "render/Faces.h"
#include "render/SwatchCombo.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <algorithm>
#include <functional>

namespace {
// The record's colour values of the list items, red in the low byte.
constexpr int32_t ColorValues[] = {255, 0x8000, 0xFFFF};
constexpr int ItemHeight = 16;

int ColorItem(int32_t value)
{
    if (value == 0x8000)
        return 1;
    if (value == 0xFFFF)
        return 2;
    return 0;
}

QSpinBox *MakeSpin(const char *name)
{
    auto *spin = new QSpinBox;
    spin->setObjectName(QLatin1String(name));
    spin->setRange(1, 48);
    spin->setValue(24);
    return spin;
}
} // namespace

TFrm_Font::TFrm_Font(TProjectState &project, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_project(project)
{
    setObjectName(QStringLiteral("Frm_Font"));
    setWindowTitle(QStringLiteral("字体设置"));
    BuildControls();
    FormCreate();
}

void TFrm_Font::BuildControls()
{
    Comb_Font = new QComboBox;
    Comb_Font->setObjectName(QStringLiteral("Comb_Font"));
    auto *colors = new TSwatchCombo(36, ItemHeight);
    colors->droppedDown = [this] { Comb_FontColorDropDown(); };
    colors->exited = [this] { Comb_FontColorExit(); };
    // Green is drawn brighter than the value it stores.
    colors->addSwatch(QStringLiteral("红"), QColor(255, 0, 0));
    colors->addSwatch(QStringLiteral("绿"), QColor(0, 255, 0));
    colors->addSwatch(QStringLiteral("黄"), QColor(255, 255, 0));
    Comb_FontColor = colors;
    Comb_FontColor->setObjectName(QStringLiteral("Comb_FontColor"));
    Comb_FontColorExit();
    Comb_Align = new QComboBox;
    Comb_Align->setObjectName(QStringLiteral("Comb_Align"));
    Comb_Align->addItems({QStringLiteral("居左"), QStringLiteral("居中"), QStringLiteral("居右")});

    auto *heightGroup = new QGroupBox(QStringLiteral("字高"), this);
    Radiobtn_AutoHeight = new QRadioButton(QStringLiteral("自适应高度(&A)"), heightGroup);
    Radiobtn_AutoHeight->setObjectName(QStringLiteral("Radiobtn_AutoHeight"));
    Radiobtn_UserHeight = new QRadioButton(heightGroup);
    Radiobtn_UserHeight->setObjectName(QStringLiteral("Radiobtn_UserHeight"));
    Numedt_Height = MakeSpin("Numedt_Height");
    Numedt_Width = MakeSpin("Numedt_Width");

    Btn_OK = new QPushButton(QStringLiteral("确定(&O)"));
    Btn_OK->setObjectName(QStringLiteral("Btn_OK"));
    Btn_Cancel = new QPushButton(QStringLiteral("取消(&C)"));
    Btn_Cancel->setObjectName(QStringLiteral("Btn_Cancel"));
    connect(Btn_OK, &QPushButton::clicked, this, &TFrm_Font::Btn_OKClick);
    connect(Btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);

    // The form's own places: the client area is 274 x 179.
    const auto place = [](QWidget *widget, QWidget *parent, const QRect &where) {
        widget->setParent(parent);
        widget->setGeometry(where);
    };
    place(new QLabel(QStringLiteral("字体")), this, {12, 12, 56, 20});
    place(Comb_Font, this, {72, 10, 190, 22});
    place(new QLabel(QStringLiteral("颜色")), this, {12, 40, 56, 20});
    place(Comb_FontColor, this, {72, 38, 190, 22});
    heightGroup->setGeometry(8, 64, 258, 68);
    place(Radiobtn_AutoHeight, heightGroup, {10, 18, 200, 20});
    place(Radiobtn_UserHeight, heightGroup, {10, 42, 20, 20});
    place(new QLabel(QStringLiteral("高度")), heightGroup, {32, 42, 30, 20});
    place(Numedt_Height, heightGroup, {62, 41, 60, 22});
    place(new QLabel(QStringLiteral("宽度")), heightGroup, {134, 42, 30, 20});
    place(Numedt_Width, heightGroup, {164, 41, 60, 22});
    place(new QLabel(QStringLiteral("对齐方式")), this, {12, 142, 56, 20});
    place(Comb_Align, this, {72, 140, 72, 22});
    place(Btn_OK, this, {150, 140, 54, 26});
    place(Btn_Cancel, this, {208, 140, 54, 26});
    // Tab follows the form from top to bottom, the height group before the buttons.
    const QList<QWidget *> order{Comb_Font, Comb_FontColor, Radiobtn_AutoHeight, Radiobtn_UserHeight,
                                 Numedt_Height, Numedt_Width, Comb_Align, Btn_OK, Btn_Cancel};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    setFixedSize(274, 179);
}

void TFrm_Font::FormCreate()
{
    const TProjectRecord &r = m_project.ProjectRecord;
    const QString stored = TrimControl(r.FontName.text());
    Comb_Font->addItems(ScreenFontNames(stored));
    int face = Comb_Font->findText(stored, Qt::MatchFixedString);
    if (face < 0)
        face = Comb_Font->findText(QStringLiteral("宋体"));
    Comb_Font->setCurrentIndex(face);

    // A single-colour display shows red only; a stored green or yellow then
    // has no item and is kept unless the operator picks red.
    if (r.ColorMode == 1)
        while (Comb_FontColor->count() > 1)
            Comb_FontColor->removeItem(1);
    const int color = ColorItem(r.FontColor);
    Comb_FontColor->setCurrentIndex(color < Comb_FontColor->count() ? color : -1);

    if (r.FontHeight == 0) {
        Radiobtn_AutoHeight->setChecked(true);
    } else {
        Radiobtn_UserHeight->setChecked(true);
        Numedt_Height->setValue(r.FontHeight);
        Numedt_Width->setValue(r.FontWidth);
    }
    Comb_Align->setCurrentIndex(r.TextAlign < 3 ? r.TextAlign : -1);
}

void TFrm_Font::Btn_OKClick()
{
    TProjectRecord &r = m_project.ProjectRecord;
    m_project.ProjectSaved = false;
    r.FontName.setText(Comb_Font->currentText());
    const int color = Comb_FontColor->currentIndex();
    if (color >= 0)
        r.FontColor = ColorValues[color];
    if (Radiobtn_AutoHeight->isChecked()) {
        r.FontHeight = 0;
    } else {
        r.FontHeight = uint8_t(Numedt_Height->value());
        r.FontWidth = uint8_t(Numedt_Width->value());
    }
    if (Comb_Align->currentIndex() >= 0)
        r.TextAlign = uint8_t(Comb_Align->currentIndex());
    accept();
}

void TFrm_Font::SetColorListColors(const QColor &background, const QColor &text)
{
    QPalette palette = Comb_FontColor->palette();
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button, QPalette::Window})
        palette.setColor(role, background);
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
        palette.setColor(role, text);
    Comb_FontColor->setPalette(palette);
    Comb_FontColor->view()->setPalette(palette);
}

void TFrm_Font::Comb_FontColorDropDown() { SetColorListColors(Qt::white, Qt::black); }

void TFrm_Font::Comb_FontColorExit() { SetColorListColors(Qt::black, QColor(0, 255, 255)); }
