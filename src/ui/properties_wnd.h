// The "Properties" pane: the selected node's values as a two-column list
// ("Property", "Value") under collapsible group headings, all read-only.
#pragma once

#include <QStringList>
#include <QWidget>
#include <memory>

#include "ui/node_property.h"

class CSelection;
class QTreeWidget;
class QTreeWidgetItem;

class CPropertiesWnd : public QWidget {
    Q_OBJECT
public:
    explicit CPropertiesWnd(QWidget* parent = nullptr);
    ~CPropertiesWnd() override;

    // Replaces the shown group object by the one for the node's class and
    // fills the list; null (or a node of another class) leaves it empty.
    void ShowNode(tessel::CNamedObject* node);
    const tessel::CNamedObject* Node() const { return node_; }
    // Shows each node the selection chooses; empty when it is cleared.
    void SetSelection(CSelection* selection);

    // The shown value of a row: its text, or "true" / "false" for a check
    // box; an empty string when there is no such row.
    QString Value(const QString& group, const QString& label) const;
    // Whether a row is a check box, and its state.
    bool IsCheckRow(const QString& group, const QString& label) const;
    bool Checked(const QString& group, const QString& label) const;
    // Every row as "group/label=value", in display order.
    QStringList Rows() const;
    QStringList Groups() const;

    QTreeWidget* List() const { return list_; }

private:
    QTreeWidgetItem* FindRow(const QString& group, const QString& label) const;

    QTreeWidget* list_;
    std::unique_ptr<CNodeProperty> group_;
    tessel::CNamedObject* node_ = nullptr;
};
