// The status bar's pane after a quick open: how many places the quick scan
// sampled, and the command that scans the disc fully.
#pragma once

#include <QLabel>
#include <QWidget>

class QAction;

namespace tessel {
class CTlDisc;
}

class CQuickScanPane : public QWidget {
    Q_OBJECT
public:
    // scanFully is the "Scan fully" command the pane's button triggers.
    CQuickScanPane(QAction* scanFully, QWidget* parent = nullptr);

    // Shown with "Quick scan: N places sampled" while a clip of the disc was
    // sampled; hidden after a full scan.
    void ShowFor(const tessel::CTlDisc& disc);
    QLabel* Label() const { return label_; }

private:
    QLabel* label_ = nullptr;
};
