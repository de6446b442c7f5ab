#include "show/ShowState.h"

QString ShowKindName(ShowKind kind)
{
    switch (kind) {
    case ShowKind::Page: return QStringLiteral("page");
    case ShowKind::Blank: return QStringLiteral("blank");
    case ShowKind::Temp: return QStringLiteral("temp");
    case ShowKind::Logo: return QStringLiteral("logo");
    case ShowKind::Welcome: return QStringLiteral("welcome");
    case ShowKind::Params: return QStringLiteral("params");
    case ShowKind::Brightness: return QStringLiteral("brightness");
    case ShowKind::Reset: return QStringLiteral("reset");
    case ShowKind::ClearTemp: return QStringLiteral("clear-temp");
    case ShowKind::GoTo: return QStringLiteral("goto");
    }
    return QString();
}

int ShowState::NextPage(int selected, int count)
{
    return selected >= 0 && selected + 1 < count ? selected + 1 : -1;
}

void ShowState::started(const ShowTransmission &what)
{
    m_running = what;
    m_busy = true;
    m_payloads = 0;
    emit transmissionStarted(what);
    emit changed();
}

void ShowState::payloadBegun()
{
    ++m_payloads;
}

void ShowState::dropped(const ShowTransmission &what)
{
    notCarriedOut(what, ShowEntry::Dropped);
}

void ShowState::refused(const ShowTransmission &what)
{
    notCarriedOut(what, ShowEntry::Refused);
}

void ShowState::notCarriedOut(const ShowTransmission &what, ShowEntry::Outcome outcome)
{
    ShowEntry entry;
    entry.what = what;
    entry.outcome = outcome;
    emit transmissionEnded(entry);   // the running one and the screen are untouched
}

void ShowState::ended(const QString &failure, bool cancelled)
{
    if (!m_busy)
        return;
    m_busy = false;
    ShowEntry entry;
    entry.what = m_running;
    entry.outcome = failure.isEmpty() ? ShowEntry::Ok
                                      : cancelled ? ShowEntry::Cancelled : ShowEntry::Failed;
    entry.reason = failure;
    m_partial.clear();
    if (entry.outcome == ShowEntry::Ok) {
        apply(m_running);
    } else if (m_payloads > 0) {
        // Slot 1 goes out before slot 2: the last frame begun was cut short.
        const bool second = m_payloads > 1 || !m_running.portrait;
        m_partial = second ? QStringLiteral("横屏") : QStringLiteral("竖屏");
    }
    finish(entry);
}

void ShowState::apply(const ShowTransmission &what)
{
    switch (what.kind) {
    case ShowKind::Page:
        m_screen = OnPage;
        m_page = m_lastPage = what.page;
        m_text = what.text;
        break;
    case ShowKind::Blank:
        m_screen = Black;   // the page before stays the one F5 resends
        m_text.clear();
        break;
    case ShowKind::Temp:
        m_screen = TempMessage;
        m_text = what.text;
        break;
    case ShowKind::Logo:
        m_screen = LogoPicture;
        m_text.clear();
        break;
    case ShowKind::Welcome:
        m_screen = WelcomePicture;
        m_text.clear();
        break;
    default:
        break;   // control commands leave the picture as it is
    }
}

void ShowState::finish(const ShowEntry &entry)
{
    m_last = entry;
    emit transmissionEnded(entry);
    emit changed();
}

void ShowState::forgetPages()
{
    if (m_screen == OnPage)
        m_screen = Unknown;
    m_page = m_lastPage = -1;
    emit changed();
}
