// The screen parameter dialog: how it shows a project, what each control
// writes, the port field's conversion and what closing does to the window.
#include "TestWindow.h"

#include "app/PageStore.h"
#include "app/ProjectFile.h"
#include "dialogs/ComPorts.h"
#include "link/NetworkPorts.h"
#include "link/QtSerialPort.h"
#include "dialogs/uScreenSetup.h"
#include "LinkSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QtTest>
#include <memory>

namespace {
bool AllBlack(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(0, 0, 0))
                return false;
    return true;
}

// Chooses item i of a list as the user does.
void Choose(QComboBox *list, int i)
{
    list->setCurrentIndex(i);
    emit list->activated(i);
}
} // namespace

class TestScreenSetup : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void scanModeShown_data();
    void scanModeShown();
    void fillingClampsAndMarksChanged();
    void listsWriteTheirFields();
    void landscapeDoubleFromFileDropsWhenSwitchedOff();
    void portraitOffBlanksItsPreview();
    void portField();
    void portFieldTakenOnLeavingAndClosing();
    void portListUsesComNumbers();
    void networkAddressBesideThePort();
    void baudRateShownOnly();
    void closingEmptiesPageListKeepsStore();
    void widthChangeResizesPreviewAndWrap();
    void loadSendsTheParameters();
    void loadRefusesDamagedSizes();

private:
    std::unique_ptr<TestWindow> m_window;
    TFrm_Main *m_main = nullptr;
    ScriptedPrompter *m_prompter = nullptr;
};

void TestScreenSetup::init()
{
    m_window = std::make_unique<TestWindow>();
    m_main = m_window->main.get();
    m_prompter = &m_window->prompter;
    QVERIFY(m_main->Project.ProjectSaved);   // start-up defaults
}

void TestScreenSetup::cleanup() { m_window.reset(); }

void TestScreenSetup::scanModeShown_data()
{
    QTest::addColumn<int>("scanMode");
    QTest::addColumn<int>("item");
    QTest::newRow("16 is 1/8") << 16 << 1;
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("8") << 8 << 0;
    QTest::newRow("17") << 17 << 0;
    QTest::newRow("255") << 255 << 0;
}

void TestScreenSetup::scanModeShown()
{
    QFETCH(int, scanMode);
    QFETCH(int, item);
    m_main->Record().ScanMode = uint8_t(scanMode);
    TFrm_Screen_Setup dialog(*m_main);
    QCOMPARE(dialog.Comb_DataScan->currentIndex(), item);
    QCOMPARE(m_main->Record().ScanMode, uint8_t(scanMode));   // showing changes nothing

    Choose(dialog.Comb_DataScan, 1);
    QCOMPARE(m_main->Record().ScanMode, uint8_t(16));
    Choose(dialog.Comb_DataScan, 0);
    QCOMPARE(m_main->Record().ScanMode, uint8_t(0));
}

void TestScreenSetup::fillingClampsAndMarksChanged()
{
    TProjectRecord &r = m_main->Record();
    QCOMPARE(r.RunSpeed, uint8_t(0));   // the start-up default
    r.ScreenWidth = 600;
    r.ScreenHeight = 3;
    {
        TFrm_Screen_Setup dialog(*m_main);
        dialog.show();
        dialog.close();
    }
    QVERIFY(!m_main->Project.ProjectSaved);
    QCOMPARE(r.RunSpeed, uint8_t(1));
    QCOMPARE(r.ScreenWidth, 512);
    QCOMPARE(r.ScreenHeight, 16);
    QCOMPARE(r.ShowTime, uint8_t(0));   // in range: written back as it was

    // Widths the renderer cannot draw (not whole bytes) become the next lower
    // multiple of 8; others off the step stay as they are.
    r.ScreenWidth = 300;
    TFrm_Screen_Setup again(*m_main);
    QCOMPARE(again.SpnEdt_Width->value(), 296);
    QCOMPARE(r.ScreenWidth, 296);
    again.SpnEdt_Width->stepUp();
    QCOMPARE(r.ScreenWidth, 312);

    QLineEdit *typed = again.SpnEdt_Width->findChild<QLineEdit *>();
    typed->selectAll();
    QTest::keyClicks(typed, QStringLiteral("333"));
    QCOMPARE(r.ScreenWidth, 312);   // not a width yet
    again.SpnEdt_Width->interpretText();   // as when the field is left
    QCOMPARE(again.SpnEdt_Width->value(), 328);
    QCOMPARE(r.ScreenWidth, 328);
    typed->selectAll();
    QTest::keyClicks(typed, QStringLiteral("344"));
    QCOMPARE(r.ScreenWidth, 344);
    QCOMPARE(again.SpnEdt_Width->singleStep(), 16);
    QCOMPARE(again.SpnEdt_Height->singleStep(), 8);
}

