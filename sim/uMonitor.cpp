#include "sim/uMonitor.h"

#include "sim/LedPicture.h"
#include "sim/WireTap.h"

#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
constexpr int AddrLandscape = 1;
constexpr int AddrPortrait = 2;
constexpr int FaceGap = 8;

QString CommandText(int command)
{
    switch (command) {
    case 0xF1: return QStringLiteral("复位");
    case 0xF2: return QStringLiteral("屏参");
    case 0xF3: return QStringLiteral("页面");
    case 0xF4: return QStringLiteral("LOGO");
    case 0xF5: return QStringLiteral("欢迎词");
    case 0xF6: return QStringLiteral("亮度");
    case 0xF7: return QStringLiteral("临时信息");
    case 0xF8: return QStringLiteral("清除临时信息");
    default: return QStringLiteral("无");
    }
}

// The pictures of the last frame that carried one: a temporary message shows
// all its segments, one under the other.
QVector<QImage> ShownPictures(const SimDisplayState &state)
{
    switch (state.pictureKind) {
    case 0xF4: return {state.logo};
    case 0xF5: return {state.welcome};
    case 0xF7: {
        QVector<QImage> segments;
        for (const SimSegment &s : state.tempMessage)
            segments << s.picture;
        return segments;
    }
    case 0xF3: return {state.picture};
    default: break;
    }
    const SimGeometry g = state.geometry();
    if (!g.valid())
        return {};
    QImage dark(g.width, g.height, QImage::Format_RGB32);
    dark.fill(Qt::black);
    return {dark};
}

QImage Stack(const QVector<QImage> &faces)
{
    int width = 0, height = 0;
    for (const QImage &f : faces) {
        width = std::max(width, f.width());
        height += f.height() + FaceGap;
    }
    QImage out(std::max(width, 1), std::max(height - FaceGap, 1), QImage::Format_RGB32);
    out.fill(QColor(20, 20, 20));
    QPainter painter(&out);
    int y = 0;
    for (const QImage &f : faces) {
        painter.drawImage(0, y, f);
        y += f.height() + FaceGap;
    }
    return out;
}
} // namespace

TFrm_Monitor::TFrm_Monitor(WireTap *tap, const TProjectRecord *record, QWidget *parent)
    : QWidget(parent, Qt::Window), m_tap(tap), m_record(record)
{
    setObjectName(QStringLiteral("Frm_Monitor"));
    setWindowTitle(QStringLiteral("LED监视器"));
    resize(760, 480);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("LED间距")));
    SpnEdt_Pitch = new QSpinBox;
    SpnEdt_Pitch->setObjectName(QStringLiteral("SpnEdt_Pitch"));
    SpnEdt_Pitch->setRange(1, 10);
    SpnEdt_Pitch->setValue(3);
    top->addWidget(SpnEdt_Pitch);
    Lbl_Unaddressed = new QLabel;
    top->addStretch();
    top->addWidget(Lbl_Unaddressed);

    auto *content = new QWidget;
    m_panels = new QVBoxLayout(content);
    m_panels->addStretch();
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    scroll->setStyleSheet(QStringLiteral("background: black; color: #d0d0d0;"));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(scroll);

    connect(SpnEdt_Pitch, qOverload<int>(&QSpinBox::valueChanged), this, &TFrm_Monitor::Refresh);
    connect(m_tap, &WireTap::changed, this, &TFrm_Monitor::Refresh);
    Refresh();
}

void TFrm_Monitor::Refresh()
{
    const ControllerSimulator &sim = m_tap->simulator();
    // Portrait first, as the main window shows it; then the landscape display,
    // then any other address something was sent to.
    QVector<int> addresses{AddrPortrait, AddrLandscape};
    for (const auto &entry : sim.displays())
        if (!addresses.contains(entry.first))
            addresses << entry.first;
    for (int address : addresses) {
        const SimDisplayState *state = sim.display(address);
        const bool shown = Shows(address, state);
        if (!shown && !m_panelOf.count(address))
            continue;
        Panel &panel = PanelFor(address);
        panel.box->setVisible(shown);
        // Nothing received yet: a dark display of the project's size.
        SimDisplayState none;
        if (!state && m_record)
            none.defaults = ProjectGeometry(*m_record, address);
        if (shown)
            Draw(panel, address, state ? *state : none);
    }
    const int stray = sim.unaddressedErrors();
    Lbl_Unaddressed->setText(stray ? QStringLiteral("无地址的错误数据: %1").arg(stray) : QString());
}

