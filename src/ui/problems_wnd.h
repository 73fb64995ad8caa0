// The "Problems" pane: the findings of the menu check over the open disc,
// one row each (severity, rule, place, message). A double-click on a row
// asks for its composition, page and button.
#pragma once

#include <QTreeWidget>
#include <vector>

#include "model/ic_data.h"  // complete for the signal's meta type
#include "model/menu_check.h"

namespace tessel {
class CTlDisc;
}  // namespace tessel

class CProblemsWnd : public QTreeWidget {
    Q_OBJECT
public:
    explicit CProblemsWnd(QWidget* parent = nullptr);

    // Every rule over every IG stream of the disc. Reads the disc only, so
    // that it can run on the scan's worker thread.
    static std::vector<tessel::SCheckFinding> CheckDisc(tessel::CTlDisc& disc);

    // Lists the findings of the disc (not owned; null empties the pane).
    void ShowFindings(const tessel::CTlDisc* disc, std::vector<tessel::SCheckFinding> findings);
    const std::vector<tessel::SCheckFinding>& Findings() const { return findings_; }
    // The composition a finding lies in (null when the disc has none there).
    const tessel::CIcData* CompositionOf(const tessel::SCheckFinding& finding) const;
    // What a double-click on the row does.
    void ActivateRow(int row);

signals:
    void problemChosen(const tessel::CIcData* composition, int pageId, int buttonId);

private:
    const tessel::CTlDisc* disc_ = nullptr;
    std::vector<tessel::SCheckFinding> findings_;
};
