// The main window: owner of the project, the page list, the previews, the two
// frame slots and the running transmission.
#pragma once

#include "app/ScenarioFile.h"
#include "app/Struct.h"
#include "link/Frames.h"
#include "remote/RemoteCommand.h"
#include "remote/RemoteSettings.h"
#include "show/ShowLog.h"
#include "show/ShowState.h"
#include "link/uSendThread.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QMainWindow>
#include <QPointer>

#include <functional>

class HotKey;
struct TTempMessage;
struct TSpecialCommands;
class PageListModel;
class PageStore;
class Prompter;
class ScenarioPreload;
class QAction;
class QCheckBox;
class TimedPlayback;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;
class QTimer;
class QToolBar;
class OscReceiver;
class RemoteServer;
class TFrm_Monitor;
class WireTap;

extern const char *const ApplicationTitle;   // "Velmora舞台字幕编辑系统"

class TFrm_Main : public QMainWindow {
    Q_OBJECT
public:
    // The prompter answers every message box and file dialog; not owned.
    explicit TFrm_Main(Prompter *prompter, QWidget *parent = nullptr);
    ~TFrm_Main() override;

    // The project: record, current file name and flags.
    TProjectState Project;
    TProjectRecord &Record() { return Project.ProjectRecord; }
    const TProjectRecord &Record() const { return Project.ProjectRecord; }

    // Project life cycle.
    void LoadProject(const QString &path);
    void NewProject(const QString &name);
    void SaveProject(const QString &path);
    bool SaveProjectAs();     // false when the dialog was cancelled
    void StartupLoad();       // the load when the window is first shown
    // Until the start-up scenario is in the list, commands that use the
    // pages call this: it waits for the worker and fills the list.
    void AwaitScenario();
    // A project named on the command line: the start-up load opens it as Open
    // would, instead of the remembered project.
    void SetStartupFile(const QString &path);
    void UpdateTitle();

    // Commands of the window.
    void NewClick();
    void OpenClick();
    void SaveClick();
    void SaveAsClick();
    void ExitClick();
    void HotKeyPressed(int modifiers, int virtualKey);

    Prompter *prompter() const { return m_prompter; }
    // Runs a command; a VelmoraError ends it at the failing step and is shown
    // in a message box. Returns false when it failed.
    bool Guarded(const std::function<void()> &command);

    // --- Page preview -----------------------------------------------------
    void ResizePreview(int width, int height);
    QImage PortraitImage;   // H x W, what Img_Portrait shows
    QImage LandImage;       // W x H, what Img_Land shows
    // Draws the page into the previews of the enabled displays.
    void PreviewPage(const TProjectRecord &record, const QString &text);
    // An item of LstView_Page that becomes selected is previewed.
    void ConnectPreview();
    // Draws the glyphs of the page after delayMs once the window is idle, so
    // that sending it draws none: the page after the selected one, the first
    // ones after a load (late enough for the window to paint its list first).
    void PreparePageLater(int index, int delayMs = 0);
    // Builds the page frames of the enabled displays into PortraitFrame and
    // LandscapeFrame. False when the project's display values cannot be drawn:
    // nothing is built and the status bar says why.
    bool RenderPage(int width, int height, int colorMode, bool portraitOn, bool landscapeOn,
                    bool landscapeDouble, const QString &text, uint8_t effect, uint8_t runSpeed,
                    uint8_t showTime);
    // --- end of page preview ----------------------------------------------


