#include "ui/problems_wnd.h"

#include <QHeaderView>
#include <algorithm>

#include "disc/disc_scan.h"
#include "player/menu_reach.h"

namespace {

QString PlaceText(const tessel::SCheckPlace& p) {
    QStringList parts;
    if (p.clip >= 0) parts << QString("Clip %1").arg(p.clip, 5, 10, QChar('0'));
    if (p.pid >= 0) parts << "PID 0x" + QString::number(p.pid, 16).toUpper().rightJustified(4, '0');
    if (p.epoch >= 0) parts << QString("Epoch %1").arg(p.epoch);
    if (p.displaySet >= 0) parts << QString("Display set %1").arg(p.displaySet);
    if (p.page >= 0) parts << QString("Page %1").arg(p.page);
    if (p.button >= 0) parts << QString("Button %1").arg(p.button);
    return parts.join(", ");
}

}  // namespace

CProblemsWnd::CProblemsWnd(QWidget* parent) : QTreeWidget(parent) {
    setObjectName("ProblemsList");
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAlternatingRowColors(true);
    setHeaderLabels({"Severity", "Rule", "Where", "Message"});
    header()->setStretchLastSection(true);
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { ActivateRow(indexOfTopLevelItem(item)); });
}

std::vector<tessel::SCheckFinding> CProblemsWnd::CheckDisc(tessel::CTlDisc& disc) {
    std::vector<tessel::SCheckFinding> findings;
    for (const auto& clip : disc.clips)
        for (const auto& ig : clip->igObjects)
            tessel::CheckIgStream(*ig, clip->id, ig->id, {}, findings);
    return findings;
}

void CProblemsWnd::ShowFindings(const tessel::CTlDisc* disc,
                                std::vector<tessel::SCheckFinding> findings) {
    clear();
    disc_ = disc;
    findings_ = disc ? std::move(findings) : std::vector<tessel::SCheckFinding>{};
    QList<QTreeWidgetItem*> rows;
    for (const tessel::SCheckFinding& f : findings_) {
        auto* row =
            new QTreeWidgetItem({tessel::SeverityName(f.severity), QString::fromStdString(f.rule),
                                 PlaceText(f.place), QString::fromStdString(f.message)});
        row->setToolTip(3, row->text(3));
        rows << row;
    }
    addTopLevelItems(rows);
    for (int c = 0; c < 3; ++c) resizeColumnToContents(c);
}

const tessel::CIcData* CProblemsWnd::CompositionOf(const tessel::SCheckFinding& f) const {
    if (!disc_) return nullptr;
    for (const auto& clip : disc_->clips) {
        if (clip->id != f.place.clip) continue;
        for (const auto& ig : clip->igObjects) {
            if (ig->id != f.place.pid || f.place.epoch < 0 || f.place.epoch >= ig->GetSize())
                continue;
            const tessel::CEpoch& epoch = *ig->GetAt(f.place.epoch);
            const int ds = std::max(0, f.place.displaySet);
            return ds < epoch.GetSize() ? epoch.GetAt(ds) : nullptr;
        }
    }
    return nullptr;
}

void CProblemsWnd::ActivateRow(int row) {
    if (row < 0 || row >= static_cast<int>(findings_.size())) return;
    const tessel::SCheckFinding& f = findings_[static_cast<size_t>(row)];
    if (const tessel::CIcData* composition = CompositionOf(f))
        emit problemChosen(composition, f.place.page, f.place.button);
}
