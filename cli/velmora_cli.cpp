// cli/: velmora-cli, the core of the program without a window: projects,
// pages, the pre-show check, the editor's text, frames, sends through the
// real worker, and wire logs turned back into pictures. It links the core
// only and includes no widget header.
#include "app/Errors.h"
#include "app/Gbk.h"
#include "app/PageStore.h"
#include "app/ProjectFile.h"
#include "app/RecordFields.h"
#include "app/ScenarioFile.h"
#include "editor/ScenarioDocument.h"
#include "link/Frames.h"
#include "link/NetworkPorts.h"
#include "link/RecordingPort.h"
#include "link/SpecialFrames.h"
#include "link/uSendThread.h"
#include "sim/WireLog.h"
#include "render/ScenarioCheck.h"
#include "render/uRender.h"
#include "remote/ShowLanguages.h"
#include "show/LogSubtitles.h"
#include "show/PortPlayback.h"
#include "show/TimedPlayback.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>
#include <QTextStream>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <map>

namespace {

struct Cli {
    QStringList args;         // the subcommand's own arguments
    TProjectRecord record{};  // --project FILE, or the start-up defaults
    QString projectFile;      // FILE of --project, empty without it
    int exitCode = 0;         // check: 1 when it found a problem
};

// --- Output -----------------------------------------------------------------
// Standard output is checked like any file: a full disk or a closed pipe
// fails the command instead of leaving a short file behind an exit code 0.

QTextStream &Out()
{
    static QTextStream out(stdout);
    return out;
}

[[noreturn]] void StandardOutputFailed()
{
    const int error = errno;
    throw VelmoraError(QStringLiteral("无法写入标准输出：")
                       + (error ? ChineseSystemError(qt_error_string(error)) : QStringLiteral("写入失败")));
}

// Writes everything written so far through to standard output.
void FlushStandardOutput()
{
    errno = 0;
    Out().flush();
    if (Out().status() != QTextStream::Ok || std::fflush(stdout) != 0 || std::ferror(stdout))
        StandardOutputFailed();
}

void WriteStandardOutput(const QByteArray &bytes)
{
    FlushStandardOutput();
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()))
        StandardOutputFailed();
}

// An output file of a subcommand: "-" is standard output; a FIFO or device
// is written to as it is, a regular file replaced whole (WriteFileSafely).
void WriteOutput(const QString &path, const QByteArray &bytes)
{
    if (path == QLatin1String("-"))
        WriteStandardOutput(bytes);
    else
        WriteFileSafely(path, bytes);
}

[[noreturn]] void Usage(const QString &what)
{
    throw VelmoraError(QStringLiteral("用法：") + what);
}

// A project file; a fault that does not name the file gets its name.
void ReadProject(const QString &path, TProjectRecord &record)
{
    try {
        ReadProjectFile(path, record);
    } catch (const VelmoraError &e) {
        if (e.text().contains(path))
            throw;
        throw VelmoraError(QStringLiteral("工程文件“%1”：%2").arg(path, e.text()));
    }
}

// The names of a command table, as "a|b|c".
template <typename Table> QString Names(const Table &table)
{
    QStringList names;
    for (const auto &entry : table)
        names << entry.first;
    return names.join(QLatin1Char('|'));
}

// project new OUT.prj | show FILE.prj | set FILE.prj Name=value ...
void CmdProject(Cli &cli)
{
    const QString verb = cli.args.value(0);
    const QString file = cli.args.value(1);
    if (file.isEmpty())
        Usage(QStringLiteral("velmora-cli project new|show|set FILE.prj [Name=value ...]"));
    if (verb == QLatin1String("new")) {
        TProjectRecord record{};
        SetStartupDefaults(record);
        WriteProjectFile(file, record);
    } else if (verb == QLatin1String("show")) {
        TProjectRecord record{};
        ReadProject(file, record);
        for (const RecordField &f : RecordFields())
            Out() << f.name << '=' << FieldValue(record, f) << '\n';
    } else if (verb == QLatin1String("set")) {
        TProjectRecord record{};
        ReadProject(file, record);
        for (const QString &assignment : cli.args.mid(2)) {
            const int eq = assignment.indexOf(QLatin1Char('='));
            const RecordField *field = eq > 0 ? FindRecordField(assignment.left(eq)) : nullptr;
            if (!field)
                throw VelmoraError(QStringLiteral("“%1”中没有已知的字段名").arg(assignment));
            const QString note = SetFieldValue(record, *field, assignment.mid(eq + 1));
            if (!note.isEmpty())
                std::fprintf(stderr, "velmora-cli: %s\n", note.toUtf8().constData());
        }
        WriteProjectFile(file, record);
    } else {
        Usage(QStringLiteral("velmora-cli project new|show|set FILE.prj [Name=value ...]"));
    }
}