    // --- Page list --------------------------------------------------------
    int SelectedIndex() const;            // -1 when nothing is selected
    int PageCount() const;                // rows of LstView_Page
    QString PageText(int index) const;    // the "内容" column of row index
    void SelectPage(int index);           // selects row index and makes it current
    void RebuildPageList();
    void ClearPageList();                 // empties the list; the store keeps its lines
    // Start-up and Open: the project's scenario; one that is missing or cannot
    // be read leaves an empty store, and the operator is told which file.
    // atStart: the scenario the worker reads is taken from it, and when it
    // is not ready yet the list is filled once it is.
    void ReloadScenario(bool atStart = false);
    void SaveScenario();                  // inside Save and Save As: the store to ScenarioFile
    // Before a save: when another program changed the scenario since it was
    // read, the operator reloads it, overwrites it or cancels the save
    // (CommandCancelled).
    void CheckScenarioOnDisk(const QString &projectFile);
    // The scenario editor wrote path: when it is the project's scenario, the
    // operator may re-import it at once.
    void ScenarioEdited(const QString &path, QWidget *owner);
    void Btn_LoadScenarioClick();
    void Btn_ModifyClick();
    void Btn_InputStrClick();
    void Btn_DeleteClick();
    PageStore *Richedt_Screen;            // the page store
    PageListModel *PageList;              // the model LstView_Page shows
    // --- end of page list -------------------------------------------------


    // --- Frames and transmissions -----------------------------------------
    QByteArray PortraitFrame;
    QByteArray LandscapeFrame;
    // The LED monitor and the tap on the writes that feeds it.
    WireTap *Tap = nullptr;
    QAction *N_Monitor = nullptr;
    TFrm_Monitor *Frm_Monitor = nullptr;
    void SetupMonitor();
    void N_MonitorClick();
    // The ports and the clock transmissions run on; tests install recording ports.
    TLinkEnvironment LinkEnvironment;
    // Hands the two slots (portrait, landscape) to a new worker. False when a
    // transmission is running: the request is dropped, nothing is queued.
    // what names the transmission for the show state and the show log.
    bool StartTransmission(const QByteArray &frame1, const QByteArray &frame2,
                           const QString &caption, ShowTransmission what = {ShowKind::Reset});
    bool StartTransmission(const TTransmission &transmission, ShowKind kind);
    // What the displays show and how the last transmission ended.
    ShowState *Show = nullptr;
    // Control commands.
    void N8Click();              // controller reset
    void SendScreenParams();     // "加载" of the screen-parameter dialog
    void StepBrightness();       // TolBtn_Light, N1
    void ClearTempMessage();     // "清除" of the temporary-message dialog
    // Pages and auto-send.
    // False when nothing went out: the page cannot be drawn or the link is busy.
    bool SendPage(int index, const QString &caption);
    // The commands below say what became of them, for remote control.
    RemoteOutcome ClearDisplay();   // N_ClearScreen (F4), Button1
    RemoteOutcome SendNextPage();   // Space, Enter: the page after the selected one
    void TlBtn_MainClick();      // TlBtn_Main, N14
    // A press in the list selects its row before the click sends it: the
    // row selected before the press comes back when the click is dropped.
    void LstView_PageMouseDown();
    void LstView_PageClick();
    bool LstView_PageKeyPress(int key);   // true when the list must not see the key
    bool PageListTyped(const QString &text);   // a digit opens 转到 with it; true when taken
    void Button2Click();
    void Timer1Timer();
    // The worker's messages.
    void SendProgress(int wParam, int lParam);
    void SendDone();
    // The link state after the last transmission: ok with its port, or the
    // failure with its reason and port, in red until a transmission succeeds.
    QLabel *LinkStatus = nullptr;
    bool LinkFailed = false;
    void SetupLinkStatus();
    void ShowLinkResult(const QString &failure);   // empty: the transmission succeeded

protected:
    void customEvent(QEvent *event) override;

private:
    void WatchPageList();        // keys, input-method composition and clicks
    // When the window goes: stops the worker, waits for it and logs its end
    // and the repeats counted.
    void StopTransmission();
    bool LinkBusy() const;       // a transmission runs or its end is being handled
    void TransmissionEnded(const QString &failure);   // the worker's end, for the show
    void StopAutoSend(const QString &failure);
    bool StoreAndStart(const TTransmission &transmission, ShowKind kind);
    bool SendRendered(const QString &text, uint8_t effect, uint8_t runSpeed, uint8_t showTime,
                      const QString &caption, const ShowTransmission &what);
    void SetLinkControlsEnabled(bool enabled);
    void SetWaitCursor(bool wait);
    void EndOfList();