bool TFrm_Monitor::Shows(int address, const SimDisplayState *state) const
{
    if (state && (state->frames > 0 || state->malformed > 0))
        return true;
    if (!m_record)
        return false;
    if (address == AddrPortrait)
        return m_record->PortraitOn == 1;
    return address == AddrLandscape && (m_record->LandscapeOn == 1 || m_record->LandscapeDouble == 1);
}

TFrm_Monitor::Panel &TFrm_Monitor::PanelFor(int address)
{
    Panel &panel = m_panelOf[address];
    if (panel.box)
        return panel;
    const QString title = address == AddrPortrait    ? QStringLiteral("竖屏 (地址2)")
                          : address == AddrLandscape ? QStringLiteral("横屏 (地址1)")
                                                     : QStringLiteral("地址%1").arg(address);
    panel.box = new QGroupBox(title);
    panel.leds = new QLabel;
    panel.leds->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    panel.info = new QLabel;
    panel.info->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *layout = new QVBoxLayout(panel.box);
    layout->addWidget(panel.leds);
    layout->addWidget(panel.info);
    m_panels->insertWidget(m_panels->count() - 1, panel.box);
    return panel;
}

void TFrm_Monitor::Draw(Panel &panel, int address, const SimDisplayState &state)
{
    const int pitch = SpnEdt_Pitch->value();
    const bool portrait = address == AddrPortrait;
    const bool doubleSided = address == AddrLandscape && m_record && m_record->LandscapeOn != 1
                             && m_record->LandscapeDouble == 1;
    const SimGeometry g = state.geometry();
    const QString version = QStringLiteral("%1 %2 %3 %4 %5x%6x%7")
                                .arg(state.frames).arg(state.malformed).arg(pitch).arg(doubleSided)
                                .arg(g.width).arg(g.height).arg(g.colorMode);
    if (version == panel.drawn)
        return;
    panel.drawn = version;
    QVector<QImage> faces;
    for (const QImage &picture : ShownPictures(state))
        for (const QImage &face : AudienceFaces(picture, portrait, doubleSided))
            faces << DrawLeds(face, pitch);
    panel.leds->setPixmap(faces.isEmpty() ? QPixmap() : QPixmap::fromImage(Stack(faces)));
    panel.info->setText(InfoText(state));
    panel.info->setToolTip(state.lastError);
}

QString TFrm_Monitor::InfoText(const SimDisplayState &state) const
{
    QStringList lines;
    const SimGeometry g = state.geometry();
    lines << QStringLiteral("屏幕: %1×%2 %3%4")
                 .arg(g.width).arg(g.height)
                 .arg(g.colorMode == 2 ? QStringLiteral("双色") : QStringLiteral("单色"))
                 .arg(state.params.received ? QString() : QStringLiteral(" (工程设定, 未收到屏参)"));
    lines << (state.brightness < 0 ? QStringLiteral("亮度: 未设置")
                                   : QStringLiteral("亮度: %1 级").arg(state.brightness + 1));
    QString last = QStringLiteral("最后命令: ") + CommandText(state.lastCommand);
    if (state.lastCommand >= 0)
        last += QStringLiteral("  ")
                + QDateTime::fromMSecsSinceEpoch(qint64(state.lastTime)).toString(QStringLiteral("HH:mm:ss.zzz"));
    lines << last;
    if (state.hasEffect)
        lines << QStringLiteral("效果 %1  速度 %2  停留 %3").arg(state.effect).arg(state.speed).arg(state.dwell);
    if (state.tempPending)
        lines << QStringLiteral("临时信息: %1 段").arg(state.tempMessage.size());
    lines << QStringLiteral("错误帧: %1").arg(state.malformed);
    return lines.join(QLatin1Char('\n'));
}

QString TFrm_Monitor::PanelInfo(int address) const
{
    const auto it = m_panelOf.find(address);
    return it == m_panelOf.end() || it->second.box->isHidden() ? QString() : it->second.info->text();
}

QImage TFrm_Monitor::PanelLeds(int address) const
{
    const auto it = m_panelOf.find(address);
    return it == m_panelOf.end() ? QImage() : it->second.leds->pixmap().toImage();
}
