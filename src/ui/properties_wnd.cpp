#include "ui/properties_wnd.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "model/named_object.h"
#include "ui/selection.h"

namespace {
constexpr int kCheckRole = Qt::UserRole;
constexpr int kLabelWidth = 150;
}  // namespace

CPropertiesWnd::CPropertiesWnd(QWidget* parent) : QWidget(parent), list_(new QTreeWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setAlternatingRowColors(true);
    list_->setRootIsDecorated(true);
    list_->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    list_->header()->resizeSection(0, kLabelWidth);
    list_->header()->setStretchLastSection(true);
}

CPropertiesWnd::~CPropertiesWnd() = default;

void CPropertiesWnd::ShowNode(tessel::CNamedObject* node) {
    list_->setUpdatesEnabled(false);
    group_.reset();
    list_->clear();
    node_ = node;
    group_ = CNodeProperty::Create(node);
    if (group_) {
        CPropertyList rows;
        group_->Fill(rows);
        QFont bold = list_->font();
        bold.setBold(true);
        for (const std::string& name : rows.Groups()) {
            auto* heading = new QTreeWidgetItem(list_, {QString::fromStdString(name)});
            heading->setFont(0, bold);
            heading->setFirstColumnSpanned(true);
            heading->setFlags(Qt::ItemIsEnabled);
            for (const SPropertyRow& row : rows.Rows()) {
                if (row.group != name) continue;
                auto* item = new QTreeWidgetItem(heading, {QString::fromStdString(row.label),
                                                           QString::fromStdString(row.value)});
                // Shown, never edited: no user-checkable or editable flag.
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                if (row.isCheck) {
                    item->setData(1, Qt::CheckStateRole, row.checked ? Qt::Checked : Qt::Unchecked);
                    item->setData(1, kCheckRole, true);
                }
            }
            heading->setExpanded(true);
        }
        // Labels are never cut off.
        list_->resizeColumnToContents(0);
        if (list_->header()->sectionSize(0) < kLabelWidth)
            list_->header()->resizeSection(0, kLabelWidth);
    }
    list_->setUpdatesEnabled(true);
}

QTreeWidgetItem* CPropertiesWnd::FindRow(const QString& group, const QString& label) const {
    for (int g = 0; g < list_->topLevelItemCount(); ++g) {
        QTreeWidgetItem* heading = list_->topLevelItem(g);
        if (heading->text(0) != group) continue;
        for (int r = 0; r < heading->childCount(); ++r)
            if (heading->child(r)->text(0) == label) return heading->child(r);
    }
    return nullptr;
}

bool CPropertiesWnd::IsCheckRow(const QString& group, const QString& label) const {
    const QTreeWidgetItem* row = FindRow(group, label);
    return row && row->data(1, kCheckRole).toBool();
}

bool CPropertiesWnd::Checked(const QString& group, const QString& label) const {
    const QTreeWidgetItem* row = FindRow(group, label);
    return row && row->checkState(1) == Qt::Checked;
}

QString CPropertiesWnd::Value(const QString& group, const QString& label) const {
    const QTreeWidgetItem* row = FindRow(group, label);
    if (!row) return {};
    if (row->data(1, kCheckRole).toBool())
        return row->checkState(1) == Qt::Checked ? QStringLiteral("true") : QStringLiteral("false");
    return row->text(1);
}

QStringList CPropertiesWnd::Rows() const {
    QStringList rows;
    for (int g = 0; g < list_->topLevelItemCount(); ++g) {
        QTreeWidgetItem* heading = list_->topLevelItem(g);
        for (int r = 0; r < heading->childCount(); ++r) {
            const QString label = heading->child(r)->text(0);
            rows << heading->text(0) + '/' + label + '=' + Value(heading->text(0), label);
        }
    }
    return rows;
}

QStringList CPropertiesWnd::Groups() const {
    QStringList groups;
    for (int g = 0; g < list_->topLevelItemCount(); ++g) groups << list_->topLevelItem(g)->text(0);
    return groups;
}

void CPropertiesWnd::SetSelection(CSelection* selection) {
    connect(selection, &CSelection::chosen, this, &CPropertiesWnd::ShowNode);
    connect(selection, &CSelection::cleared, this, [this] { ShowNode(nullptr); });
}
