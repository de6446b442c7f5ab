#include "dialogs/uScreenSetup.h"

#include "app/Errors.h"
#include "app/uMain.h"
#include "app/Prompter.h"
#include "dialogs/ComPorts.h"
#include "link/NetworkPorts.h"
#include "link/QtSerialPort.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyledItemDelegate>

namespace {
// The controller's scan-mode bit for "1/8扫"; "1/16扫" is 0.
constexpr uint8_t ScanEighth = 16;
constexpr int DevicePathRole = Qt::UserRole + 1;

QSpinBox *MakeSpin(const char *name, int low, int high, int step, int value,
                   QSpinBox *spin = new QSpinBox)
{
    spin->setObjectName(QLatin1String(name));
    spin->setRange(low, high);
    spin->setSingleStep(step);
    spin->setValue(value);
    return spin;
}

QComboBox *MakeList(const char *name, const QStringList &items)
{
    auto *list = new QComboBox;
    list->setObjectName(QLatin1String(name));
    list->addItems(items);
    return list;
}

// The drop-down of the port list shows the device path beside each COM name;
// the item text itself stays "COMn" (COM0 with its caption, which has no
// digits), which is what the port number is read from.
class PortItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString device = index.data(DevicePathRole).toString();
        if (!device.isEmpty())
            option->text += QStringLiteral(" (") + device + QLatin1Char(')');
    }
};

// Rows of the bit planes are whole bytes: the renderer draws widths that are
// multiples of 8 only, so the width field accepts no others.
int WholeBytesWidth(int width) { return width - width % 8; }

class WidthSpinBox : public QSpinBox {
protected:
    QValidator::State validate(QString &text, int &pos) const override
    {
        const QValidator::State state = QSpinBox::validate(text, pos);
        if (state == QValidator::Acceptable && valueFromText(text) % 8 != 0)
            return QValidator::Intermediate;
        return state;
    }
    void fixup(QString &text) const override
    {
        QSpinBox::fixup(text);
        const int value = qBound(minimum(), valueFromText(text), maximum());
        text = textFromValue(WholeBytesWidth(value));
    }
};

// Puts a spin box at value without its signal; the caller runs the handler,
// so filling writes the clamped value back as an edit would.
void SetQuietly(QSpinBox *spin, int value)
{
    const QSignalBlocker quiet(spin);
    spin->setValue(value);
}
} // namespace

TFrm_Screen_Setup::TFrm_Screen_Setup(TFrm_Main &main, QWidget *parent)
    : QDialog(parent ? parent : &main, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint
                                           | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                                           | Qt::WindowCloseButtonHint),
      m_main(main)
{
    setObjectName(QStringLiteral("Frm_Screen_Setup"));
    setWindowTitle(QStringLiteral("参数设置"));
    BuildControls();
    FillPortList();
    ConnectHandlers();
    ShowRecord();
    setFixedSize(sizeHint());
    move(main.frameGeometry().center() - rect().center());
}

TProjectRecord &TFrm_Screen_Setup::Record() { return m_main.Record(); }