void TestScreenSetup::listsWriteTheirFields()
{
    TProjectRecord &r = m_main->Record();
    r.ColorMode = 7;   // a damaged value: no item, and kept until one is chosen
    TFrm_Screen_Setup dialog(*m_main);
    QCOMPARE(dialog.Comb_Px->currentIndex(), -1);
    QCOMPARE(r.ColorMode, 7);

    m_main->Project.ProjectSaved = true;
    Choose(dialog.Comb_Px, 1);
    QCOMPARE(r.ColorMode, 2);
    QVERIFY(!m_main->Project.ProjectSaved);
    Choose(dialog.Comb_Px, 0);
    QCOMPARE(r.ColorMode, 1);
    Choose(dialog.Comb_DataDA, 1);
    Choose(dialog.Comb_DataOE, 1);
    Choose(dialog.Comb_Stunt, 4);
    QCOMPARE(r.DataPolarity, uint8_t(1));
    QCOMPARE(r.OEPolarity, uint8_t(1));
    QCOMPARE(r.Stunt, uint8_t(4));
    dialog.SpnEdt_RunSpeed->setValue(16);
    dialog.SpnEdt_ShowTime->setValue(255);
    QCOMPARE(r.RunSpeed, uint8_t(16));
    QCOMPARE(r.ShowTime, uint8_t(255));

    // The record is shown as it is when the dialog opens again.
    TFrm_Screen_Setup again(*m_main);
    QCOMPARE(again.Comb_Px->currentIndex(), 0);
    QCOMPARE(again.Comb_DataDA->currentIndex(), 1);
    QCOMPARE(again.Comb_DataOE->currentIndex(), 1);
    QCOMPARE(again.Comb_Stunt->currentIndex(), 4);
    QCOMPARE(again.SpnEdt_RunSpeed->value(), 16);
    QCOMPARE(again.SpnEdt_ShowTime->value(), 255);
}

void TestScreenSetup::landscapeDoubleFromFileDropsWhenSwitchedOff()
{
    TProjectRecord file{};
    SetStartupDefaults(file);
    file.LandscapeOn = 0;
    file.LandscapeDouble = 1;
    const QString path = m_window->dir.filePath(QStringLiteral("double.prj"));
    WriteProjectFile(path, file);
    m_main->LoadProject(path);

    TFrm_Screen_Setup dialog(*m_main);
    TProjectRecord &r = m_main->Record();
    QVERIFY(!dialog.ChkLay_land->isChecked());
    QVERIFY(dialog.GroupLay_land->isHidden());
    QVERIFY(!dialog.RadioLay_landOne->isEnabled());
    QCOMPARE(r.LandscapeDouble, uint8_t(1));

    dialog.ChkLay_land->click();
    QCOMPARE(r.LandscapeOn, uint8_t(1));
    QCOMPARE(r.LandscapeDouble, uint8_t(1));   // switching on leaves it
    m_main->LandImage.fill(Qt::white);
    dialog.ChkLay_land->click();
    QCOMPARE(r.LandscapeOn, uint8_t(0));
    QCOMPARE(r.LandscapeDouble, uint8_t(0));
    QVERIFY(AllBlack(m_main->LandImage));
    dialog.ChkLay_land->click();
    QCOMPARE(r.LandscapeOn, uint8_t(1));
    QCOMPARE(r.LandscapeDouble, uint8_t(0));

    // The double-sided choice, reachable only from a form that shows it.
    dialog.RadioLay_landTwo->setChecked(true);
    QCOMPARE(r.LandscapeDouble, uint8_t(1));
    QCOMPARE(r.LandscapeOn, uint8_t(0));
}

