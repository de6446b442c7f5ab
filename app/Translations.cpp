#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

bool InstallChineseQtTexts(QCoreApplication &app, const QString &folder)
{
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);   // dates and sizes in the file dialogs
    const QString from = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    bool complete = true;
    for (const char *catalog : {"qtbase", "qtserialport"}) {
        auto *translator = new QTranslator(&app);
        if (translator->load(chinese, QLatin1String(catalog), QStringLiteral("_"), from)) {
            QCoreApplication::installTranslator(translator);
        } else {
            delete translator;
            complete = false;
        }
    }
    if (!complete)
        std::fprintf(stderr, "%s\n",
                     QStringLiteral("未找到Qt的中文翻译文件（%1），标准按钮和对话框将显示英文。")
                         .arg(from)
                         .toLocal8Bit()
                         .constData());
    return complete;
}
