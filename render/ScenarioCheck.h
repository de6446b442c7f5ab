// The pre-show check: every page drawn with the project's font and displays,
// and the pages that will not read well on the sign listed with the reasons.
// Nothing is changed. Shared by the main window and velmora-cli.
#pragma once

#include "app/SubtitleFile.h"
#include "render/uRender.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The smallest character height that reads on a dot-matrix sign: the
// smallest Chinese dot-matrix fonts are 12 dots high.
constexpr int DefaultMinCharHeight = 12;

struct TPageProblem {
    int page;          // index into the checked pages
    QString text;
    QStringList reasons;
};

struct TScenarioCheck {
    QString error;                   // the display values cannot be drawn at all
    QStringList projectProblems;     // of the font and displays: every page has them
    QList<TPageProblem> problems;    // in page order

    bool clean() const { return projectProblems.isEmpty() && problems.isEmpty(); }
};

// The project's problems, once: a text colour the colour mode cannot light, a
// symbol face, and with a fixed height characters below minHeight or glyphs
// cut at the display's edges. Then per page and enabled display: characters
// drawn below minHeight pixels, a line wider than the display (with the
// widths), characters no face has (drawn as boxes). Empty pages are blanks
// and pass. displays gives size, colour mode and display kinds; its text is
// not used. progress, when given, is called every few hundred pages with the
// count done, so that a window can keep answering during a long scenario.
TScenarioCheck CheckScenario(const TPageFont &font, const TPageRequest &displays,
                             const QStringList &pages,
                             const std::function<void(int)> &progress = {},
                             int minHeight = DefaultMinCharHeight);

// Adds the doubtful cue times of a timed scenario (times: one per page, as
// the page store gives them; empty for a text scenario) to the first page of
// each cue, in page order.
void AddCueTimeProblems(TScenarioCheck &check, const QStringList &pages, const std::vector<CueTime> &times);
