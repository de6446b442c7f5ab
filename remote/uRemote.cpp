#include "remote/uRemote.h"

#include "app/Errors.h"
#include "remote/QrCode.h"
#include "remote/OscReceiver.h"
#include "remote/RemoteAddresses.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int QrPixels = 220;

QSpinBox *NewPortBox(QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setRange(1, 65535);
    box->setKeyboardTracking(false);
    return box;
}

// The token travels in an HTTP header and is typed on tablets: printable
// ASCII without spaces only.
bool TokenCharactersOk(const QString &token)
{
    return std::all_of(token.begin(), token.end(),
                       [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7f; });
}
} // namespace

TFrm_Remote::TFrm_Remote(const TRemoteSettings &settings, ApplyFn apply, LiveFn live, QWidget *parent)
    : QDialog(parent), m_settings(settings), m_apply(std::move(apply)), m_live(std::move(live)),
      m_refresh(new QTimer(this))
{
    setObjectName(QStringLiteral("Frm_Remote"));
    setWindowTitle(QStringLiteral("远程与观众"));
    BuildControls();
    Fill();
    ShowAddresses(0);
    // A port that was taken may come free while the dialog is open.
    m_refresh->setInterval(RefreshMs);
    connect(m_refresh, &QTimer::timeout, this, &TFrm_Remote::Refresh);
    m_refresh->start();
    Refresh();
}

void TFrm_Remote::BuildControls()
{
    Chk_Enabled = new QCheckBox(QStringLiteral("启用观众页面与远程控制(&E)"), this);
    Edt_Port = NewPortBox(this);
    Edt_Token = new QLineEdit(this);
    Btn_NewToken = new QPushButton(QStringLiteral("重新生成(&R)"), this);
    Chk_OscEnabled = new QCheckBox(QStringLiteral("启用 OSC 控制(&O)"), this);
    Edt_OscPort = NewPortBox(this);
    Edt_OscAllowFrom = new QLineEdit(this);
    Edt_OscAllowFrom->setPlaceholderText(QStringLiteral("空白表示任何发送方，例如 192.168.1.20, 10.0.0.0/8"));
    Lbl_OscOpen = new QLabel(QStringLiteral("未限制发送方：网络上的任何设备都能用 OSC 切换字幕。"), this);
    Lbl_OscOpen->setWordWrap(true);
    Lbl_OscOpen->setStyleSheet(QStringLiteral("color: #b35c00;"));
    Lbl_OscCounts = new QLabel(this);
    Lst_Addresses = new QListWidget(this);
    Img_Qr = new QLabel(this);
    Img_Qr->setFixedSize(QrPixels, QrPixels);
    Img_Qr->setAlignment(Qt::AlignCenter);
    Lbl_Status = new QLabel(this);
    Lbl_Status->setWordWrap(true);
    Lbl_Message = new QLabel(this);
    Lbl_Message->setWordWrap(true);
    Lbl_Message->setStyleSheet(QStringLiteral("color: #c00000;"));
    Btn_Close = new QPushButton(QStringLiteral("关闭(&C)"), this);

    auto *tokenRow = new QHBoxLayout;
    tokenRow->addWidget(Edt_Token, 1);
    tokenRow->addWidget(Btn_NewToken);
    auto *form = new QFormLayout;
    form->addRow(Chk_Enabled);
    form->addRow(QStringLiteral("网页端口："), Edt_Port);
    form->addRow(QStringLiteral("操作令牌："), tokenRow);
    form->addRow(Chk_OscEnabled);
    form->addRow(QStringLiteral("OSC 端口："), Edt_OscPort);
    form->addRow(QStringLiteral("允许的 OSC 发送方："), Edt_OscAllowFrom);
    form->addRow(Lbl_OscOpen);
    form->addRow(Lbl_OscCounts);

    auto *addresses = new QHBoxLayout;
    addresses->addWidget(Lst_Addresses, 1);
    addresses->addWidget(Img_Qr);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Btn_Close);
    auto *layout = new QVBoxLayout(this);
    m_layout = layout;
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("观众与操作地址（扫描二维码打开观众页面）："), this));
    layout->addLayout(addresses);
    layout->addWidget(Lbl_Status);
    layout->addWidget(Lbl_Message);
    layout->addLayout(buttons);

    connect(Chk_Enabled, &QCheckBox::toggled, this,
            [this](bool on) { Change([on](TRemoteSettings &s) { s.Enabled = on; }); });
    connect(Edt_Port, &QSpinBox::editingFinished, this,
            [this] { Change([this](TRemoteSettings &s) { s.Port = Edt_Port->value(); }); });
    connect(Edt_Token, &QLineEdit::editingFinished, this, &TFrm_Remote::TokenEdited);
    connect(Btn_NewToken, &QPushButton::clicked, this,
            [this] { Change([](TRemoteSettings &s) { s.Token = NewRemoteToken(); }); });
    connect(Chk_OscEnabled, &QCheckBox::toggled, this,
            [this](bool on) { Change([on](TRemoteSettings &s) { s.OscEnabled = on; }); });
    connect(Edt_OscPort, &QSpinBox::editingFinished, this,
            [this] { Change([this](TRemoteSettings &s) { s.OscPort = Edt_OscPort->value(); }); });
    connect(Edt_OscAllowFrom, &QLineEdit::editingFinished, this, &TFrm_Remote::AllowFromEdited);
    connect(Lst_Addresses, &QListWidget::currentRowChanged, this, &TFrm_Remote::ShowQr);
    connect(Btn_Close, &QPushButton::clicked, this, &QDialog::accept);
}