// Takes "NAME VALUE" out of the arguments; an empty text when NAME is absent.
QString TakeOption(QStringList &args, const QString &name, const QString &usage)
{
    const int at = args.indexOf(name);
    if (at < 0)
        return QString();
    if (at + 1 >= args.size())
        Usage(usage);
    const QString value = args.at(at + 1);
    args.remove(at, 2);
    return value;
}

// The page frames of the project's configured displays; a display that is
// not configured gets an empty slot.
TTransmission PageTransmission(const TProjectRecord &record, const QString &text, uint8_t effect,
                               uint8_t runSpeed, uint8_t showTime, const QString &caption)
{
    TTransmission t;
    const QString error = RenderPageFrames(PageFontOf(record),
                                           PageRequestOf(record, text, effect, runSpeed, showTime),
                                           t.frame1, t.frame2);
    if (!error.isEmpty())
        throw VelmoraError(error);
    t.caption = caption;
    return t;
}

// The commands that talk to the controller: each builds one transmission
// from the record (a changed brightness or temporary message stays in memory).
using TransmissionBuilder = std::function<TTransmission(Cli &)>;
const std::map<QString, TransmissionBuilder> &Transmissions()
{
    static const std::map<QString, TransmissionBuilder> table = {
        {QStringLiteral("reset"), [](Cli &cli) { return ResetTransmission(cli.record); }},
        {QStringLiteral("params"), [](Cli &cli) { return ScreenParamsTransmission(cli.record); }},
        {QStringLiteral("brightness"),
         [](Cli &cli) { return BrightnessStepTransmission(cli.record); }},
        {QStringLiteral("clear-temp"), [](Cli &cli) { return ClearTempTransmission(cli.record); }},
        {QStringLiteral("page"),
         [](Cli &cli) {
             if (cli.args.isEmpty())
                 Usage(QStringLiteral("COMMAND page TEXT"));
             const TProjectRecord &r = cli.record;
             const QString text = cli.args.takeFirst();
             return PageTransmission(r, text, r.Stunt, r.RunSpeed, r.ShowTime, PageCaption(text));
         }},
        {QStringLiteral("clear"),
         [](Cli &cli) {
             return PageTransmission(cli.record, QString(), 0, 0, 0, ClearDisplayCaption());
         }},
        {QStringLiteral("temp"),
         [](Cli &cli) {
             if (cli.args.isEmpty())
                 Usage(QStringLiteral("COMMAND temp TEXT"));
             TTransmission t{{}, {}, TempMessageCaption()};
             BuildTempMessageFrames(cli.record, StoredTempMessage(cli.record, cli.args.takeFirst()),
                                    t.frame1, t.frame2);
             return t;
         }},
        {QStringLiteral("logo"),
         [](Cli &cli) {
             if (cli.args.size() < 2)
                 Usage(QStringLiteral("COMMAND logo LAND.bmp PORT.bmp"));
             TTransmission t{{}, {}, LogoCaption()};
             BuildLogoFrames(cli.record, cli.args.at(0), cli.args.at(1), t.frame1, t.frame2);
             return t;
         }},
        {QStringLiteral("welcome"),
         [](Cli &cli) {
             if (cli.args.isEmpty())
                 Usage(QStringLiteral("COMMAND welcome FILE.bmp"));
             TTransmission t{{}, {}, WelcomeCaption()};
             BuildWelcomeFrames(cli.record, cli.args.at(0), t.frame1, t.frame2);
             return t;
         }},
    };
    return table;
}

