#include "dialogs/uTempStr.h"

#include "app/Errors.h"
#include "app/Gbk.h"
#include "app/ScenarioFile.h"
#include "app/Prompter.h"
#include "dialogs/ButtonEdit.h"
#include "render/Faces.h"

#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

struct TColourEntry {
    const char *caption;
    int32_t value;    // passed on and stored, 0x00BBGGRR
    QRgb swatch;      // drawn in the list; green is drawn brighter than it is sent
};
const TColourEntry ColourEntries[] = {
    {"红", 255, qRgb(255, 0, 0)},
    {"绿", 0x8000, qRgb(0, 255, 0)},
    {"黄", 0xFFFF, qRgb(255, 255, 0)},
};
constexpr int ColourValueRole = Qt::UserRole;
const QSize SwatchSize(36, 12);

QIcon Swatch(QRgb colour)
{
    QPixmap pixmap(SwatchSize);
    pixmap.fill(QColor::fromRgb(colour));
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, SwatchSize.width() - 1, SwatchSize.height() - 1);
    return QIcon(pixmap);
}

QSpinBox *MakeSpin(const char *name, int minimum, int maximum, bool buttons)
{
    auto *spin = new QSpinBox;
    spin->setObjectName(QLatin1String(name));
    spin->setRange(minimum, maximum);
    if (!buttons)
        spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
    return spin;
}

QPushButton *MakeButton(const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(QLatin1String(name));
    return button;
}

// A caption in front of its control, as one row of a group box.
void AddLabelled(QHBoxLayout *row, const QString &caption, QWidget *control)
{
    row->addWidget(new QLabel(caption));
    row->addWidget(control, 1);
}

} // namespace

QString LoadTempTextFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileFailure(FileStep::Open, path, file.errorString());
    if (file.size() > MaxTempTextFileBytes)
        throw VelmoraError(QStringLiteral("文件\"%1\"太大（超过%2KB），未载入。")
                               .arg(path).arg(MaxTempTextFileBytes / 1024));
    QByteArray bytes = file.read(MaxTempTextFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw FileFailure(FileStep::Read, path, file.errorString());
    const TextEncoding encoding = DetectTextEncoding(bytes);
    if (encoding != TextEncoding::Gbk) {
        QString text = DecodeTextFile(bytes, encoding).remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
        std::replace_if(text.begin(), text.end(), IsKeptByte, QChar(QChar::ReplacementCharacter));
        return text;
    }
    // No GBK trail byte is a CR or LF, so line ends can go before decoding.
    bytes.replace('\r', QByteArray()).replace('\n', QByteArray());
    // The decoder drops a lead byte left over at the very end; a final LF
    // makes it show as a replacement character instead, and is removed again.
    QString text = FromGbk(bytes + '\n');
    text.chop(1);
    return text;
}

TColorComboBox::TColorComboBox(QWidget *parent) : QComboBox(parent)
{
    setIconSize(SwatchSize);
    SetFace(false);
}

void TColorComboBox::SetFace(bool light)
{
    QPalette p = palette();
    p.setColor(QPalette::Button, light ? Qt::white : Qt::black);
    p.setColor(QPalette::Base, light ? Qt::white : Qt::black);
    p.setColor(QPalette::ButtonText, light ? Qt::black : QColor(0, 255, 255));
    p.setColor(QPalette::Text, light ? Qt::black : QColor(0, 255, 255));
    setPalette(p);
}

void TColorComboBox::showPopup()
{
    SetFace(true);
    QComboBox::showPopup();
}

void TColorComboBox::hidePopup()
{
    QComboBox::hidePopup();
    if (!hasFocus())
        SetFace(false);
}

void TColorComboBox::focusInEvent(QFocusEvent *event)
{
    SetFace(true);
    QComboBox::focusInEvent(event);
}

void TColorComboBox::focusOutEvent(QFocusEvent *event)
{
    SetFace(false);
    QComboBox::focusOutEvent(event);
}