// Shows m_settings without firing the change handlers.
void TFrm_Remote::AddSection(QWidget *section)
{
    m_layout->insertWidget(m_layout->indexOf(Lbl_Status), section);
}

void TFrm_Remote::Fill()
{
    const QSignalBlocker b1(Chk_Enabled), b2(Edt_Port), b3(Edt_Token), b4(Chk_OscEnabled),
        b5(Edt_OscPort), b6(Edt_OscAllowFrom);
    Chk_Enabled->setChecked(m_settings.Enabled);
    Edt_Port->setValue(m_settings.Port);
    Edt_Token->setText(m_settings.Token);
    Chk_OscEnabled->setChecked(m_settings.OscEnabled);
    Edt_OscPort->setValue(m_settings.OscPort);
    Edt_OscAllowFrom->setText(m_settings.OscAllowFrom);
    Lbl_OscOpen->setVisible(m_settings.OscEnabled && m_settings.OscAllowFrom.isEmpty());
}

// Applies first, so that the show gets what the operator chose even when
// the settings file cannot be written; the failure is then shown.
void TFrm_Remote::Change(const std::function<void(TRemoteSettings &)> &edit)
{
    TRemoteSettings next = m_settings;
    edit(next);
    Commit(next);
}

void TFrm_Remote::Commit(TRemoteSettings next)
{
    if (next.Enabled)
        EnsureRemoteToken(next);
    if (next == m_settings)
        return;
    m_settings = next;
    Fill();
    Lbl_Message->clear();
    m_apply(m_settings);
    try {
        WriteRemoteSettings(m_settings);
    } catch (const VelmoraError &e) {
        Lbl_Message->setText(QStringLiteral("设置已生效，但未能保存：%1").arg(e.text()));
    }
    Refresh();
}

void TFrm_Remote::Refresh()
{
    const RemoteLive live = m_live();
    Lbl_Status->setText(live.status);
    Lbl_OscCounts->setText(live.oscCounts);
    Lbl_OscCounts->setVisible(!live.oscCounts.isEmpty());
    if (live.port != m_shownPort)
        ShowAddresses(live.port);
}

void TFrm_Remote::Refuse(const QString &text)
{
    Fill();
    Lbl_Message->setText(text);
}

void TFrm_Remote::TokenEdited()
{
    TRemoteSettings next = m_settings;
    next.Token = Edt_Token->text().trimmed();
    if (next.Token == m_settings.Token)
        return;
    if (next.Token.size() < MinRemoteTokenLength)
        return Refuse(QStringLiteral("令牌至少需要 %1 个字符；仍使用原来的令牌。").arg(MinRemoteTokenLength));
    if (!TokenCharactersOk(next.Token))
        return Refuse(QStringLiteral("令牌只能由字母、数字和英文符号组成，不能有空格；仍使用原来的令牌。"));
    Commit(next);
}

void TFrm_Remote::AllowFromEdited()
{
    TRemoteSettings next = m_settings;
    next.OscAllowFrom = Edt_OscAllowFrom->text().trimmed();
    QString error;
    if (!ParseOscAllowList(next.OscAllowFrom, nullptr, &error))
        return Refuse(error + QStringLiteral("；仍使用原来的设置。"));
    Commit(next);
}

// Only addresses that answer are offered: nothing while the server does not listen.
void TFrm_Remote::ShowAddresses(quint16 port)
{
    m_shownPort = port;
    const int row = std::max(0, Lst_Addresses->currentRow());
    const QSignalBlocker blocker(Lst_Addresses);
    Lst_Addresses->clear();
    const QList<RemoteAddress> addresses = port ? RemoteAddresses(LocalAddresses(), port) : QList<RemoteAddress>();
    for (const RemoteAddress &address : addresses) {
        auto *item = new QListWidgetItem(
            QStringLiteral("观众：%1\n操作：%2").arg(address.audience, address.remote), Lst_Addresses);
        item->setData(Qt::UserRole, address.audience);
    }
    Lst_Addresses->setCurrentRow(std::min(row, Lst_Addresses->count() - 1));
    ShowQr();
}

void TFrm_Remote::ShowQr()
{
    const QListWidgetItem *item = Lst_Addresses->currentItem();
    if (!item) {
        Img_Qr->clear();
        Img_Qr->setText(QStringLiteral("网页服务未开启"));
        Img_Qr->setToolTip(QString());
        return;
    }
    const QString url = item->data(Qt::UserRole).toString();
    const QrMatrix matrix = MakeQrMatrix(url.toUtf8());
    Img_Qr->setPixmap(QPixmap::fromImage(QrImage(matrix, QrModuleSize(matrix, QrPixels))));
    Img_Qr->setToolTip(url);
}