void TestScreenSetup::portraitOffBlanksItsPreview()
{
    m_main->Record().PortraitOn = 1;
    TFrm_Screen_Setup dialog(*m_main);
    QVERIFY(dialog.ChkLay_portrait->isChecked());
    m_main->PortraitImage.fill(Qt::red);
    m_main->LandImage.fill(Qt::red);
    dialog.ChkLay_portrait->click();
    QCOMPARE(m_main->Record().PortraitOn, uint8_t(0));
    QVERIFY(AllBlack(m_main->PortraitImage));
    QVERIFY(!AllBlack(m_main->LandImage));
    dialog.ChkLay_portrait->click();
    QCOMPARE(m_main->Record().PortraitOn, uint8_t(1));
}

void TestScreenSetup::portField()
{
    TProjectRecord &r = m_main->Record();
    r.ComPort = 3;
    TFrm_Screen_Setup dialog(*m_main);
    QCOMPARE(dialog.Comb_Comm->currentText(), QStringLiteral("COM3"));
    QCOMPARE(dialog.Lbl_Device->text(), SerialDevicePath(3));

    // Showing a text runs no conversion.
    dialog.Comb_Comm->setEditText(QStringLiteral("COM9"));
    QCOMPARE(r.ComPort, uint8_t(3));

    // Typing runs it once, on Enter: "com" on the way to "com7" is no error.
    QLineEdit *edit = dialog.Comb_Comm->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("com7"));
    QCOMPARE(edit->text(), QStringLiteral("com7"));
    QCOMPARE(r.ComPort, uint8_t(3));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(r.ComPort, uint8_t(7));
    QCOMPARE(dialog.Lbl_Device->text(), SerialDevicePath(7));
    QVERIFY(m_prompter->errors.isEmpty());

    // Leaving the field without a change converts nothing.
    m_main->Project.ProjectSaved = true;
    emit edit->editingFinished();
    QVERIFY(m_main->Project.ProjectSaved);

    const auto refused = [&](const QString &text, const QString &converted) {
        m_main->Project.ProjectSaved = true;
        m_prompter->errors.clear();
        edit->setText(text);
        dialog.Comb_CommChange();
        QCOMPARE(m_prompter->errors,
                 QStringList{QStringLiteral("'%1' is not a valid integer value").arg(converted)});
        QCOMPARE(r.ComPort, uint8_t(7));
        QVERIFY(m_main->Project.ProjectSaved);
    };
    refused(QStringLiteral("COM"), QString());
    refused(QStringLiteral("COM1.5"), QStringLiteral("1.5"));
    refused(QStringLiteral("COM99999999999"), QStringLiteral("99999999999"));

    m_prompter->errors.clear();
    edit->setText(QStringLiteral("COM300"));
    dialog.Comb_CommChange();
    QCOMPARE(r.ComPort, uint8_t(44));   // one byte: 300 mod 256
    QVERIFY(!m_main->Project.ProjectSaved);
    QVERIFY(m_prompter->errors.isEmpty());
}

void TestScreenSetup::portFieldTakenOnLeavingAndClosing()
{
    TProjectRecord &r = m_main->Record();
    r.ComPort = 3;
    TFrm_Screen_Setup dialog(*m_main);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QLineEdit *edit = dialog.Comb_Comm->lineEdit();
    edit->setFocus();

    // Tab to the next control takes the number.
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("COM12"));
    QTest::keyClick(edit, Qt::Key_Tab);
    QVERIFY(!edit->hasFocus());
    QCOMPARE(r.ComPort, uint8_t(12));

    // A text without a number is reported once, however it is left.
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("COM"));
    QVERIFY(m_prompter->errors.isEmpty());
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Tab);
    QCOMPARE(m_prompter->errors,
             QStringList{QStringLiteral("'' is not a valid integer value")});
    QCOMPARE(r.ComPort, uint8_t(12));

    // The close box takes what was typed last, though the focus stays put.
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("com9"));
    dialog.close();
    QCOMPARE(r.ComPort, uint8_t(9));
    QCOMPARE(m_prompter->errors.size(), 1);
}