    QPointer<TSendThread> m_sendThread;
    bool m_waitCursor = false;
    bool m_finishingSend = false;
    QString m_linkPort;   // PortLabel of the running or last transmission
    bool m_cancelRequested = false;   // the running transmission ends as cancelled
    bool m_blankAfterSend = false;    // F4 during a transmission: the blank follows its end
    bool m_closing = false;           // the window goes: an end is logged, nothing more
    // The selection before a press in the list, and before and after the
    // request of the running transmission: its end moves the selection only
    // from where the request left it, so a row the operator chose meanwhile stays.
    int m_rowBeforeClick = -1;
    int m_rowBeforeRequest = -1;
    int m_rowAfterRequest = -1;
    int m_settingUp = 0;              // SetUpScopes alive
    QTimer *m_repeatFlush = nullptr;  // writes the count of repeated dropped requests
    QWidget *BuildCockpit();
    // An action of the window, its key from the key table: it works wherever the focus is.
    QAction *WindowAction(const char *name, const QString &text);
    void SetupCockpit();
    QString NowLine() const;
    void OpenBox(QLineEdit *box, const QString &typed = QString());
    void LogTransmission(const ShowEntry &entry);
    void ReportLogFailure(const QString &failure);   // once, in the status bar
    ShowLog m_showLog;
    QString m_findText;
    QPointer<QWidget> m_showLogView;
    bool m_showLocked = false;
    QHash<QObject *, bool> m_enabledBeforeLock;

public:
    // --- end of frames and transmissions ----------------------------------


    // --- Operator cockpit -------------------------------------------------
    QLabel *Lbl_Now = nullptr, *Lbl_Next = nullptr;   // on air now, what Space sends next
    QLineEdit *Edt_GoTo = nullptr, *Edt_Find = nullptr;
    QPushButton *Btn_Cancel = nullptr;
    QAction *N_GoTo, *N_Find, *N_FindNext, *N_Resend, *N_Cancel, *N_ShowLog, *N_ShowLock;
    void UpdateNowNext();
    void GoToPage();             // Enter in the go-to box: selects, sends nothing
    RemoteOutcome GoToPageNumber(int page);   // page as numbered in the list
    bool FindNext();             // the next page after the selected one holding the text
    RemoteOutcome SendPreviousPage();   // PageUp
    RemoteOutcome ResendClick();        // F5
    void CancelClick();          // Btn_Cancel: stops the transmission after the write in progress
    void EscapeClick();          // Esc: closes an open box, else cancels
    QString ShowLogFile() const; // the show log beside the project
    void ShowLogClick();         // 通讯 › 演出记录
    void RecoverShow();          // at start: selects the last page that went out
    void SetShowLocked(bool locked);
    bool ShowLocked() const { return m_showLocked; }
    QList<QObject *> LockedCommands() const;   // what the show lock disables
    // --- end of operator cockpit ------------------------------------------


    // --- Remote control and audience page ---------------------------------
    // Starts, rebinds or stops the web server; an enabled one without a token
    // gets one, written back to the settings.
    void ApplyRemoteSettings(const TRemoteSettings &settings);
    QString RemoteStatus() const;   // on with its port, off, or why it failed
    quint16 RemotePort() const;     // the bound port, 0 when off
    quint16 OscPort() const;        // the bound UDP port, 0 when off
    void N_RemoteClick();           // 通讯 › 远程与观众
    // A command of the operator page or of a cue system, through the same
    // entry point as its key.
    RemoteOutcome RunRemoteCommand(RemoteCommand command, int page = 0);
    // Lives while a command that changes the pages or the set-up holds the
    // window in its dialog: remote commands are refused meanwhile.
    class SetUpScope {
    public:
        explicit SetUpScope(TFrm_Main &window) : m_window(window) { ++window.m_settingUp; }
        ~SetUpScope() { --m_window.m_settingUp; }
        SetUpScope(const SetUpScope &) = delete;
        SetUpScope &operator=(const SetUpScope &) = delete;