// Takes the transmission's name from the arguments and builds it.
TTransmission BuildTransmission(Cli &cli)
{
    const QString name = cli.args.value(0);
    const auto builder = Transmissions().find(name);
    if (builder == Transmissions().end())
        Usage(QStringLiteral("COMMAND 为 ") + Names(Transmissions()) + QStringLiteral(" 之一"));
    cli.args.removeFirst();
    return builder->second(cli);
}

QString SlotHex(const QByteArray &frame)
{
    return frame.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(frame.toHex());
}

// frames COMMAND [ARGS]
void CmdFrames(Cli &cli)
{
    const TTransmission t = BuildTransmission(cli);
    Out() << "slot1 " << SlotHex(t.frame1) << '\n' << "slot2 " << SlotHex(t.frame2) << '\n';
}

// The port of --port record:FILE|record:-|DEVICE|com:N|rfc2217://HOST:PORT:
// a recording port writes its wire log to FILE (or the output) when done.
struct PortChoice {
    QString portName;
    QString recordFile;
    std::shared_ptr<WireLog> log = std::make_shared<WireLog>();
    TLinkEnvironment environment;

    void finish() const
    {
        if (!recordFile.isEmpty())
            WriteOutput(recordFile, log->text());
    }
};

PortChoice ChoosePort(Cli &cli, const QString &usage)
{
    const QString port = TakeOption(cli.args, QStringLiteral("--port"), usage);
    if (port.isEmpty())
        Usage(usage);
    PortChoice choice;
    choice.portName = port;
    if (port.startsWith(QLatin1String("record:"))) {
        choice.recordFile = port.mid(7);
        if (choice.recordFile.isEmpty())
            Usage(QStringLiteral("--port record:FILE"));
        choice.portName = ComPortName(cli.record.ComPort);
        choice.environment.ports = RecordingPorts(choice.log);
    } else if (port.startsWith(QLatin1String("com:"))) {
        bool ok = false;
        const int number = port.mid(4).toInt(&ok);
        if (!ok || number < 1 || number > 255)
            Usage(QStringLiteral("--port com:N，N为1～255"));
        choice.portName = ComPortName(number);
    } else if (NetworkAddress address; IsNetworkPortName(port) && !ParseNetworkAddress(port, address)) {
        Usage(QStringLiteral("--port rfc2217://HOST:PORT，PORT为1～65535"));
    }
    return choice;
}

// send --port record:FILE|record:-|DEVICE|com:N|rfc2217://HOST:PORT COMMAND [ARGS]
void CmdSend(Cli &cli)
{
    const PortChoice port = ChoosePort(
        cli, QStringLiteral("velmora-cli send --port record:FILE|record:-|DEVICE|com:N|rfc2217://HOST:PORT COMMAND [ARGS]"));
    const TTransmission t = BuildTransmission(cli);
    const QString failure = RunTransmission(port.portName, cli.record.BaudRate, t.frame1, t.frame2,
                                            t.caption, port.environment);
    port.finish();
    if (!failure.isEmpty())
        throw VelmoraError(failure);
}

// render TEXT --display portrait|landscape|double --png OUT.png
void CmdRender(Cli &cli)
{
    const QString usage =
        QStringLiteral("velmora-cli render TEXT --display portrait|landscape|double --png OUT.png|-");
    const QString display = TakeOption(cli.args, QStringLiteral("--display"), usage);
    const QString png = TakeOption(cli.args, QStringLiteral("--png"), usage);
    static const std::map<QString, TDisplayKind> kinds = {
        {QStringLiteral("portrait"), TDisplayKind::Portrait},
        {QStringLiteral("landscape"), TDisplayKind::Landscape},
        {QStringLiteral("double"), TDisplayKind::LandscapeDouble},
    };
    const auto kind = kinds.find(display);
    if (cli.args.size() != 1 || kind == kinds.end() || png.isEmpty())
        Usage(usage);
    const TProjectRecord &r = cli.record;
    const QString error = CheckDisplaySize(r.ScreenWidth, r.ScreenHeight);
    if (!error.isEmpty())
        throw VelmoraError(error);
    const QImage picture =
        DrawPage(PageFontOf(r), r.ScreenWidth, r.ScreenHeight, kind->second, cli.args.at(0));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG"))
        throw VelmoraError(QStringLiteral("无法把画面编码为PNG"));
    WriteOutput(png, buffer.data());
}

