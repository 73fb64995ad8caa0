#include "app/quick_scan_pane.h"

#include <QAction>
#include <QHBoxLayout>
#include <QToolButton>

#include "disc/disc_scan.h"

CQuickScanPane::CQuickScanPane(QAction* scanFully, QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 0, 6, 0);
    label_ = new QLabel(this);
    layout->addWidget(label_);
    auto* button = new QToolButton(this);
    button->setDefaultAction(scanFully);
    button->setAutoRaise(true);
    layout->addWidget(button);
    hide();
}

void CQuickScanPane::ShowFor(const tessel::CTlDisc& disc) {
    int places = 0;
    bool quick = false;
    for (const auto& clip : disc.clips)
        if (clip->coverage.quick) {
            quick = true;
            places += clip->coverage.samples;
        }
    label_->setText(QString("Quick scan: %1 places sampled").arg(places));
    setVisible(quick);
}