    private:
        TFrm_Main &m_window;
    };
    // --- end of remote control --------------------------------------------

    // --- Timed playback -----------------------------------------------------
    // The pages of a subtitle scenario at their cue times; Space and remote
    // commands send early and the clock follows them.
    TimedPlayback *Playback = nullptr;
    QGroupBox *Grp_Play = nullptr;
    QPushButton *Btn_Play = nullptr, *Btn_PlayPause = nullptr;
    QCheckBox *Chk_BlankAtEnd = nullptr;
    QLabel *Lbl_PlayClock = nullptr;
    QAction *N_Play = nullptr, *N_PlayPause = nullptr, *N_NudgeBack = nullptr, *N_NudgeOn = nullptr;
    QAction *N_ExportSubtitles = nullptr;
    void PlayClick();            // F6, Btn_Play: start from the selected page, or stop
    void PlayPauseClick();       // F7, Btn_PlayPause
    RemoteOutcome RunPlaybackCommand(RemoteCommand command);   // OSC play and pause
    void N_ExportSubtitlesClick();   // 文件 › 导出字幕: the show log as subtitles
    // --- end of timed playback ----------------------------------------------


    // --- Help -------------------------------------------------------------
    // 帮助: the operator's manual (F1; F1 in a dialog opens its section), the
    // key table, the About box. Also gives every action its keys.
    void SetupHelp();
    void N_ManualClick();
    void N_KeysClick();
    void ShowAbout();
    QMenu *N_Help = nullptr;
    QAction *N_Manual = nullptr, *N_Keys = nullptr, *N_About = nullptr;
    QPointer<QWidget> Frm_Manual, Frm_Keys;
    // --- end of help ------------------------------------------------------


    // --- Dialogs ----------------------------------------------------------
    void N6Click();                     // access code, then the screen parameter dialog
    void N3Click();                     // access code, then the LOGO and welcome dialog
    void N_FontClick();                 // N_Font, TolBtn_Font
    void N_CheckClick();                // the pre-show check of the pages, its window
    void BlankPreview(QImage &image);   // PortraitImage or LandImage, filled with black
    void ToolButton3Click();            // the scenario editor, modal
    void Btn_TempStrClick();            // the temporary-message dialog, modal
    // Stores the message, builds its frames and starts the transmission;
    // false when it was refused (the operator is told why).
    bool SendTempMessage(const TTempMessage &message);
    // The LOGO and welcome pictures: the paths are stored, then the pictures
    // loaded and sent; a picture that cannot be loaded stops before sending.
    void SendLogo(const QString &landscapeFile, const QString &portraitFile);
    void SendWelcome(const QString &file);
    TSpecialCommands SpecialCommands();   // what the LOGO/welcome dialog runs
    // --- end of dialogs ---------------------------------------------------


