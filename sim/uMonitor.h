// The LED monitor: what the simulated controller was last told, drawn as the
// audience sees each display, live while transmissions run. Not modal.
#pragma once

#include "app/Struct.h"

#include <QWidget>

#include <map>

class QGroupBox;
class QLabel;
class QSpinBox;
class QVBoxLayout;
class WireTap;
struct SimDisplayState;

class TFrm_Monitor : public QWidget {
    Q_OBJECT
public:
    // tap: the source of what went out; record: which displays the project
    // has. Neither is owned; both outlive the window.
    TFrm_Monitor(WireTap *tap, const TProjectRecord *record, QWidget *parent = nullptr);

    // Redraws the panels whose display received something new.
    void Refresh();

    // The texts of a display's panel (empty when it has none), for the tests.
    QString PanelInfo(int address) const;
    QImage PanelLeds(int address) const;

private:
    struct Panel {
        QGroupBox *box = nullptr;
        QLabel *leds = nullptr;
        QLabel *info = nullptr;
        QString drawn;   // what the drawing showed, to skip redrawing the same
    };

    Panel &PanelFor(int address);
    bool Shows(int address, const SimDisplayState *state) const;
    void Draw(Panel &panel, int address, const SimDisplayState &state);
    QString InfoText(const SimDisplayState &state) const;

    WireTap *m_tap;
    const TProjectRecord *m_record;
    QSpinBox *SpnEdt_Pitch;
    QLabel *Lbl_Unaddressed;
    QVBoxLayout *m_panels;
    std::map<int, Panel> m_panelOf;
};