void TFrm_Screen_Setup::BuildControls()
{
    SpnEdt_Width = MakeSpin("SpnEdt_Width", 64, 512, 16, 256, new WidthSpinBox);
    SpnEdt_Height = MakeSpin("SpnEdt_Height", 16, 80, 8, 32);
    SpnEdt_RunSpeed = MakeSpin("SpnEdt_RunSpeed", 1, 16, 1, 1);
    SpnEdt_ShowTime = MakeSpin("SpnEdt_ShowTime", 0, 255, 1, 1);
    Comb_Px = MakeList("Comb_Px", {QStringLiteral("单色"), QStringLiteral("双基色")});
    Comb_DataScan = MakeList("Comb_DataScan", {QStringLiteral("1/16扫"), QStringLiteral("1/8扫")});
    Comb_Comm = MakeList("Comb_Comm", {});
    Comb_Comm->setEditable(true);
    Comb_Comm->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would turn a typed "COM" into the first port listed.
    Comb_Comm->setCompleter(nullptr);
    Comb_Comm->setItemDelegate(new PortItemDelegate(Comb_Comm));
    Lbl_Device = new QLabel;
    Lbl_Device->setObjectName(QStringLiteral("Lbl_Device"));
    Edt_NetAddress = new QLineEdit;
    Edt_NetAddress->setObjectName(QStringLiteral("Edt_NetAddress"));
    Edt_NetAddress->setPlaceholderText(QStringLiteral("rfc2217://主机:端口"));
    Edt_NetAddress->setToolTip(QStringLiteral("串口服务器（RFC 2217）的地址；留空则用本机串口"));
    Comb_Baud = MakeList("Comb_Baud", {QStringLiteral("9600"), QStringLiteral("28800"),
                                       QStringLiteral("57600"), QStringLiteral("115200")});
    Comb_Baud->setCurrentIndex(2);
    Comb_Baud->setEnabled(false);   // the controller listens at one speed
    Comb_DataDA = MakeList("Comb_DataDA", {QStringLiteral("负极性"), QStringLiteral("正极性")});
    Comb_DataOE = MakeList("Comb_DataOE", {QStringLiteral("低有效"), QStringLiteral("高有效")});
    Comb_Stunt = MakeList("Comb_Stunt", {QStringLiteral("快速打出"), QStringLiteral("向上移动"),
                                         QStringLiteral("向下移动"), QStringLiteral("向左移动"),
                                         QStringLiteral("向右移动")});

    ChkLay_land = new QCheckBox(QStringLiteral("横向显示屏(&H)"));
    ChkLay_land->setObjectName(QStringLiteral("ChkLay_land"));
    ChkLay_portrait = new QCheckBox(QStringLiteral("竖向显示屏(&V)"));
    ChkLay_portrait->setObjectName(QStringLiteral("ChkLay_portrait"));
    // A double-sided landscape display cannot be chosen here; the group stays
    // in the form, hidden, so a project's value survives until the check box
    // is switched off.
    GroupLay_land = new QGroupBox;
    GroupLay_land->setObjectName(QStringLiteral("GroupLay_land"));
    RadioLay_landOne = new QRadioButton(QStringLiteral("横向单面屏(&1)"), GroupLay_land);
    RadioLay_landOne->setObjectName(QStringLiteral("RadioLay_landOne"));
    RadioLay_landTwo = new QRadioButton(QStringLiteral("横向双面屏(&2)"), GroupLay_land);
    RadioLay_landTwo->setObjectName(QStringLiteral("RadioLay_landTwo"));
    RadioLay_landOne->setChecked(true);
    RadioLay_landOne->setEnabled(false);
    RadioLay_landTwo->setEnabled(false);
    RadioLay_landTwo->hide();
    auto *radios = new QHBoxLayout(GroupLay_land);
    radios->addWidget(RadioLay_landOne);
    radios->addWidget(RadioLay_landTwo);
    GroupLay_land->setEnabled(false);
    GroupLay_land->hide();

    Btn_DownLoad = new QPushButton(QStringLiteral("加载(&D)"));
    Btn_DownLoad->setObjectName(QStringLiteral("Btn_DownLoad"));
    Btn_DownLoad->setAutoDefault(false);
    // The parameters as the record holds them now; the dialog stays open.
    connect(Btn_DownLoad, &QPushButton::clicked, this, [this] { m_main.SendScreenParams(); });
    Btn_Close = new QPushButton(QStringLiteral("关闭(&C)"));
    Btn_Close->setObjectName(QStringLiteral("Btn_Close"));
    Btn_Close->setAutoDefault(false);

    auto *grid = new QGridLayout(this);
    const auto row = [grid](int r, int c, const QString &label, QWidget *control) {
        grid->addWidget(new QLabel(label), r, c);
        grid->addWidget(control, r, c + 1);
    };
    row(0, 0, QStringLiteral("宽度"), SpnEdt_Width);
    row(0, 2, QStringLiteral("高度"), SpnEdt_Height);
    row(1, 0, QStringLiteral("屏型"), Comb_Px);
    row(1, 2, QStringLiteral("扫描方式"), Comb_DataScan);
    row(2, 0, QStringLiteral("串口"), Comb_Comm);
    grid->addWidget(Lbl_Device, 2, 2, 1, 2);
    row(3, 0, QStringLiteral("波特率"), Comb_Baud);
    row(3, 2, QStringLiteral("网络地址"), Edt_NetAddress);
    row(4, 0, QStringLiteral("数据极性"), Comb_DataDA);
    row(4, 2, QStringLiteral("OE极性"), Comb_DataOE);
    grid->addWidget(ChkLay_land, 5, 0, 1, 2);
    grid->addWidget(ChkLay_portrait, 5, 2, 1, 2);
    grid->addWidget(GroupLay_land, 6, 0, 1, 4);
    row(7, 0, QStringLiteral("特技"), Comb_Stunt);
    row(8, 0, QStringLiteral("运行速度"), SpnEdt_RunSpeed);
    row(8, 2, QStringLiteral("停留时间"), SpnEdt_ShowTime);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Btn_DownLoad);
    buttons->addWidget(Btn_Close);
    grid->addLayout(buttons, 9, 0, 1, 4);
}

