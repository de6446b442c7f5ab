#include "help/Manual.h"

#include "help/KeyTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>

const char *const KeyTableMarker = "<!-- 快捷键一览 -->";

QStringList ManualFolders()
{
    return {QDir::cleanPath(QCoreApplication::applicationDirPath()
                            + QStringLiteral("/../share/doc/velmora/manual")),
            QStringLiteral(VELMORA_MANUAL_SOURCE_DIR)};
}

QString ManualFolder()
{
    for (const QString &folder : ManualFolders())
        if (QFile::exists(folder + QStringLiteral("/index.html")))
            return folder;
    return QString();
}

QString ManualSection(const QString &className, const QString &objectName)
{
    static const QHash<QString, QString> sections{
        {QStringLiteral("TFrm_Screen_Setup"), QStringLiteral("screen")},
        {QStringLiteral("TPasswordDlg"), QStringLiteral("access")},
        {QStringLiteral("TPasswordDlg2"), QStringLiteral("access")},
        {QStringLiteral("TFrm_Font"), QStringLiteral("font")},
        {QStringLiteral("TFrm_Check"), QStringLiteral("check")},
        {QStringLiteral("TFrm_TempStr"), QStringLiteral("temp")},
        {QStringLiteral("TFrm_Special"), QStringLiteral("logo")},
        {QStringLiteral("TFrm_Monitor"), QStringLiteral("monitor")},
        {QStringLiteral("TFrm_Remote"), QStringLiteral("remote")},
        {QStringLiteral("TFrm_Tablet"), QStringLiteral("editor")},
        {QStringLiteral("TFrm_Add"), QStringLiteral("pages")},
        {QStringLiteral("TFrm_Modify"), QStringLiteral("pages")},
        {QStringLiteral("Frm_ShowLog"), QStringLiteral("showlog")},
        {QStringLiteral("TFrm_Keys"), QStringLiteral("keys")},
    };
    return sections.value(className, sections.value(objectName));
}

QString ManualHtml(const QString &folder)
{
    QFile file(folder + QStringLiteral("/index.html"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll())
        .replace(QString::fromUtf8(KeyTableMarker), KeyTableHtml());
}
