// Reading a large word-processor RTF scenario (10,000 paragraphs of GBK text
// in \'hh escapes with format changes) into a document, laying it out, and
// turning it back into the GBK text file. Prints the figures.
#include "app/Gbk.h"
#include "editor/RtfReader.h"
#include "editor/ScenarioDocument.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextDocument>
#include <cstdio>

namespace {
QByteArray Escaped(const QString &text)
{
    QByteArray out;
    for (const char c : ToGbk(text)) {
        if (uchar(c) < 0x80)
            out += c;
        else
            out += "\\'" + QByteArray::number(uchar(c), 16);
    }
    return out;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 "
                     + Escaped(QStringLiteral("宋体"))
                     + ";}{\\f1\\fnil\\fcharset0 Arial;}}{\\colortbl ;\\red255\\green0\\blue0;}"
                       "\\viewkind4\\uc1\n";
    for (int i = 0; i < 10000; ++i) {
        rtf += (i % 3 ? "\\pard\\sl300\\slmult1\\ql" : "\\pard\\qc") + QByteArray("\\f0\\fs24 ");
        rtf += Escaped(QStringLiteral("第%1幕 欢迎来到剧场，").arg(i));
        rtf += "{\\b\\cf1 " + Escaped(QStringLiteral("重要的台词")) + "}\\u8220?Go\\u8221?\\par\n";
    }
    rtf += "}";

    QTextDocument doc;
    QElapsedTimer timer;
    timer.start();
    ReadRtf(rtf, &doc);
    const double readMs = timer.nsecsElapsed() / 1e6;

    timer.restart();
    doc.setTextWidth(480);
    const double height = doc.size().height();
    const double layoutMs = timer.nsecsElapsed() / 1e6;

    timer.restart();
    const QByteArray text = ScenarioFileBytes(doc);
    const double writeMs = timer.nsecsElapsed() / 1e6;

    std::printf("read %.0f KB RTF -> %d paragraphs: %.1f ms (target < 1000)\n", rtf.size() / 1024.0,
                doc.blockCount(), readMs);
    std::printf("layout at 480 px (%.0f px high): %.1f ms\n", height, layoutMs);
    std::printf("plain GBK text, %.0f KB: %.1f ms\n", text.size() / 1024.0, writeMs);
    return 0;
}