TFrm_TempStr::TFrm_TempStr(const TProjectRecord &record, Prompter *prompter,
                           TTempStrCommands commands, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_prompter(prompter), m_commands(std::move(commands))
{
    setObjectName(QStringLiteral("Frm_TempStr"));
    setWindowTitle(QStringLiteral("临时信息"));
    BuildControls();
    Fill(record);
    Edt_TempStr->setFocus();   // the operator opens the dialog to type the message
    connect(Btn_OK, &QPushButton::clicked, this, &TFrm_TempStr::Btn_OKClick);
    connect(Btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(RzButton1, &QPushButton::clicked, this, &TFrm_TempStr::RzButton1Click);
    connect(Edt_TempStrButton, &QAction::triggered, this, &TFrm_TempStr::Edt_TempStrButtonClick);
}

void TFrm_TempStr::BuildControls()
{
    Comb_Font = new QComboBox;
    Comb_Font->setObjectName(QStringLiteral("Comb_Font"));
    Comb_FontColor = new TColorComboBox;
    Comb_FontColor->setObjectName(QStringLiteral("Comb_FontColor"));
    Edt_FontHeight = MakeSpin("Edt_FontHeight", 1, 1, false);
    Comb_TempStunt = new QComboBox;
    Comb_TempStunt->setObjectName(QStringLiteral("Comb_TempStunt"));
    Comb_TempStunt->addItems({QStringLiteral("快速打出"), QStringLiteral("向上移动"),
                              QStringLiteral("向下移动"), QStringLiteral("向左移动"),
                              QStringLiteral("向右移动")});
    SpnEdt_TempRunSpeed = MakeSpin("SpnEdt_TempRunSpeed", 1, 8, true);
    SpnEdt_TempShowTime = MakeSpin("SpnEdt_TempShowTime", 0, 255, true);
    Label1 = new QLabel(QStringLiteral("请输入新的临时信息"));
    Label1->setObjectName(QStringLiteral("Label1"));
    QWidget *textRow = MakeButtonEdit("Edt_TempStr", &Edt_TempStr, &Edt_TempStrButton);
    Edt_TempStr->setMaxLength(int(MaxTempTextFileBytes));   // a loaded file is never cut
    RzButton1 = MakeButton("RzButton1", QStringLiteral("清除(&E)"));
    Btn_OK = MakeButton("Btn_OK", QStringLiteral("确定(&O)"));
    Btn_Cancel = MakeButton("Btn_Cancel", QStringLiteral("取消(&C)"));
    Btn_OK->setDefault(true);   // Enter in the text box sends

    auto *fontGroup = new QGroupBox;
    auto *fontRow = new QHBoxLayout(fontGroup);
    AddLabelled(fontRow, QStringLiteral("字体"), Comb_Font);
    AddLabelled(fontRow, QStringLiteral("颜色"), Comb_FontColor);
    AddLabelled(fontRow, QStringLiteral("字高"), Edt_FontHeight);
    auto *runGroup = new QGroupBox;
    auto *runRow = new QHBoxLayout(runGroup);
    AddLabelled(runRow, QStringLiteral("特技"), Comb_TempStunt);
    AddLabelled(runRow, QStringLiteral("运行速度"), SpnEdt_TempRunSpeed);
    AddLabelled(runRow, QStringLiteral("停留时间"), SpnEdt_TempShowTime);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *b : {RzButton1, Btn_OK, Btn_Cancel})
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(fontGroup);
    layout->addWidget(runGroup);
    layout->addWidget(Label1);
    layout->addWidget(textRow);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(347, 191)));
}

void TFrm_TempStr::Fill(const TProjectRecord &record)
{
    FillFonts(record.TempFontName.text());
    FillColours(record.ColorMode, record.TempFontColor);
    Edt_FontHeight->setMaximum(qMax(1, record.ScreenHeight));
    Edt_FontHeight->setValue(qMin(record.ScreenHeight, record.TempFontHeight));
    // An effect number no list entry has (a damaged project) shows the first
    // effect rather than nothing, so OK never sends a number outside 0..4.
    Comb_TempStunt->setCurrentIndex(record.TempStunt < Comb_TempStunt->count() ? record.TempStunt : 0);
    SpnEdt_TempRunSpeed->setValue(record.TempRunSpeed);
    SpnEdt_TempShowTime->setValue(record.TempShowTime);
}

void TFrm_TempStr::FillFonts(const QString &storedFace)
{
    const QString stored = TrimControl(storedFace);
    Comb_Font->addItems(ScreenFontNames(stored));
    Comb_Font->setCurrentIndex(Comb_Font->findText(stored, Qt::MatchExactly));
}

void TFrm_TempStr::FillColours(int32_t colorMode, int32_t storedColour)
{
    const int entries = colorMode == 1 ? 1 : 3;   // single colour shows red only
    for (int i = 0; i < entries; ++i) {
        const TColourEntry &e = ColourEntries[i];
        Comb_FontColor->addItem(Swatch(e.swatch), QString::fromUtf8(e.caption), e.value);
    }
    const int position = storedColour == 0x8000 ? 1 : storedColour == 0xFFFF ? 2 : 0;
    // A green or yellow message on a single-colour display would light
    // nothing: the display's only colour is chosen instead.
    Comb_FontColor->setCurrentIndex(position < entries ? position : 0);
}

TTempMessage TFrm_TempStr::Message() const
{
    TTempMessage m;
    m.Text = Edt_TempStr->text();
    m.FontName = Comb_Font->currentIndex() < 0 ? QString() : Comb_Font->currentText();
    m.FontColor = Comb_FontColor->currentData(ColourValueRole).toInt();
    m.FontHeight = Edt_FontHeight->value();
    m.Stunt = uint8_t(Comb_TempStunt->currentIndex());
    m.RunSpeed = uint8_t(SpnEdt_TempRunSpeed->value());
    m.ShowTime = uint8_t(SpnEdt_TempShowTime->value());
    return m;
}

void TFrm_TempStr::Btn_OKClick()
{
    if (m_commands.send(Message()))
        accept();
}

void TFrm_TempStr::RzButton1Click()
{
    m_commands.clear();
    Edt_TempStr->clear();
}

void TFrm_TempStr::Edt_TempStrButtonClick()
{
    Prompter::FileRequest request;
    request.filter = QStringLiteral("txt文档(*.txt)|*.txt");
    const QString path = m_prompter->openFile(this, request);
    if (path.isEmpty())
        return;
    try {
        Edt_TempStr->setText(LoadTempTextFile(path));
    } catch (const VelmoraError &e) {
        m_prompter->error(this, e.text());
    }
}