// decode WIRELOG [--png DIR]: the frames of a wire log, one a line, and their pictures
void CmdDecode(Cli &cli)
{
    const QString usage = QStringLiteral("velmora-cli decode WIRELOG [--png DIR]");
    const QString pngDir = TakeOption(cli.args, QStringLiteral("--png"), usage);
    if (cli.args.size() != 1)
        Usage(usage);
    DecodeWireLogFile(cli.args.first(), cli.record, pngDir,
                  [](const QString &line) { Out() << line << '\n'; });
}

// The store of --scenario FILE (default: the project's scenario), wrapped
// for the display.
PageStore ScenarioStore(Cli &cli, const QString &command)
{
    // A relative scenario path is taken from the project's folder, as the window does.
    QString path = ResolveScenarioPath(cli.record.ScenarioFile.text(), cli.projectFile);
    const int at = cli.args.indexOf(QStringLiteral("--scenario"));
    if (at >= 0)
        path = cli.args.value(at + 1);
    if (path.isEmpty())
        Usage(QStringLiteral("velmora-cli %1 [--scenario FILE] [--project FILE.prj]").arg(command));
    PageStore store;
    store.setWrapWidth(PageWrapWidth(cli.record.ScreenWidth));
    store.load(ReadScenarioFile(path));
    return store;
}

QStringList PagesOf(const PageStore &store)
{
    QStringList pages;
    for (int i = 0; i < store.pageCount(); ++i)
        pages << store.page(i);
    return pages;
}

// The pages of the scenario as the page store wraps them for the display.
QStringList ScenarioPages(Cli &cli, const QString &command)
{
    return PagesOf(ScenarioStore(cli, command));
}

// The translation TAG of the project's language list; fails when the
// project lists none by that tag or its file cannot be read.
Translation ProjectTranslation(const Cli &cli, const QString &tag)
{
    if (cli.projectFile.isEmpty())
        Usage(QStringLiteral("velmora-cli pages --language TAG --project FILE.prj"));
    const ShowLanguages languages = ShowLanguages::read(cli.projectFile);
    const Translation *t = languages.find(tag);
    if (!t)
        throw VelmoraError(QStringLiteral("语言列表 %1 中没有译文 %2")
                               .arg(QDir::toNativeSeparators(ShowLanguages::listFile(cli.projectFile)), tag));
    if (!t->error.isEmpty())
        throw VelmoraError(languages.errors().front());
    return *t;
}

// pages [--scenario FILE] [--count] [--language TAG]: number<TAB>text of
// every page, or only how many pages there are (without holding their
// texts); with a language, the translation's line of each page after a tab,
// for checking that the translation keeps step with the scenario.
void CmdPages(Cli &cli)
{
    if (cli.args.contains(QStringLiteral("--count"))) {
        Out() << ScenarioStore(cli, QStringLiteral("pages")).pageCount() << '\n';
        return;
    }
    const QString tag = TakeOption(cli.args, QStringLiteral("--language"),
                                   QStringLiteral("velmora-cli pages --language TAG --project FILE.prj"));
    if (tag.isEmpty()) {
        const QStringList pages = ScenarioPages(cli, QStringLiteral("pages"));
        for (int i = 0; i < pages.size(); ++i)
            Out() << (i + 1) << '\t' << pages[i] << '\n';
        return;
    }
    const Translation translation = ProjectTranslation(cli, tag);
    const PageStore store = ScenarioStore(cli, QStringLiteral("pages"));
    for (int i = 0; i < store.pageCount(); ++i)
        Out() << (i + 1) << '\t' << store.page(i) << '\t' << ShowLanguages::lineOfPage(translation, store, i) << '\n';
}

