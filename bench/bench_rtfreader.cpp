// Reading large word-processor RTF scenarios: the reader alone (MB/s) and
// opening the file in the scenario editor window (the time the window is
// blocked while it opens, by each step of the layout that follows, and while
// it scrolls to the end). Two 5 MB files:
// a Chinese script of many short paragraphs with the speakers' names in bold,
// and long paragraphs with many format changes. Prints the figures.
#include "app/Gbk.h"
#include "app/Prompter.h"
#include "editor/RtfReader.h"
#include "editor/tablet.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextEdit>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {
constexpr int Runs = 5;
constexpr int TargetBytes = 5 << 20;

const QStringList Speakers = {QStringLiteral("张生"), QStringLiteral("崔莺莺"), QStringLiteral("红娘"),
                              QStringLiteral("老夫人"), QStringLiteral("法本"), QStringLiteral("惠明")};
const QStringList Lines = {
    QStringLiteral("小生西洛人也，姓张，名珙，字君瑞。"),
    QStringLiteral("待月西厢下，迎风户半开。"),
    QStringLiteral("隔墙花影动，疑是玉人来。"),
    QStringLiteral("碧云天，黄花地，西风紧，北雁南飞。"),
    QStringLiteral("晓来谁染霜林醉？总是离人泪。"),
    QStringLiteral("Curtain up — 第一本 第二折"),
    QStringLiteral("愿普天下有情的都成了眷属。"),
    QStringLiteral("（内响钟鼓科）"),
};

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

QByteArray Header()
{
    return "{\\rtf1\\ansi\\ansicpg936\\deff0\\deflang1033\\deflangfe2052{\\fonttbl{\\f0\\fnil\\fcharset134 "
           + Escaped(QStringLiteral("宋体")) + ";}{\\f1\\fnil\\fcharset134 " + Escaped(QStringLiteral("黑体"))
           + ";}{\\f2\\fswiss\\fcharset0 Arial;}}{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
             "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1\n";
}

// Many short paragraphs: "speaker：" in bold, then a line or two.
QByteArray Script()
{
    std::mt19937 random(18);
    QByteArray rtf = Header();
    while (rtf.size() < TargetBytes) {
        rtf += random() % 7 ? "\\pard\\sl300\\slmult1\\ql" : "\\pard\\qc";
        rtf += "{\\b\\f1\\fs28 " + Escaped(Speakers[random() % Speakers.size()] + QStringLiteral("：")) + "}";
        rtf += "\\f0\\fs24 " + Escaped(Lines[random() % Lines.size()]);
        if (random() % 3 == 0)
            rtf += Escaped(Lines[random() % Lines.size()]);
        rtf += random() % 5 ? "\\par\n" : "\\line\n";
    }
    return rtf + "}";
}

// Long paragraphs (a few thousand characters each) whose format changes
// every few words: bold, italic, colour, size, face, and \uN text.
QByteArray LongParagraphs()
{
    std::mt19937 random(5);
    QByteArray rtf = Header();
    while (rtf.size() < TargetBytes) {
        rtf += "\\pard\\qj\\f0\\fs24 ";
        const int runs = 200 + int(random() % 400);
        for (int i = 0; i < runs; ++i) {
            static const char *const formats[] = {"\\b ", "\\i ", "\\cf1 ", "\\fs32 ", "\\f2 ", "\\ul "};
            rtf += QByteArray("{") + formats[random() % 6] + Escaped(Lines[random() % Lines.size()]);
            if (random() % 4 == 0)
                rtf += "\\u8220?stage\\u8221?";
            rtf += "}" + Escaped(Speakers[random() % Speakers.size()]) + ' ';
        }
        rtf += "\\par\n";
    }
    return rtf + "}";
}

void Report(const char *name, std::vector<double> ms, double megabytes)
{
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    const double p99 = ms[std::min(ms.size() - 1, size_t(ms.size() * 0.99))];
    std::printf("%s: min=%.1f median=%.1f p99=%.1f ms", name, ms.front(), median, p99);
    if (megabytes > 0)
        std::printf(" (%.1f MB/s at min, %.1f MB/s at median)", megabytes / (ms.front() / 1000),
                    megabytes / (median / 1000));
    std::printf("\n");
}

double Milliseconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

void Bench(const char *label, const QByteArray &rtf, const QString &path)
{
    const double megabytes = rtf.size() / double(1 << 20);
    std::printf("%s: %.2f MB\n", label, megabytes);

    std::vector<double> read, open, layout, scroll;
    for (int run = 0; run < Runs; ++run) {
        QTextDocument doc;
        read.push_back(Milliseconds([&] { ReadRtf(rtf, &doc); }));
    }
    for (int run = 0; run < Runs; ++run) {
        DialogPrompter prompter;
        TFrm_Tablet window(&prompter);
        window.show();
        QApplication::processEvents();
        // Opening: until the window has painted the opened file.
        open.push_back(Milliseconds([&] {
            window.OpenDocument(path);
            QApplication::processEvents();
        }));
        // The rest is laid out step by step while the window goes on: the
        // longest step, until the size has not changed for half a second.
        double longest = 0;
        QElapsedTimer quiet;
        quiet.start();
        QAbstractTextDocumentLayout *documentLayout = window.RichEdit1->document()->documentLayout();
        QSizeF size = documentLayout->documentSize();
        while (quiet.elapsed() < 500) {
            longest = std::max(longest, Milliseconds([] { QApplication::processEvents(); }));
            if (documentLayout->documentSize() != size) {
                size = documentLayout->documentSize();
                quiet.restart();
            }
            QThread::msleep(1);
        }
        layout.push_back(longest);
        // Dragging the scroll bar to the end.
        scroll.push_back(Milliseconds([&] {
            QScrollBar *bar = window.RichEdit1->verticalScrollBar();
            bar->setValue(bar->maximum());
            QApplication::processEvents();
        }));
        window.RichEdit1->document()->setModified(false);
    }
    Report((QByteArray(label) + " read").constData(), read, megabytes);
    Report((QByteArray(label) + " open in editor").constData(), open, 0);
    Report((QByteArray(label) + " longest layout step").constData(), layout, 0);
    Report((QByteArray(label) + " scroll to end").constData(), scroll, 0);
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const struct {
        const char *label;
        QByteArray rtf;
    } files[] = {{"chinese script", Script()}, {"long formatted paragraphs", LongParagraphs()}};
    for (const auto &file : files) {
        const QString path = dir.filePath(QString::fromLatin1(file.label) + QStringLiteral(".rtf"));
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(file.rtf) != file.rtf.size())
            return 1;
        out.close();
        Bench(file.label, file.rtf, path);
    }
    return 0;
}
