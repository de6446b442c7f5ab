// velmora-cli: the core of the program without a window.
#include "app/Errors.h"
#include "app/Gbk.h"
#include "app/PageStore.h"
#include "app/ProjectFile.h"
#include "app/RecordFields.h"
#include "link/SpecialFrames.h"
#include "link/WireLog.h"
#include "render/uRender.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>
#include <QTextStream>
#include <cstdio>
#include <functional>
#include <map>

namespace {

struct Cli {
    QStringList args;         // the subcommand's own arguments
    TProjectRecord record{};  // --project FILE, or the start-up defaults
};

QTextStream &Out()
{
    static QTextStream out(stdout);
    return out;
}

[[noreturn]] void Usage(const QString &what)
{
    throw VelmoraError(QStringLiteral("usage: ") + what);
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
        ReadProjectFile(file, record);
        for (const RecordField &f : RecordFields())
            Out() << f.name << '=' << FieldValue(record, f) << '\n';
    } else if (verb == QLatin1String("set")) {
        TProjectRecord record{};
        ReadProjectFile(file, record);
        for (const QString &assignment : cli.args.mid(2)) {
            const int eq = assignment.indexOf(QLatin1Char('='));
            const RecordField *field = eq > 0 ? FindRecordField(assignment.left(eq)) : nullptr;
            if (!field)
                throw VelmoraError(QStringLiteral("unknown field in '%1'").arg(assignment));
            SetFieldValue(record, *field, assignment.mid(eq + 1));
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

// The two frame slots a command hands to a transmission.
struct FrameSlots {
    QByteArray slot1, slot2;
};

// The page frames of the project's enabled displays; a display that is not
// enabled gets an empty slot.
FrameSlots PageFrames(const TProjectRecord &record, const QString &text, uint8_t effect,
                      uint8_t runSpeed, uint8_t showTime)
{
    FrameSlots frames;
    const QString error = RenderPageFrames(PageFontOf(record),
                                           PageRequestOf(record, text, effect, runSpeed, showTime),
                                           frames.slot1, frames.slot2);
    if (!error.isEmpty())
        throw VelmoraError(error);
    return frames;
}

// The frame builders of "frames", by command name.
const std::map<QString, std::function<FrameSlots(Cli &)>> &FrameBuilders()
{
    static const std::map<QString, std::function<FrameSlots(Cli &)>> builders = {
        {QStringLiteral("page"),
         [](Cli &cli) {
             if (cli.args.size() < 2)
                 Usage(QStringLiteral("velmora-cli frames page TEXT"));
             const TProjectRecord &r = cli.record;
             return PageFrames(r, cli.args.at(1), r.Stunt, r.RunSpeed, r.ShowTime);
         }},
        {QStringLiteral("clear"), [](Cli &cli) { return PageFrames(cli.record, QString(), 0, 0, 0); }},
        {QStringLiteral("temp"),
         [](Cli &cli) {
             if (cli.args.size() < 2)
                 Usage(QStringLiteral("velmora-cli frames temp TEXT"));
             FrameSlots frames;
             BuildTempMessageFrames(cli.record, StoredTempMessage(cli.record, cli.args.at(1)),
                                    frames.slot1, frames.slot2);
             return frames;
         }},
        {QStringLiteral("logo"),
         [](Cli &cli) {
             if (cli.args.size() < 3)
                 Usage(QStringLiteral("velmora-cli frames logo LAND.bmp PORT.bmp"));
             FrameSlots frames;
             BuildLogoFrames(cli.record, cli.args.at(1), cli.args.at(2), frames.slot1, frames.slot2);
             return frames;
         }},
        {QStringLiteral("welcome"),
         [](Cli &cli) {
             if (cli.args.size() < 2)
                 Usage(QStringLiteral("velmora-cli frames welcome FILE.bmp"));
             FrameSlots frames;
             BuildWelcomeFrames(cli.record, cli.args.at(1), frames.slot1, frames.slot2);
             return frames;
         }},
    };
    return builders;
}

QString SlotText(const QByteArray &frame)
{
    return frame.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(frame.toHex());
}

// frames COMMAND [ARGS]: prints slot1 and slot2 as hex.
void CmdFrames(Cli &cli)
{
    const auto builder = FrameBuilders().find(cli.args.value(0));
    if (builder == FrameBuilders().end()) {
        QStringList names;
        for (const auto &b : FrameBuilders())
            names << b.first;
        Usage(QStringLiteral("velmora-cli frames ") + names.join(QLatin1Char('|')) + QStringLiteral(" [ARGS]"));
    }
    const FrameSlots frames = builder->second(cli);
    Out() << "slot1 " << SlotText(frames.slot1) << '\n' << "slot2 " << SlotText(frames.slot2) << '\n';
}

// render TEXT --display portrait|landscape|double --png OUT.png
void CmdRender(Cli &cli)
{
    const QString usage =
        QStringLiteral("velmora-cli render TEXT --display portrait|landscape|double --png OUT.png");
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
        throw VelmoraError(QStringLiteral("cannot encode the picture as PNG"));
    WriteFileSafely(png, buffer.data());
}

// decode WIRELOG [--png DIR]: the frames of a wire log, one a line, and their pictures
void CmdDecode(Cli &cli)
{
    const QString usage = QStringLiteral("velmora-cli decode WIRELOG [--png DIR]");
    const QString pngDir = TakeOption(cli.args, QStringLiteral("--png"), usage);
    if (cli.args.size() != 1)
        Usage(usage);
    DecodeWireLog(ReadWireLog(cli.args.first()), cli.record, pngDir,
                  [](const QString &line) { Out() << line << '\n'; });
}

QByteArray ReadFileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw VelmoraError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    return file.readAll();
}

// pages [--scenario FILE]: the pages as the page store wraps them for the display.
void CmdPages(Cli &cli)
{
    QString path = TrimControl(cli.record.ScenarioFile.text());
    const int at = cli.args.indexOf(QStringLiteral("--scenario"));
    if (at >= 0)
        path = cli.args.value(at + 1);
    if (path.isEmpty())
        Usage(QStringLiteral("velmora-cli pages [--scenario FILE] [--project FILE.prj]"));
    PageStore store;
    store.setWrapWidth(cli.record.ScreenWidth + 7);
    store.load(ReadFileBytes(path));
    for (int i = 0; i < store.pageCount(); ++i)
        Out() << (i + 1) << '\t' << store.page(i) << '\n';
}

const std::map<QString, std::function<void(Cli &)>> &Commands()
{
    static const std::map<QString, std::function<void(Cli &)>> commands = {
        {QStringLiteral("decode"), CmdDecode},
        {QStringLiteral("project"), CmdProject},
        {QStringLiteral("frames"), CmdFrames},
        {QStringLiteral("render"), CmdRender},
        {QStringLiteral("pages"), CmdPages},
    };
    return commands;
}

// Takes "--project FILE" out of the arguments and loads the record.
void LoadProjectOption(Cli &cli)
{
    const QString file = TakeOption(cli.args, QStringLiteral("--project"), QStringLiteral("--project FILE.prj"));
    if (file.isEmpty())
        SetStartupDefaults(cli.record);
    else
        ReadProjectFile(file, cli.record);
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
    try {
        if (!GbkAvailable())
            throw VelmoraError(QStringLiteral("this Qt cannot convert GBK text"));
        const QString name = cli.args.value(0);
        const auto command = Commands().find(name);
        if (command == Commands().end()) {
            QStringList names;
            for (const auto &c : Commands())
                names << c.first;
            Usage(QStringLiteral("velmora-cli ") + names.join(QLatin1Char('|')) + QStringLiteral(" ..."));
        }
        cli.args.removeFirst();
        LoadProjectOption(cli);
        command->second(cli);
        Out().flush();
        return 0;
    } catch (const VelmoraError &e) {
        Out().flush();
        std::fprintf(stderr, "velmora-cli: %s\n", e.text().toUtf8().constData());
        return 1;
    }
}