// check [--scenario FILE] [--min-height N]: the problems of the whole
// project as -<TAB>reason, then number<TAB>reasons<TAB>text of every page
// that will not read well with the project's font and displays; nothing for
// a clean scenario. Exits 1 when it lists anything (errors exit 2).
void CmdCheck(Cli &cli)
{
    const QString usage = QStringLiteral("velmora-cli check [--scenario FILE] [--min-height N]");
    const QString given = TakeOption(cli.args, QStringLiteral("--min-height"), usage);
    bool valid = true;
    const int minHeight = given.isEmpty() ? DefaultMinCharHeight : given.toInt(&valid);
    if (!valid || minHeight < 1 || minHeight > MaxDisplayHeight)
        throw VelmoraError(QStringLiteral("--min-height needs a whole number of pixels from 1 to %1")
                               .arg(MaxDisplayHeight));
    const PageStore store = ScenarioStore(cli, QStringLiteral("check"));
    const QStringList pages = PagesOf(store);
    TScenarioCheck check = CheckScenario(PageFontOf(cli.record), PageRequestOf(cli.record, QString(), 0, 0, 0),
                                         pages, {}, minHeight);
    AddCueTimeProblems(check, pages, store.pageTimes());
    if (!cli.projectFile.isEmpty())
        check.projectProblems << ShowLanguages::read(cli.projectFile).problems(store);
    if (!check.error.isEmpty())
        throw VelmoraError(check.error);
    for (const QString &problem : check.projectProblems)
        Out() << "-\t" << problem << '\n';
    for (const TPageProblem &problem : check.problems)
        Out() << (problem.page + 1) << '\t' << problem.reasons.join(QStringLiteral("；")) << '\t'
              << problem.text << '\n';
    cli.exitCode = check.clean() ? 0 : 1;
}

// text FILE [--utf8]: the text the scenario editor would save for FILE, GBK
// with CR LF, or UTF-8 with --utf8; for converting scenarios in batch. A
// character GBK cannot hold fails the command, naming it.
void CmdText(Cli &cli)
{
    const int at = cli.args.indexOf(QStringLiteral("--utf8"));
    if (at >= 0)
        cli.args.removeAt(at);
    if (cli.args.size() != 1)
        Usage(QStringLiteral("velmora-cli text FILE [--utf8]"));
    const QString path = cli.args.first();
    QString text;
    try {
        text = ScenarioFileTextOf(path);
    } catch (const VelmoraError &e) {
        throw VelmoraError(path + QStringLiteral(": ") + e.text());   // which file, in a batch
    }
    const TextEncoding encoding = at >= 0 ? TextEncoding::Utf8 : TextEncoding::Gbk;
    const QString unstorable = UnstorableCharacters(text, encoding);
    if (!unstorable.isEmpty())
        throw VelmoraError(path + QStringLiteral("：GBK不能表示这些字符：") + unstorable
                           + QStringLiteral("（用 --utf8 输出UTF-8）"));
    WriteStandardOutput(EncodeText(text, encoding));
}

// A --from/--to time of the log; absent: invalid.
QDateTime LogTimeOption(const QString &name, const QString &text, const QByteArray &log)
{
    if (text.isEmpty())
        return QDateTime();
    const QDateTime at = LogTimeOf(text, log);
    if (!at.isValid())
        throw VelmoraError(QStringLiteral("%1 %2: not a time of the log (yyyy-MM-dd HH:mm:ss or HH:mm[:ss])")
                               .arg(name, text));
    return at;
}

// export --srt|--vtt [--from TIME] [--to TIME] LOG: the pages of a show log
// as a subtitle file (UTF-8) on the output.
void CmdExport(Cli &cli)
{
    const QString usage = QStringLiteral("velmora-cli export --srt|--vtt [--from TIME] [--to TIME] LOG");
    const bool srt = cli.args.removeAll(QStringLiteral("--srt")) > 0;
    const bool vtt = cli.args.removeAll(QStringLiteral("--vtt")) > 0;
    const QString fromText = TakeOption(cli.args, QStringLiteral("--from"), usage);
    const QString toText = TakeOption(cli.args, QStringLiteral("--to"), usage);
    if (srt == vtt || cli.args.size() != 1)
        Usage(usage);
    const QByteArray bytes = ReadWholeFile(cli.args.first());
    const QDateTime from = LogTimeOption(QStringLiteral("--from"), fromText, bytes);
    const QDateTime to = LogTimeOption(QStringLiteral("--to"), toText, bytes);
    const SubtitleDocument doc = LogSubtitles(bytes, srt ? SubtitleFormat::Srt : SubtitleFormat::WebVtt, from, to);
    WriteStandardOutput(WriteSubtitles(doc).toUtf8());
}

