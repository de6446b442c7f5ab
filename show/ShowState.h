// show/: the live show. This state, the show log that follows it and the
// cockpit's part of the main window (now/next, go-to, find, resend, the lock,
// recovery after a crash). The core files include nothing but Qt Core; the
// cockpit (uMainCockpit) is main-window code and may include app/.
//
// The live show state: what the displays show now, whether a transmission
// runs and how the last one ended. Every transmission's start, refusal and
// end is reported here; the window, the monitor and the show log follow the
// signals.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

// What a transmission carries, as the show log names it.
// GoTo only names a refused remote go-to: a selection, never a transmission.
enum class ShowKind { Page, Blank, Temp, Logo, Welcome, Params, Brightness, Reset, ClearTemp, GoTo };
QString ShowKindName(ShowKind kind);   // page, blank, temp, logo, ...

struct ShowTransmission {
    ShowKind kind = ShowKind::Page;
    int page = -1;          // index of the page, -1 when none
    QString text;           // the page or message text
    bool portrait = false;  // which displays get a frame
    bool landscape = false;
};

struct ShowEntry {
    // Refused: a remote command while the operator changes the pages or the set-up.
    enum Outcome { Ok, Failed, Dropped, Cancelled, Refused };
    ShowTransmission what;
    Outcome outcome = Ok;
    QString reason;         // why it failed
};

Q_DECLARE_METATYPE(ShowEntry)

class ShowState : public QObject {
    Q_OBJECT
public:
    // What the displays show: nothing known yet, a page, black, a message or a picture.
    enum Screen { Unknown, OnPage, Black, TempMessage, LogoPicture, WelcomePicture };

    explicit ShowState(QObject *parent = nullptr) : QObject(parent) {}

    Screen screen() const { return m_screen; }
    int onAirPage() const { return m_screen == OnPage ? m_page : -1; }
    QString onAirText() const { return m_text; }
    // The page F5 sends again: the page on air, or after a blank the page
    // that was on air before it; -1 when there is none.
    int resendPage() const { return m_lastPage; }
    bool busy() const { return m_busy; }
    const ShowTransmission &running() const { return m_running; }   // the running or last one
    const ShowEntry &last() const { return m_last; }
    // The display that may show a partial picture after a cancelled or
    // failed transmission ("竖屏", "横屏"), empty when none.
    QString partialDisplay() const { return m_partial; }
    int framesBegun() const { return m_payloads; }   // of the running or last transmission

    // The page Space sends after the selected one; -1 at the end of the list.
    static int NextPage(int selected, int count);

    void started(const ShowTransmission &what);
    void payloadBegun();   // a frame of the running transmission starts to go out
    void dropped(const ShowTransmission &what);
    void refused(const ShowTransmission &what);
    // The running transmission ended: failure empty when it went out whole.
    void ended(const QString &failure, bool cancelled);
    // The pages were edited: page numbers no longer name the same lines.
    void forgetPages();

signals:
    void changed();
    void transmissionStarted(const ShowTransmission &what);
    void transmissionEnded(const ShowEntry &entry);

private:
    void apply(const ShowTransmission &what);
    void notCarriedOut(const ShowTransmission &what, ShowEntry::Outcome outcome);
    void finish(const ShowEntry &entry);

    Screen m_screen = Unknown;
    int m_page = -1;
    int m_lastPage = -1;
    QString m_text;
    bool m_busy = false;
    int m_payloads = 0;
    ShowTransmission m_running;
    ShowEntry m_last;
    QString m_partial;
};