void TFrm_Screen_Setup::FillPortList()
{
    // Refilling keeps what the field shows.
    const QString text = Comb_Comm->currentText();
    const QSignalBlocker quiet(Comb_Comm);
    Comb_Comm->clear();
    // The simulated display is always there, so a machine with no serial
    // port can rehearse.
    Comb_Comm->addItem(ComPortCaption(0));
    for (const ComPortEntry &port : AvailableComPorts()) {
        Comb_Comm->addItem(ComPortCaption(port.number));
        const int i = Comb_Comm->count() - 1;
        Comb_Comm->setItemData(i, port.device, DevicePathRole);
        Comb_Comm->setItemData(i, port.device, Qt::ToolTipRole);
    }
    Comb_Comm->setCurrentIndex(0);
    if (!text.isEmpty())
        Comb_Comm->setEditText(text);
}

void TFrm_Screen_Setup::ConnectHandlers()
{
    // Spin boxes and check boxes run their handlers on every change, also
    // while the dialog fills them; lists and the port field only when the
    // user chooses or types.
    const auto spin = [this](QSpinBox *box, void (TFrm_Screen_Setup::*handler)()) {
        connect(box, qOverload<int>(&QSpinBox::valueChanged), this, handler);
    };
    spin(SpnEdt_Width, &TFrm_Screen_Setup::SpnEdt_WidthChange);
    spin(SpnEdt_Height, &TFrm_Screen_Setup::SpnEdt_HeightChange);
    spin(SpnEdt_RunSpeed, &TFrm_Screen_Setup::SpnEdt_RunSpeedChange);
    spin(SpnEdt_ShowTime, &TFrm_Screen_Setup::SpnEdt_ShowTimeChange);
    const auto list = [this](QComboBox *box, void (TFrm_Screen_Setup::*handler)()) {
        connect(box, qOverload<int>(&QComboBox::activated), this, handler);
    };
    list(Comb_Px, &TFrm_Screen_Setup::Comb_PxChange);
    list(Comb_DataScan, &TFrm_Screen_Setup::Comb_DataScanChange);
    list(Comb_Comm, &TFrm_Screen_Setup::Comb_CommChange);
    list(Comb_Baud, &TFrm_Screen_Setup::Comb_BaudChange);
    list(Comb_DataDA, &TFrm_Screen_Setup::Comb_DataDAChange);
    list(Comb_DataOE, &TFrm_Screen_Setup::Comb_DataOEChange);
    list(Comb_Stunt, &TFrm_Screen_Setup::Comb_StuntChange);
    connect(Comb_Comm->lineEdit(), &QLineEdit::editingFinished, this, &TFrm_Screen_Setup::Comb_CommExit);
    connect(Edt_NetAddress, &QLineEdit::editingFinished, this, &TFrm_Screen_Setup::Edt_NetAddressExit);
    connect(ChkLay_portrait, &QCheckBox::toggled, this, &TFrm_Screen_Setup::ChkLay_portraitClick);
    connect(ChkLay_land, &QCheckBox::toggled, this, &TFrm_Screen_Setup::ChkLay_landClick);
    connect(RadioLay_landOne, &QRadioButton::toggled, this, &TFrm_Screen_Setup::RadioLay_landOneClick);
    connect(RadioLay_landTwo, &QRadioButton::toggled, this, &TFrm_Screen_Setup::RadioLay_landTwoClick);
    connect(Btn_Close, &QPushButton::clicked, this, &QDialog::close);
}

