#include "app/WrapWidths.h"

#include "app/AppPaths.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>

#include <algorithm>
#include <iterator>

namespace {
const quint32 Magic = 0x564D5731;   // "VMW1"

// What the widths depend on besides the characters and the installed fonts
// (which change seldom, and are caught by measuring again after the start).
QByteArray Setup()
{
    const QFont font = PageWrapFont();
    return QStringLiteral("%1\n%2\n%3 %4px")
        .arg(QString::fromLatin1(qVersion()), QGuiApplication::platformName(), font.family())
        .arg(font.pixelSize())
        .toUtf8();
}
} // namespace

QString WrapWidthsFile()
{
    return QFileInfo(AppPaths::registryFile()).absolutePath() + QStringLiteral("/Velmora.widths");
}

std::vector<CharWidth> ReadWrapWidths()
{
    QFile file(WrapWidthsFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QDataStream in(&file);
    quint32 magic = 0, count = 0;
    QByteArray setup;
    in >> magic >> setup >> count;
    if (in.status() != QDataStream::Ok || magic != Magic || setup != Setup() || count > 0x10000)
        return {};
    std::vector<CharWidth> widths;
    widths.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        quint16 unit = 0;
        qint16 width = 0;
        in >> unit >> width;
        if (width < 0)
            return {};
        widths.push_back({char16_t(unit), width});
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return {};
    return widths;
}

void WriteWrapWidths(const std::vector<CharWidth> &widths)
{
    QSaveFile file(WrapWidthsFile());
    if (!file.open(QIODevice::WriteOnly))
        return;
    std::vector<CharWidth> kept;
    std::copy_if(widths.begin(), widths.end(), std::back_inserter(kept),
                 [](const CharWidth &w) { return w.width >= 0 && w.width <= 0x7FFF; });
    QDataStream out(&file);
    out << Magic << Setup() << quint32(kept.size());
    for (const CharWidth &w : kept)
        out << quint16(w.unit) << qint16(w.width);
    file.commit();
}

std::vector<CharWidth> CheckWrapWidths(const std::vector<CharWidth> &widths)
{
    const PageStore fresh;
    std::vector<CharWidth> differing;
    for (const CharWidth &w : widths) {
        const int measured = fresh.characterWidth(QChar(w.unit));
        if (measured != w.width)
            differing.push_back({w.unit, measured});
    }
    return differing;
}