void TestScreenSetup::portListUsesComNumbers()
{
    TFrm_Screen_Setup dialog(*m_main);
    const QList<ComPortEntry> ports = AvailableComPorts();
    QCOMPARE(dialog.Comb_Comm->count(), ports.size() + 1);

    // The simulated display comes first, also on a machine without ports.
    QCOMPARE(dialog.Comb_Comm->itemText(0), QStringLiteral("COM0 (模拟显示屏)"));
    m_main->Record().ComPort = 3;
    Choose(dialog.Comb_Comm, 0);
    QCOMPARE(int(m_main->Record().ComPort), 0);
    QCOMPARE(dialog.Lbl_Device->text(), QStringLiteral("模拟显示屏"));

    const QRegularExpression comName(QStringLiteral("^COM([0-9]+)$"));
    for (int i = 1; i < dialog.Comb_Comm->count(); ++i) {
        const QRegularExpressionMatch m = comName.match(dialog.Comb_Comm->itemText(i));
        QVERIFY2(m.hasMatch(), qPrintable(dialog.Comb_Comm->itemText(i)));
        const QString device = dialog.Comb_Comm->itemData(i, Qt::ToolTipRole).toString();
        QCOMPARE(ComPortOfDevice(device), m.captured(1).toInt());

        // Choosing the item stores exactly its number.
        Choose(dialog.Comb_Comm, i);
        QCOMPARE(int(m_main->Record().ComPort), ports[i - 1].number % 256);
    }
    QVERIFY(m_prompter->errors.isEmpty());
}

// The address of a network serial server is kept for the machine, not the
// project; the port list and the device label show it beside the number.
void TestScreenSetup::networkAddressBesideThePort()
{
    TProjectRecord &r = m_main->Record();
    r.ComPort = 4;
    TFrm_Screen_Setup dialog(*m_main);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QLineEdit *address = dialog.Edt_NetAddress;
    QVERIFY(address->isEnabled());
    QCOMPARE(address->text(), QString());

    const auto type = [&](const QString &text, Qt::Key leaveWith) {
        QTest::mouseClick(address, Qt::LeftButton, {}, address->rect().center());
        address->selectAll();
        QTest::keyClick(address, Qt::Key_Delete);
        QTest::keyClicks(address, text);
        QTest::keyClick(address, leaveWith);
    };
    type(QStringLiteral("rfc2217://127.0.0.1:4001"), Qt::Key_Return);
    QCOMPARE(ReadNetworkPorts().value(4).url(), QStringLiteral("rfc2217://127.0.0.1:4001"));
    QCOMPARE(dialog.Lbl_Device->text(), QStringLiteral("网络 127.0.0.1:4001"));
    QCOMPARE(PortLabel(ComPortName(4)), QStringLiteral("COM4 (网络 127.0.0.1:4001)"));
    const int item = dialog.Comb_Comm->findText(QStringLiteral("COM4"));
    QVERIFY(item > 0);
    QCOMPARE(dialog.Comb_Comm->itemData(item, Qt::ToolTipRole).toString(), QStringLiteral("网络 127.0.0.1:4001"));
    QCOMPARE(dialog.Comb_Comm->currentText(), QStringLiteral("COM4"));
    QCOMPARE(r.ComPort, uint8_t(4));   // the record keeps its number

    // A malformed address is explained and the stored one stays.
    type(QStringLiteral("192.168.1.20:4001"), Qt::Key_Tab);
    QCOMPARE(m_prompter->messages.size(), 1);
    QCOMPARE(m_prompter->messages[0].caption, QStringLiteral("提示"));
    QVERIFY(m_prompter->messages[0].text.contains(QStringLiteral("rfc2217://主机:端口")));
    QCOMPARE(address->text(), QStringLiteral("rfc2217://127.0.0.1:4001"));
    QCOMPARE(ReadNetworkPorts().value(4).url(), QStringLiteral("rfc2217://127.0.0.1:4001"));

    // An empty field gives the number back to the machine's serial port.
    type(QString(), Qt::Key_Return);
    QVERIFY(ReadNetworkPorts().isEmpty());
    QCOMPARE(dialog.Lbl_Device->text(), SerialDevicePath(4));
    QCOMPARE(dialog.Comb_Comm->findData(QStringLiteral("网络 127.0.0.1:4001"), Qt::ToolTipRole), -1);

    // The simulated display has no server.
    Choose(dialog.Comb_Comm, 0);
    QVERIFY(!address->isEnabled());
    QCOMPARE(m_prompter->messages.size(), 1);
}

