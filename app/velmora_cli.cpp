// velmora-cli: the core of the program without a window.
#include "app/Errors.h"
#include "app/Gbk.h"
#include "app/PageStore.h"
#include "app/ProjectFile.h"
#include "app/RecordFields.h"

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
        {QStringLiteral("project"), CmdProject},
        {QStringLiteral("pages"), CmdPages},
    };
    return commands;
}

// Takes "--project FILE" out of the arguments and loads the record.
void LoadProjectOption(Cli &cli)
{
    const int at = cli.args.indexOf(QStringLiteral("--project"));
    if (at < 0) {
        SetStartupDefaults(cli.record);
        return;
    }
    if (at + 1 >= cli.args.size())
        Usage(QStringLiteral("--project FILE.prj"));
    ReadProjectFile(cli.args.at(at + 1), cli.record);
    cli.args.remove(at, 2);
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