// play [--from N] --port PORT: the timed scenario's pages at their cue times
// from page N, one line per page sent: number, due and actual time of its
// first byte on the show clock, text.
void CmdPlay(Cli &cli)
{
    const QString usage = QStringLiteral("velmora-cli play [--from N] [--scenario FILE] --port record:FILE|DEVICE|com:N");
    const QString from = TakeOption(cli.args, QStringLiteral("--from"), usage);
    const PortChoice port = ChoosePort(cli, usage);
    const PageStore store = ScenarioStore(cli, QStringLiteral("play"));
    if (const std::optional<SubtitleIssue> error = store.subtitleError())
        throw VelmoraError(QStringLiteral("字幕文件无法读入（%1）").arg(error->text()));
    if (!store.timed())
        throw VelmoraError(QStringLiteral("剧本没有时间：按时间播放需要 .srt 或 .vtt 字幕文件"));
    bool number = true;
    const int first = from.isEmpty() ? 1 : from.toInt(&number);
    if (!number || first < 1 || first > store.pageCount())
        throw VelmoraError(QStringLiteral("--from %1：没有这一幕（1～%2）").arg(from).arg(store.pageCount()));
    const QStringList pages = PagesOf(store);
    SteadyPlaybackClock clock;
    const QString failure = PlayOnPort(cli.record, port.portName, pages, store.pageTimes(), first - 1,
                                       port.environment, clock, [](const CueSent &cue) {
                                           Out() << (cue.page + 1) << '\t'
                                                 << FormatCueTime(cue.dueMs, SubtitleFormat::WebVtt) << '\t'
                                                 << FormatCueTime(cue.firstByteMs, SubtitleFormat::WebVtt)
                                                 << '\t' << cue.text << Qt::endl;
                                       });
    port.finish();
    if (!failure.isEmpty())
        throw VelmoraError(failure);
}

const std::map<QString, std::function<void(Cli &)>> &Commands()
{
    static const std::map<QString, std::function<void(Cli &)>> commands = {
        {QStringLiteral("decode"), CmdDecode},
        {QStringLiteral("project"), CmdProject},
        {QStringLiteral("frames"), CmdFrames},
        {QStringLiteral("send"), CmdSend},
        {QStringLiteral("render"), CmdRender},
        {QStringLiteral("pages"), CmdPages},
        {QStringLiteral("check"), CmdCheck},
        {QStringLiteral("text"), CmdText},
        {QStringLiteral("export"), CmdExport},
        {QStringLiteral("play"), CmdPlay},
    };
    return commands;
}

// Takes "--project FILE" out of the arguments and loads the record.
void LoadProjectOption(Cli &cli)
{
    const QString file = TakeOption(cli.args, QStringLiteral("--project"), QStringLiteral("--project FILE.prj"));
    cli.projectFile = file;
    if (file.isEmpty())
        SetStartupDefaults(cli.record);
    else
        ReadProject(file, cli.record);
}

// Only the tool's own one-line errors reach stderr, not the platform's chatter.
void QuietMessages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

} // namespace

int main(int argc, char *argv[])
{
    // Drawing text needs a GUI application, but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform asks for a runtime folder; the same one Qt would
    // pick, named here so it does not warn about it on stderr.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QByteArray("/tmp/runtime-") + qgetenv("USER"));
    qInstallMessageHandler(QuietMessages);
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Velmora"));
    Cli cli;
    cli.args = app.arguments().mid(1);
    const QString name = cli.args.value(0);
    try {
        if (!GbkAvailable())
            throw VelmoraError(QStringLiteral("此Qt无法转换GBK文本"));
        const auto command = Commands().find(name);
        if (command == Commands().end())
            Usage(QStringLiteral("velmora-cli ") + Names(Commands()) + QStringLiteral(" ..."));
        cli.args.removeFirst();
        LoadProjectOption(cli);
        command->second(cli);
        FlushStandardOutput();
        return cli.exitCode;
    } catch (const VelmoraError &e) {
        Out().flush();   // what was written before the fault, as far as it goes
        std::fprintf(stderr, "velmora-cli: %s\n", e.text().toUtf8().constData());
        // A check's findings exit 1, so its failures need another code.
        return name == QLatin1String("check") ? 2 : 1;
    }
}