void TestScreenSetup::baudRateShownOnly()
{
    m_main->Record().BaudRate = 4800;
    TFrm_Screen_Setup dialog(*m_main);
    QCOMPARE(dialog.Comb_Baud->currentIndex(), -1);
    QVERIFY(!dialog.Comb_Baud->isEnabled());
    QCOMPARE(m_main->Record().BaudRate, 4800);

    m_main->Record().BaudRate = 9600;
    TFrm_Screen_Setup again(*m_main);
    QCOMPARE(again.Comb_Baud->currentText(), QStringLiteral("9600"));
}

void TestScreenSetup::closingEmptiesPageListKeepsStore()
{
    m_main->Richedt_Screen->load("first\r\nsecond\r\nthird\r\n");
    m_main->RebuildPageList();
    QCOMPARE(m_main->PageCount(), 3);
    m_main->SelectPage(1);

    TFrm_Screen_Setup dialog(*m_main);
    dialog.show();
    QCOMPARE(m_main->PageCount(), 3);   // only closing empties it
    dialog.Btn_Close->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(m_main->PageCount(), 0);
    QCOMPARE(m_main->SelectedIndex(), -1);
    QCOMPARE(m_main->Richedt_Screen->textLineCount(), 3);
    QCOMPARE(m_main->Richedt_Screen->page(2), QStringLiteral("third"));
}

void TestScreenSetup::widthChangeResizesPreviewAndWrap()
{
    QCOMPARE(m_main->Record().ScreenWidth, 256);
    QCOMPARE(m_main->LandImage.width(), 256);
    TFrm_Screen_Setup dialog(*m_main);
    dialog.SpnEdt_Width->setValue(320);
    dialog.SpnEdt_Height->setValue(48);
    QCOMPARE(m_main->LandImage.width(), 256);   // resized only at closing
    dialog.reject();   // the close box and Escape end here too
    QCOMPARE(m_main->Record().ScreenWidth, 320);
    QCOMPARE(m_main->LandImage.size(), QSize(320, 48));
    QCOMPARE(m_main->PortraitImage.size(), QSize(48, 320));
    QCOMPARE(m_main->Richedt_Screen->wrapWidth(), 327);
}

// "加载" sends the parameters as the dialog has just set them, to every
// configured display, and the dialog stays open.
void TestScreenSetup::loadSendsTheParameters()
{
    auto log = std::make_shared<WireLog>();
    auto clock = std::make_shared<VirtualClock>();
    m_main->LinkEnvironment = {RecordingPorts(log, clock), clock};
    TFrm_Screen_Setup dialog(*m_main);
    dialog.show();
    dialog.SpnEdt_Width->setValue(512);
    dialog.SpnEdt_Height->setValue(80);
    Choose(dialog.Comb_Px, 1);
    Choose(dialog.Comb_DataScan, 1);
    Choose(dialog.Comb_DataOE, 1);
    QVERIFY(dialog.Btn_DownLoad->isEnabled());
    dialog.Btn_DownLoad->click();
    QTRY_VERIFY(log->lines().filter(QStringLiteral(" close")).size() == 1);
    QTRY_VERIFY(!CurrentSendThread.load());
    const QVector<WireEvent> writes = Writes(log->lines());
    QStringList hex;
    for (const WireEvent &w : writes)
        hex << QString::fromLatin1(w.bytes.toHex());
    QCOMPARE(hex, QStringList({"0202", "f2", "0200005002100100aa", "0101", "f2", "0200005002100100aa"}));
    QVERIFY(dialog.isVisible());
}

// A damaged project whose width doubles past what the frame carries sends
// nothing and says which value is wrong.
void TestScreenSetup::loadRefusesDamagedSizes()
{
    auto log = std::make_shared<WireLog>();
    auto clock = std::make_shared<VirtualClock>();
    m_main->LinkEnvironment = {RecordingPorts(log, clock), clock};
    TFrm_Screen_Setup dialog(*m_main);
    dialog.show();
    m_main->Record().ScreenWidth = INT_MAX;
    m_main->Record().LandscapeOn = 0;
    m_main->Record().LandscapeDouble = 1;
    dialog.Btn_DownLoad->click();
    QCOMPARE(m_prompter->errors,
             QStringList{QStringLiteral("工程已损坏：屏宽2147483647超出屏参的范围（0～65535），未发送屏参")});
    QVERIFY(!CurrentSendThread.load());
    QVERIFY(log->lines().isEmpty());
    QVERIFY(dialog.isVisible());
}

QTEST_MAIN(TestScreenSetup)
#include "tst_screensetup.moc"