void TFrm_Screen_Setup::ShowRecord()
{
    const TProjectRecord &r = Record();
    SetQuietly(SpnEdt_Width, WholeBytesWidth(r.ScreenWidth));
    SpnEdt_WidthChange();
    SetQuietly(SpnEdt_Height, r.ScreenHeight);
    SpnEdt_HeightChange();
    Comb_DataScan->setCurrentIndex(r.ScanMode == ScanEighth ? 1 : 0);
    Comb_Px->setCurrentIndex(r.ColorMode == 1 ? 0 : r.ColorMode == 2 ? 1 : -1);
    Comb_Comm->setEditText(ComPortCaption(r.ComPort));
    ShowDevice();
    Comb_Baud->setCurrentIndex(Comb_Baud->findText(QString::number(r.BaudRate)));
    Comb_DataDA->setCurrentIndex(r.DataPolarity);
    Comb_DataOE->setCurrentIndex(r.OEPolarity);
    Comb_Stunt->setCurrentIndex(r.Stunt);
    SetQuietly(SpnEdt_RunSpeed, r.RunSpeed);
    SpnEdt_RunSpeedChange();
    SetQuietly(SpnEdt_ShowTime, r.ShowTime);
    SpnEdt_ShowTimeChange();
    ChkLay_portrait->setChecked(r.PortraitOn == 1);
    if (r.LandscapeOn == 1) {
        RadioLay_landOne->setChecked(true);
        ChkLay_land->setChecked(true);
    } else {
        ChkLay_land->setChecked(false);
    }
}

void TFrm_Screen_Setup::Changed() { m_main.Project.ProjectSaved = false; }

void TFrm_Screen_Setup::ShowDevice()
{
    const int n = Record().ComPort;
    Lbl_Device->setText(PortDevice(n));
    // COM0 is the simulated display; it has no server.
    Edt_NetAddress->setEnabled(n != 0);
    const QMap<int, NetworkAddress> network = ReadNetworkPorts();
    Edt_NetAddress->setText(network.contains(n) ? network.value(n).url() : QString());
}

void TFrm_Screen_Setup::SpnEdt_WidthChange()
{
    Record().ScreenWidth = SpnEdt_Width->value();
    Changed();
}

void TFrm_Screen_Setup::SpnEdt_HeightChange()
{
    Record().ScreenHeight = SpnEdt_Height->value();
    Changed();
}

void TFrm_Screen_Setup::Comb_PxChange()
{
    const int i = Comb_Px->currentIndex();
    if (i == 0 || i == 1)
        Record().ColorMode = i + 1;
    Changed();
}

void TFrm_Screen_Setup::Comb_DataScanChange()
{
    Record().ScanMode = Comb_DataScan->currentIndex() == 1 ? ScanEighth : 0;
    Changed();
}