    // Controls, named as the operators' manual names them.
    QToolBar *ToolBar;
    QAction *TolBtn_New, *TolBtn_Open, *TolBtn_Save, *ToolButton3, *TolBtn_Font;
    QAction *TlBtn_Main, *TolBtn_Light, *TolBtn_Exit;
    QMenu *N_File, *N_Setup, *N_Send, *N13;
    QAction *N_New, *N2, *N_Save, *N_SaveAs, *N4;
    QAction *N6, *N8, *N3, *N_Font;
    QAction *N_Check;
    QAction *N1, *N14, *N_ClearScreen;
    QGroupBox *Grp_Portrait, *Grp_Land;
    QLabel *Img_Portrait, *Img_Land;
    QTableView *LstView_Page;
    QPushButton *Btn_LoadScenario, *Btn_TempStr, *Btn_Modify, *Btn_Delete, *Btn_InputStr;
    QPushButton *Button1, *Button2;
    QGroupBox *GroupBox1;
    QSpinBox *SpinEdit1;
    QTimer *Timer1;
    QLabel *StatusPanel[3];
    QProgressBar *ProgressB_State;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildMenus();
    void BuildToolBar();
    void BuildClientArea();
    void BuildStatusBar();
    void SaveCurrent();           // Save As when untitled, else Save
    void ReadOpenedProject(const QString &path);   // Open from reading the chosen file on
    bool OpenStartupFile();       // false when it could not be read (the error was shown)
    bool NeedsSavePrompt() const;
    bool AskToSaveOnExit();       // false when a save was wanted and did not succeed
    void RepaintPreviews();
    void SendPictures(const QString &caption, ShowKind kind,
                      const std::function<void(QByteArray &, QByteArray &)> &build);
    void BuildPageList();
    void LoadScenario(const QString &path);
    void ForgetPages();             // empties the store and the list
    // ScenarioFile as a file name, relative to the project's folder; empty when blank.
    QString ScenarioPath(const QString &projectFile) const;
    QString ScenarioPath() const { return ScenarioPath(Project.CurFileName); }
    void ReplaceStoreAndList(const std::function<void()> &edit, int select);
    // The start-up scenario from the worker (ScenarioPreload).
    void StartScenarioLoad(const QString &path);
    void FinishScenarioLoad();     // fills the list when the worker has loaded
    void DropPreload();
    void PreloadDone();             // the worker's check of the remembered widths
    void ScenarioLoaded(const QString &path, const QByteArray &bytes, bool exists = true);
    // The questions of CheckScenarioOnDisk; each throws CommandCancelled
    // when the operator calls the save off.
    void AskChangedScenario(const QString &path);
    void CheckOtherScenario(const QString &path);
    void ConfirmInvalidBytes(const QString &path);
    // Before a save: pages without a scenario file ask for one.
    void AskScenarioFile();
    void SetScenarioPath(const QString &path);   // VelmoraError when the record cannot hold it
    void ReportSubtitleFaults(const QString &path);

    Prompter *m_prompter;
    HotKey *m_hotKey = nullptr;
    bool m_shown = false;
    ScenarioPreload *m_preload = nullptr;   // until its worker is done
    bool m_preloadDropped = false;
    QString m_deferredScenario;   // the scenario the list waits for
    bool m_exiting = false;
    QString m_unreadableScenario;   // a scenario that exists but could not be read
    QString m_startupFile;          // the project named on the command line
    // The last temporary message or picture sent: F5 sends it again while
    // the displays show it.
    struct LastPicture {
        QByteArray frame1, frame2;
        QString caption;
        ShowTransmission what;
    } m_lastPicture;
    void SetupRemote();
    QWidget *BuildPlaybackBox();
    void SetupPlayback();
    void UpdatePlayback();
    bool SendCue(int page);
    void PlaybackTransmissionEnded(const ShowEntry &entry);
    QString ApplyOscSettings(const TRemoteSettings &settings);   // the OSC part of the status
    // A command not carried out: logged as refused, the reason in the status bar.
    void LogRefusedRemote(RemoteCommand command, int page, const QString &reason);
    RemoteServer *m_remoteServer = nullptr;
    OscReceiver *m_osc = nullptr;
    QString m_oscStatus;
    TRemoteSettings m_remoteSettings;
    QString m_missingScenario;      // a scenario that was missing at Open: not created by a save
    FileSnapshot m_scenarioSnapshot;   // the scenario as last read or written
    bool m_invalidBytesAccepted = false;   // the operator said yes to writing a damaged UTF-8 file
};