void TFrm_Screen_Setup::Comb_CommChange()
{
    const QString digits = KeepDigits(Comb_Comm->currentText());
    bool ok = false;
    const int number = digits.toInt(&ok, 10);
    if (!ok) {
        m_main.prompter()->error(this, QStringLiteral("'%1' is not a valid integer value").arg(digits));
        return;
    }
    Record().ComPort = uint8_t(number);   // numbers above 255 wrap
    ShowDevice();
    Changed();
}

void TFrm_Screen_Setup::Comb_CommExit()
{
    QLineEdit *edit = Comb_Comm->lineEdit();
    if (!edit->isModified())
        return;
    edit->setModified(false);   // before the check: its message box takes the focus
    Comb_CommChange();
}

void TFrm_Screen_Setup::Edt_NetAddressExit()
{
    if (!Edt_NetAddress->isModified())
        return;
    Edt_NetAddress->setModified(false);   // before the messages: they take the focus
    const QString text = Edt_NetAddress->text().trimmed();
    NetworkAddress address;
    if (!text.isEmpty() && !ParseNetworkAddress(text, address)) {
        m_main.prompter()->message(this, QStringLiteral("网络地址应写作 rfc2217://主机:端口，例如 rfc2217://192.168.1.20:4001"),
                                   QStringLiteral("提示"), Prompter::Warning, Prompter::Ok);
    } else {
        try {
            WriteNetworkPort(Record().ComPort, address);
        } catch (const VelmoraError &e) {
            m_main.prompter()->error(this, e.text());
        }
    }
    FillPortList();
    ShowDevice();
}

void TFrm_Screen_Setup::Comb_BaudChange()
{
    Record().BaudRate = Comb_Baud->currentText().toInt();
    Changed();
}

void TFrm_Screen_Setup::Comb_DataDAChange()
{
    Record().DataPolarity = uint8_t(Comb_DataDA->currentIndex());
    Changed();
}

void TFrm_Screen_Setup::Comb_DataOEChange()
{
    Record().OEPolarity = uint8_t(Comb_DataOE->currentIndex());
    Changed();
}

void TFrm_Screen_Setup::Comb_StuntChange()
{
    Record().Stunt = uint8_t(Comb_Stunt->currentIndex());
    Changed();
}

void TFrm_Screen_Setup::SpnEdt_RunSpeedChange()
{
    Record().RunSpeed = uint8_t(SpnEdt_RunSpeed->value());
    Changed();
}

void TFrm_Screen_Setup::SpnEdt_ShowTimeChange()
{
    Record().ShowTime = uint8_t(SpnEdt_ShowTime->value());
    Changed();
}

void TFrm_Screen_Setup::ChkLay_portraitClick()
{
    if (ChkLay_portrait->isChecked()) {
        Record().PortraitOn = 1;
    } else {
        Record().PortraitOn = 0;
        m_main.BlankPreview(m_main.PortraitImage);
    }
    Changed();
}

void TFrm_Screen_Setup::ChkLay_landClick()
{
    if (ChkLay_land->isChecked()) {
        Record().LandscapeOn = 1;
    } else {
        Record().LandscapeOn = 0;
        Record().LandscapeDouble = 0;
        m_main.BlankPreview(m_main.LandImage);
    }
    Changed();
}

void TFrm_Screen_Setup::RadioLay_landOneClick()
{
    const bool chosen = RadioLay_landOne->isChecked();
    Record().LandscapeOn = chosen ? 1 : 0;
    Record().LandscapeDouble = chosen ? 0 : 1;
    Changed();
}

void TFrm_Screen_Setup::RadioLay_landTwoClick()
{
    const bool chosen = RadioLay_landTwo->isChecked();
    Record().LandscapeDouble = chosen ? 1 : 0;
    Record().LandscapeOn = chosen ? 0 : 1;
    Changed();
}

void TFrm_Screen_Setup::done(int result)
{
    // The close box and Esc leave the fields without a focus change.
    Edt_NetAddressExit();
    Comb_CommExit();
    m_main.ResizePreview(Record().ScreenWidth, Record().ScreenHeight);
    m_main.ClearPageList();
    QDialog::done(result);
}
